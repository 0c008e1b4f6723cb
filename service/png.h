#pragma once

// A small RGBA canvas and a PNG writer for the icons the demo service draws.
// The PNG is written with uncompressed deflate blocks: icons are small and
// this needs nothing but the standard library.

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    Rgba pixel(int x, int y) const;

    // Blends @p colour over the pixel with @p coverage (0..1).
    void blend(int x, int y, Rgba colour, double coverage = 1.0);
    void fillRoundedRect(double x, double y, double w, double h, double radius, Rgba colour);
    void fillCircle(double cx, double cy, double radius, Rgba colour);
    // Draws text in the built-in 5x7 capital font, each cell scaled by @p scale.
    void drawText(const std::string& text, double x, double y, double scale, Rgba colour);
    static double textWidth(const std::string& text, double scale);

    // The image as a PNG file's bytes.
    std::vector<std::uint8_t> encodePng() const;
    bool savePng(const std::string& path) const;

private:
    int m_width;
    int m_height;
    std::vector<Rgba> m_pixels;
};

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

} // namespace demo
