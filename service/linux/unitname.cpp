#include "unitname.h"

#include <cstdlib>
#include <vector>

namespace linuxbackend {
namespace {

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// The random part systemd's launchers append: digits or hex digits.
bool looksRandom(const std::string& part)
{
    return !part.empty() && part.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// "app[-<launcher>]-<app id>[-<random>]" (the suffix already removed): the app id.
std::string appIdOf(const std::string& body, bool mayHaveRandom)
{
    std::vector<std::string> parts = split(body.substr(4), '-');
    if (mayHaveRandom && parts.size() >= 2 && looksRandom(parts.back()))
        parts.pop_back();
    // With a launcher in front, the app id is the last part; escaped dashes
    // inside it are \x2d, so it never spans two parts.
    return unescapeUnitName(parts.back());
}

} // namespace

std::string unescapeUnitName(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            char* end = nullptr;
            const std::string hex = name.substr(i + 2, 2);
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2 && value > 0) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

UnitIdentity identifyCgroup(const std::string& path)
{
    UnitIdentity identity;
    std::vector<std::string> parts;
    for (const std::string& part : split(path, '/')) {
        if (!part.empty())
            parts.push_back(part);
    }
    if (parts.empty())
        return identity;
    bool userManager = false, systemSlice = false;
    for (const std::string& part : parts) {
        if (startsWith(part, "user@") && endsWith(part, ".service")) {
            userManager = true;
            identity.uid = std::atol(part.c_str() + 5);
        } else if (startsWith(part, "user-") && endsWith(part, ".slice") && identity.uid < 0) {
            identity.uid = std::atol(part.c_str() + 5);
        }
        systemSlice = systemSlice || part == "system.slice";
    }
    const std::string& leaf = parts.back();
    const std::string parent = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();

    if (startsWith(leaf, "app-") && endsWith(leaf, ".scope")) {
        identity.kind = UnitKind::Application;
        identity.appId = appIdOf(leaf.substr(0, leaf.size() - 6), true);
    } else if (startsWith(leaf, "app-") && endsWith(leaf, ".service")) {
        std::string body = leaf.substr(0, leaf.size() - 8);
        const bool instance = body.find('@') != std::string::npos;
        body = body.substr(0, body.find('@'));
        identity.kind = UnitKind::Application;
        identity.appId = appIdOf(body, !instance);
    } else if (startsWith(leaf, "vte-spawn-") && endsWith(leaf, ".scope")) {
        // A terminal tab: it belongs to the terminal whose slice holds it.
        identity.kind = UnitKind::Application;
        identity.appId = startsWith(parent, "app-") && endsWith(parent, ".slice")
                                 ? appIdOf(parent.substr(0, parent.size() - 6), false)
                                 : std::string("vte-spawn");
    } else if (startsWith(leaf, "session-") && endsWith(leaf, ".scope")) {
        identity.kind = UnitKind::Session;
        identity.appId = leaf.substr(0, leaf.size() - 6);
    } else if (endsWith(leaf, ".service")) {
        identity.kind = userManager ? UnitKind::UserService : systemSlice ? UnitKind::SystemService : UnitKind::Other;
        identity.appId = unescapeUnitName(leaf.substr(0, leaf.size() - 8));
    } else {
        const auto dot = leaf.rfind('.');
        identity.appId = unescapeUnitName(dot == std::string::npos ? leaf : leaf.substr(0, dot));
    }
    static const char* const prefixes[] = {"app:", "system:", "user-service:", "session:", "other:"};
    identity.key = prefixes[static_cast<std::uint32_t>(identity.kind)] + identity.appId;
    if (identity.kind == UnitKind::Session || identity.kind == UnitKind::UserService)
        identity.key += "@" + std::to_string(identity.uid);
    return identity;
}

} // namespace linuxbackend
