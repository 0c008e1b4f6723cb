#include "icons.h"

#include "png.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

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
Rgba colourFor(const std::string& name)
{
    static const Rgba palette[] = {
        {0x1E, 0x88, 0xE5, 255}, {0x00, 0x96, 0x88, 255}, {0x8E, 0x24, 0xAA, 255},
        {0xE5, 0x39, 0x35, 255}, {0xF4, 0x51, 0x1E, 0xFF}, {0x3A, 0x49, 0xA8, 255},
        {0x2E, 0x7D, 0x32, 255}, {0x6D, 0x4C, 0x41, 255}, {0xC2, 0x18, 0x5B, 255},
        {0x00, 0x83, 0x8F, 255},
    };
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
    if (letters.size() < 2 && name.size() > 1
        && std::isalnum(static_cast<unsigned char>(name[1])) != 0 && letters.size() == 1)
        letters += static_cast<char>(std::toupper(static_cast<unsigned char>(name[1])));
    return letters.empty() ? std::string("?") : letters;
}

std::string fileNameFor(const std::string& name, bool site)
{
    std::string file = site ? "site-" : "app-";
    for (char c : name)
        file += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    return file + ".png";
}

} // namespace

bool makeDirectories(const std::string& path)
{
    for (std::size_t slash = 0; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string cacheDirectory()
{
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

std::string ensureIcon(const std::string& directory, const std::string& name, bool site)
{
    const std::string path = directory + "/" + fileNameFor(name, site);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return path;

    constexpr int kSize = 64;
    Canvas canvas(kSize, kSize);
    const Rgba colour = colourFor(name);
    const Rgba white{0xFF, 0xFF, 0xFF, 0xFF};
    if (site) {
        canvas.fillCircle(32, 32, 30, colour);
        canvas.fillCircle(32, 32, 25, {0xFF, 0xFF, 0xFF, 0x30});
    } else {
        canvas.fillRoundedRect(2, 2, 60, 60, 14, colour);
        canvas.fillRoundedRect(2, 2, 60, 30, 14, {0xFF, 0xFF, 0xFF, 0x22});
    }
    const std::string letters = initialsOf(name);
    const double scale = letters.size() > 1 ? 4.0 : 5.0;
    const double width = Canvas::textWidth(letters, scale);
    canvas.drawText(letters, (kSize - width) / 2, (kSize - 7 * scale) / 2, scale, white);
    return canvas.savePng(path) ? path : std::string();
}

} // namespace demo
