#pragma once

// What the desktop knows about an application: its desktop file (Name=,
// Icon=) and the icon theme's file for its icon, looked up in the XDG data
// directories the way a desktop shell does.

#include <string>
#include <vector>

namespace xdg {

struct DesktopEntry {
    bool found = false;
    std::string name;   // Name=, empty when the file has none
    std::string icon;   // Icon=: a theme icon name or an absolute path
};

// The data directories of this process's environment: $XDG_DATA_HOME (else
// ~/.local/share), $XDG_DATA_DIRS (else /usr/local/share:/usr/share), and
// the system flatpak export directory.
std::vector<std::string> dataDirectories();

// A user's own data directories, for a user whose home is @p home:
// ~/.local/share and its flatpak export directory.
std::vector<std::string> userDataDirectories(const std::string& home);

// The configuration directories of this process's environment:
// $XDG_CONFIG_HOME (else ~/.config), then $XDG_CONFIG_DIRS (else /etc/xdg).
std::vector<std::string> configDirectories();

// applications/<appId>.desktop in the first of @p dataDirs that has it.
DesktopEntry findDesktopEntry(const std::string& appId, const std::vector<std::string>& dataDirs);

// The icon theme named in GTK's settings.ini or KDE's kdeglobals under
// @p configDirs; empty when none names one.
std::string configuredIconTheme(const std::vector<std::string>& configDirs);

// The file of icon @p icon: an absolute path that exists is taken as it is;
// a name is looked up in @p theme (and the themes it inherits), then in
// hicolor, then in the pixmaps folders, under every one of @p dataDirs. A
// scalable icon is preferred, else the size closest to 64 pixels. Empty
// when there is none.
std::string findIcon(const std::string& icon, const std::string& theme,
                     const std::vector<std::string>& dataDirs);

} // namespace xdg
