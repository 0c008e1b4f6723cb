#include "xdg.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace xdg {
namespace {

using Ini = std::map<std::string, std::map<std::string, std::string>>;

bool isFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string home()
{
    const std::string value = environment("HOME");
    return value.empty() ? "/root" : value;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

// The keys of every [section]; later duplicates are ignored, as desktop
// shells do. Localised keys (Name[de]) stay keys of their own.
Ini readIni(const std::string& path)
{
    Ini ini;
    std::ifstream file(path);
    std::string line, section;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        value.erase(0, value.find_first_not_of(' '));
        ini[section].emplace(key, value);
    }
    return ini;
}

std::string valueOf(const Ini& ini, const std::string& section, const std::string& key)
{
    const auto s = ini.find(section);
    if (s == ini.end())
        return {};
    const auto k = s->second.find(key);
    return k == s->second.end() ? std::string() : k->second;
}

// The best file for @p icon in one theme, with its distance from 64 px
// (scalable counts as 0); the distance is -1 when the theme has none.
std::pair<std::string, int> searchTheme(const std::string& icon, const std::string& theme,
                                        const std::vector<std::string>& dataDirs, std::string& inherits)
{
    std::pair<std::string, int> best{{}, -1};
    for (const std::string& data : dataDirs) {
        const std::string base = data + "/icons/" + theme;
        const Ini index = readIni(base + "/index.theme");
        if (index.empty())
            continue;
        if (inherits.empty())
            inherits = valueOf(index, "Icon Theme", "Inherits");
        std::vector<std::string> directories = split(valueOf(index, "Icon Theme", "Directories"), ',');
        for (const std::string& scaled : split(valueOf(index, "Icon Theme", "ScaledDirectories"), ','))
            directories.push_back(scaled);
        for (const std::string& directory : directories) {
            const std::string type = valueOf(index, directory, "Type");
            const int size = std::atoi(valueOf(index, directory, "Size").c_str());
            const int distance = type == "Scalable" ? 0 : 1 + std::abs(size - 64);
            if (best.second >= 0 && distance >= best.second)
                continue;
            for (const char* extension : {".svg", ".png", ".xpm"}) {
                const std::string path = base + "/" + directory + "/" + icon + extension;
                if (isFile(path)) {
                    best = {path, distance};
                    break;
                }
            }
        }
    }
    return best;
}

} // namespace

std::vector<std::string> dataDirectories()
{
    std::vector<std::string> dirs;
    const std::string dataHome = environment("XDG_DATA_HOME");
    dirs.push_back(!dataHome.empty() ? dataHome : home() + "/.local/share");
    const std::string dataDirs = environment("XDG_DATA_DIRS");
    for (const std::string& dir : split(!dataDirs.empty() ? dataDirs : "/usr/local/share:/usr/share", ':'))
        dirs.push_back(dir);
    dirs.push_back("/var/lib/flatpak/exports/share");
    return dirs;
}

std::vector<std::string> userDataDirectories(const std::string& userHome)
{
    return {userHome + "/.local/share", userHome + "/.local/share/flatpak/exports/share"};
}

std::vector<std::string> configDirectories()
{
    std::vector<std::string> dirs;
    const std::string configHome = environment("XDG_CONFIG_HOME");
    dirs.push_back(!configHome.empty() ? configHome : home() + "/.config");
    const std::string configDirs = environment("XDG_CONFIG_DIRS");
    for (const std::string& dir : split(!configDirs.empty() ? configDirs : "/etc/xdg", ':'))
        dirs.push_back(dir);
    return dirs;
}

DesktopEntry findDesktopEntry(const std::string& appId, const std::vector<std::string>& dataDirs)
{
    DesktopEntry entry;
    if (appId.empty() || appId.find('/') != std::string::npos)
        return entry;
    for (const std::string& data : dataDirs) {
        const std::string path = data + "/applications/" + appId + ".desktop";
        if (!isFile(path))
            continue;
        const Ini ini = readIni(path);
        entry.found = true;
        entry.name = valueOf(ini, "Desktop Entry", "Name");
        entry.icon = valueOf(ini, "Desktop Entry", "Icon");
        return entry;
    }
    return entry;
}

std::string configuredIconTheme(const std::vector<std::string>& configDirs)
{
    for (const std::string& config : configDirs) {
        const std::string gtk = valueOf(readIni(config + "/gtk-3.0/settings.ini"), "Settings", "gtk-icon-theme-name");
        if (!gtk.empty())
            return gtk;
        const std::string kde = valueOf(readIni(config + "/kdeglobals"), "Icons", "Theme");
        if (!kde.empty())
            return kde;
    }
    return {};
}

std::string findIcon(const std::string& icon, const std::string& theme, const std::vector<std::string>& dataDirs)
{
    if (icon.empty())
        return {};
    if (icon[0] == '/')
        return isFile(icon) ? icon : std::string();
    if (icon.find('/') != std::string::npos)
        return {};
    // The theme, the themes it inherits (breadth first), hicolor last.
    std::vector<std::string> queue;
    if (!theme.empty())
        queue.push_back(theme);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < queue.size() && i < 16; ++i) {
        if (!seen.insert(queue[i]).second || queue[i] == "hicolor")
            continue;
        std::string inherits;
        const auto found = searchTheme(icon, queue[i], dataDirs, inherits);
        if (found.second >= 0)
            return found.first;
        for (const std::string& parent : split(inherits, ','))
            queue.push_back(parent);
    }
    std::string ignored;
    const auto found = searchTheme(icon, "hicolor", dataDirs, ignored);
    if (found.second >= 0)
        return found.first;
    for (const std::string& data : dataDirs) {
        for (const char* extension : {".svg", ".png", ".xpm"}) {
            const std::string path = data + "/pixmaps/" + icon + extension;
            if (isFile(path))
                return path;
        }
    }
    return {};
}

} // namespace xdg
