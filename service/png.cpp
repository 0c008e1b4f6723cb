#include "png.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace demo {
namespace {

// 5x7 glyphs, one byte per row, bit 4 = leftmost column.
struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows;
};

constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
};

const Glyph* glyphFor(char c)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& glyph : kFont) {
        if (glyph.c == upper)
            return &glyph;
    }
    return nullptr;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data)
{
    putU32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putU32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& raw)
{
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - offset, 65535);
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<long>(offset),
                   raw.begin() + static_cast<long>(offset + length));
        offset += length;
    } while (offset < raw.size());
    std::uint32_t a = 1, b = 0;   // Adler-32
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putU32(out, (b << 16) | a);
    return out;
}

} // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> values{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            values[n] = c;
        }
        return values;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

Canvas::Canvas(int width, int height)
    : m_width(width), m_height(height), m_pixels(static_cast<std::size_t>(width * height))
{
}

Rgba Canvas::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return {};
    return m_pixels[static_cast<std::size_t>(y * m_width + x)];
}

void Canvas::blend(int x, int y, Rgba colour, double coverage)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0)
        return;
    Rgba& target = m_pixels[static_cast<std::size_t>(y * m_width + x)];
    const double alpha = std::min(1.0, coverage) * colour.a / 255.0;
    const double keep = target.a / 255.0 * (1 - alpha);
    const double outAlpha = alpha + keep;
    if (outAlpha <= 0)
        return;
    auto mix = [&](std::uint8_t over, std::uint8_t under) {
        return static_cast<std::uint8_t>(std::lround((over * alpha + under * keep) / outAlpha));
    };
    target = {mix(colour.r, target.r), mix(colour.g, target.g), mix(colour.b, target.b),
              static_cast<std::uint8_t>(std::lround(outAlpha * 255))};
}

void Canvas::fillRoundedRect(double x, double y, double w, double h, double radius, Rgba colour)
{
    // Coverage from 4x4 samples per pixel.
    for (int py = static_cast<int>(y); py < static_cast<int>(std::ceil(y + h)); ++py) {
        for (int px = static_cast<int>(x); px < static_cast<int>(std::ceil(x + w)); ++px) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double fx = px + (sx + 0.5) / 4;
                    const double fy = py + (sy + 0.5) / 4;
                    if (fx < x || fy < y || fx > x + w || fy > y + h)
                        continue;
                    const double cx = std::clamp(fx, x + radius, x + w - radius);
                    const double cy = std::clamp(fy, y + radius, y + h - radius);
                    if ((fx - cx) * (fx - cx) + (fy - cy) * (fy - cy) <= radius * radius)
                        ++inside;
                }
            }
            blend(px, py, colour, inside / 16.0);
        }
    }
}

void Canvas::fillCircle(double cx, double cy, double radius, Rgba colour)
{
    fillRoundedRect(cx - radius, cy - radius, 2 * radius, 2 * radius, radius, colour);
}

double Canvas::textWidth(const std::string& text, double scale)
{
    return text.empty() ? 0 : (static_cast<double>(text.size()) * 6 - 1) * scale;
}

void Canvas::drawText(const std::string& text, double x, double y, double scale, Rgba colour)
{
    double penX = x;
    for (char c : text) {
        if (const Glyph* glyph = glyphFor(c)) {
            for (int row = 0; row < 7; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if ((glyph->rows[static_cast<std::size_t>(row)] & (0x10 >> col)) != 0)
                        fillRoundedRect(penX + col * scale, y + row * scale, scale, scale,
                                        scale * 0.2, colour);
                }
            }
        }
        penX += 6 * scale;
    }
}

std::vector<std::uint8_t> Canvas::encodePng() const
{
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putU32(header, static_cast<std::uint32_t>(m_width));
    putU32(header, static_cast<std::uint32_t>(m_height));
    header.insert(header.end(), {8, 6, 0, 0, 0});   // 8-bit RGBA, no interlace
    putChunk(png, "IHDR", header);

    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(m_height * (1 + m_width * 4)));
    for (int y = 0; y < m_height; ++y) {
        raw.push_back(0);   // filter: none
        for (int x = 0; x < m_width; ++x) {
            const Rgba& p = m_pixels[static_cast<std::size_t>(y * m_width + x)];
            raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
        }
    }
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});
    return png;
}

bool Canvas::savePng(const std::string& path) const
{
    const std::vector<std::uint8_t> bytes = encodePng();
    const std::string temporary = path + ".part";
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(temporary.c_str(), "wb"), &std::fclose);
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (std::fclose(file.release()) != 0 || !written)
        return false;
    // Readers never see a half-written icon.
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace demo
