#pragma once
// Bitmap: a palette image as data, the form of a bitmap resource: width x height pixels, one
// palette index per pixel, rows top to bottom, and the palette's RGB entries. Each window backend
// turns it into its own image (Qt's indexed image, a device-independent bitmap).
// The drawing helpers paint palette indices without blending; everything outside the bitmap is
// clipped. fillRect fills [x, x + w) x [y, y + h); line draws both end points, `thickness`
// pixels wide (a square pen centred on the line); fillPolygon fills the inside of a closed
// outline by the even-odd rule (pixel centres) and draws the outline in `outline` when that is
// not kNoOutline.

#include <cstdint>
#include <vector>

namespace ui {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Point {
    int x = 0, y = 0;
};

struct Bitmap {
    static constexpr int kNoOutline = -1;

    int width = 0;
    int height = 0;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> pixels;  // width * height palette indices

    Bitmap() = default;
    Bitmap(int w, int h, std::vector<Rgb> colours, std::uint8_t background = 0);

    bool isNull() const { return width <= 0 || height <= 0; }
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    Rgb rgbAt(int x, int y) const { return palette[at(x, y)]; }
    void set(int x, int y, std::uint8_t index);

    void fillRect(int x, int y, int w, int h, std::uint8_t index);
    void line(int x0, int y0, int x1, int y1, std::uint8_t index, int thickness = 1);
    void fillPolygon(const std::vector<Point>& outline, std::uint8_t fill, int outlineIndex = kNoOutline);
};

}  // namespace ui
