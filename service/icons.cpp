#include "icons.h"

#include "xdg.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace demo {
namespace {

std::uint32_t hashOf(const std::string& text)
{
    std::uint32_t hash = 2166136261u;   // FNV-1a
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

// A colour from the name's hash, dark enough for white letters.
const char* colourFor(const std::string& name)
{
    static const char* const palette[] = {"#1E88E5", "#009688", "#8E24AA", "#E53935", "#F4511E",
                                          "#3A49A8", "#2E7D32", "#6D4C41", "#C2185B", "#00838F"};
    return palette[hashOf(name) % (sizeof palette / sizeof palette[0])];
}

std::string initialsOf(const std::string& name)
{
    std::string letters;
    bool wordStart = true;
    for (char c : name) {
        if (c == '.')
            break;   // "steam.exe" is S, "youtube.com" is Y
        const bool alnum = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (alnum && wordStart && letters.size() < 2)
            letters += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        wordStart = !alnum;
    }
    if (letters.size() == 1 && name.size() > 1 && std::isalnum(static_cast<unsigned char>(name[1])) != 0)
        letters += static_cast<char>(std::toupper(static_cast<unsigned char>(name[1])));
    return letters.empty() ? std::string("?") : letters;
}

// The letters as strokes on a 4 x 6 grid (polylines split by ';'): the badge
// needs no font, so it renders wherever Qt reads SVG, also without a
// QGuiApplication, which text would need.
const char* strokesOf(char letter)
{
    static const char* const letters[26] = {
        "0,6 0,2 2,0 4,2 4,6;0,4 4,4", "0,0 0,6 3,6 4,5 4,4 3,3 0,3;0,0 3,0 4,1 4,2 3,3",
        "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5", "0,0 0,6 2,6 4,4 4,2 2,0 0,0", "4,0 0,0 0,6 4,6;0,3 3,3",
        "4,0 0,0 0,6;0,3 3,3", "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3 2,3", "0,0 0,6;4,0 4,6;0,3 4,3",
        "1,0 3,0;2,0 2,6;1,6 3,6", "4,0 4,5 3,6 1,6 0,5", "0,0 0,6;4,0 0,4;1,3 4,6", "0,0 0,6 4,6",
        "0,6 0,0 2,3 4,0 4,6", "0,6 0,0 4,6 4,0", "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0",
        "0,6 0,0 3,0 4,1 4,2 3,3 0,3", "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0;2,4 4,6",
        "0,6 0,0 3,0 4,1 4,2 3,3 0,3;2,3 4,6", "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5",
        "0,0 4,0;2,0 2,6", "0,0 0,5 1,6 3,6 4,5 4,0", "0,0 2,6 4,0", "0,0 1,6 2,3 3,6 4,0",
        "0,0 4,6;4,0 0,6", "0,0 2,3 4,0;2,3 2,6", "0,0 4,0 0,6 4,6"};
    static const char* const digits[10] = {
        "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0;0,5 4,1", "1,1 2,0 2,6;1,6 3,6", "0,1 1,0 3,0 4,1 4,2 0,6 4,6",
        "0,1 1,0 3,0 4,1 4,2 3,3 4,4 4,5 3,6 1,6 0,5;1,3 3,3", "3,6 3,0 0,4 4,4",
        "4,0 0,0 0,3 3,3 4,4 4,5 3,6 0,6", "3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,4 3,3 0,3", "0,0 4,0 1,6",
        "1,0 3,0 4,1 4,2 3,3 1,3 0,2 0,1 1,0;1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3",
        "4,3 1,3 0,2 0,1 1,0 3,0 4,1 4,5 3,6 1,6"};
    if (letter >= 'A' && letter <= 'Z')
        return letters[letter - 'A'];
    if (letter >= '0' && letter <= '9')
        return digits[letter - '0'];
    return "0,1 1,0 3,0 4,1 4,2 2,3 2,4;2,6 2,6";
}

// The letters as one SVG path, centred in the 64 x 64 badge.
std::string lettersPath(const std::string& letters)
{
    const double scale = letters.size() > 1 ? 4.0 : 5.0, gap = 2.5;
    const double width = letters.size() * 4 + (letters.size() - 1) * gap;
    const double left = 32 - width * scale / 2, top = 32 - 3 * scale;
    std::ostringstream path;
    double x = left;
    for (char letter : letters) {
        std::istringstream strokes(strokesOf(letter));
        std::string stroke;
        while (std::getline(strokes, stroke, ';')) {
            std::istringstream points(stroke);
            std::string point;
            for (char command = 'M'; points >> point; command = 'L') {
                const auto comma = point.find(',');
                path << command << x + std::stod(point.substr(0, comma)) * scale << ' '
                     << top + std::stod(point.substr(comma + 1)) * scale;
            }
        }
        x += (4 + gap) * scale;
    }
    return path.str();
}

std::string fileNameFor(const std::string& name, bool site)
{
    std::string file = site ? "site-" : "app-";
    for (char c : name)
        file += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    return file + ".svg";
}

std::string themeIconFor(const std::string& name)
{
    std::string icon;
    for (char c : name)
        icon += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (icon.size() > 4 && icon.compare(icon.size() - 4, 4, ".exe") == 0)
        icon.resize(icon.size() - 4);
    static const std::string theme = xdg::configuredIconTheme(xdg::configDirectories());
    static const std::vector<std::string> dataDirs = xdg::dataDirectories();
    return xdg::findIcon(icon, theme, dataDirs);
}

} // namespace

bool makeDirectories(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

std::string cacheDirectory()
{
    // As a systemd service: the unit's CacheDirectory=.
    const char* service = std::getenv("CACHE_DIRECTORY");
    if (service != nullptr && service[0] == '/')
        return std::string(service).substr(0, std::string(service).find(':'));
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/')
        return std::string(cache) + "/kestrix-service";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.cache/kestrix-service";
}

std::string iconDirectory(const std::string& configured)
{
    return configured.empty() ? cacheDirectory() + "/icons" : configured;
}

std::string badgeSvg(const std::string& name, bool site)
{
    const std::string letters = initialsOf(name);
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n";
    if (site) {
        svg << "  <circle cx=\"32\" cy=\"32\" r=\"30\" fill=\"" << colourFor(name) << "\"/>\n"
            << "  <circle cx=\"32\" cy=\"32\" r=\"25\" fill=\"#FFFFFF\" fill-opacity=\"0.19\"/>\n";
    } else {
        svg << "  <rect x=\"2\" y=\"2\" width=\"60\" height=\"60\" rx=\"14\" fill=\"" << colourFor(name) << "\"/>\n"
            << "  <path d=\"M2 32V16A14 14 0 0 1 16 2H48A14 14 0 0 1 62 16V32Z\" fill=\"#FFFFFF\" fill-opacity=\"0.13\"/>\n";
    }
    svg << "  <path d=\"" << lettersPath(letters) << "\" fill=\"none\" stroke=\"#FFFFFF\" stroke-width=\""
        << (letters.size() > 1 ? 3.6 : 4.4) << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n</svg>\n";
    return svg.str();
}

std::string ensureIcon(const std::string& directory, const std::string& name, bool site)
{
    if (!site) {
        const std::string themed = themeIconFor(name);
        if (!themed.empty())
            return themed;
    }
    const std::string path = directory + "/" + fileNameFor(name, site);
    const std::string svg = badgeSvg(name, site);
    std::ifstream existing(path);
    std::stringstream old;
    old << existing.rdbuf();
    if (existing && old.str() == svg)
        return path;
    std::ofstream file(path, std::ios::trunc);
    file << svg;
    file.close();
    return file ? path : std::string();
}

} // namespace demo
