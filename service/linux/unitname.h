#pragma once

// Who a cgroup belongs to, read from the systemd unit names on its path:
// desktop applications (app-….scope, app-….service, terminal tabs), system
// and user services, login sessions.

#include <cstdint>
#include <string>

namespace linuxbackend {

enum class UnitKind : std::uint32_t {
    Application = 0,     // a desktop application: appId is its desktop-file id
    SystemService = 1,   // system.slice/<name>.service
    UserService = 2,     // a service of a user's manager that is not an application
    Session = 3,         // session-N.scope: a login session
    Other = 4,           // any other cgroup
};

struct UnitIdentity {
    UnitKind kind = UnitKind::Other;
    std::string appId;   // the desktop-file id, or the unit's name without its suffix
    std::string key;     // what the application's id and the user's choices are kept by
    long uid = -1;       // the owning user (user@UID.service, user-UID.slice), or -1
};

// The unit's name with systemd's \xNN escapes undone ("google\x2dchrome" is "google-chrome").
std::string unescapeUnitName(const std::string& name);

// Identifies the leaf cgroup at @p path (relative to the cgroup v2 mount, or
// absolute below it: only the unit names on it matter).
UnitIdentity identifyCgroup(const std::string& path);

} // namespace linuxbackend
