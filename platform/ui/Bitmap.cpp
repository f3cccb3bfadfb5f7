#include "platform/ui/Bitmap.h"

#include <algorithm>
#include <cstdlib>

namespace ui {

Bitmap::Bitmap(int w, int h, std::vector<Rgb> colours, std::uint8_t background)
    : width(std::max(w, 0)), height(std::max(h, 0)), palette(std::move(colours)),
      pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background)
{
}

void Bitmap::set(int x, int y, std::uint8_t index)
{
    if (x >= 0 && y >= 0 && x < width && y < height)
        pixels[static_cast<std::size_t>(y * width + x)] = index;
}

void Bitmap::fillRect(int x, int y, int w, int h, std::uint8_t index)
{
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, width), y1 = std::min(y + h, height);
    for (int row = y0; row < y1; ++row)
        for (int col = x0; col < x1; ++col)
            pixels[static_cast<std::size_t>(row * width + col)] = index;
}

void Bitmap::line(int x0, int y0, int x1, int y1, std::uint8_t index, int thickness)
{
    // Bresenham, with a square pen for thick lines.
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const int before = (std::max(thickness, 1) - 1) / 2;
    const int size = std::max(thickness, 1);
    int err = dx + dy;
    for (;;) {
        fillRect(x0 - before, y0 - before, size, size, index);
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Bitmap::fillPolygon(const std::vector<Point>& outline, std::uint8_t fill, int outlineIndex)
{
    const std::size_t n = outline.size();
    if (n < 3)
        return;
    // Even-odd scan conversion at pixel centres.
    for (int y = 0; y < height; ++y) {
        const double cy = y + 0.5;
        std::vector<double> xs;
        for (std::size_t i = 0; i < n; ++i) {
            const Point a = outline[i], b = outline[(i + 1) % n];
            if ((a.y <= cy) == (b.y <= cy))
                continue;
            xs.push_back(a.x + (cy - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
            for (int x = std::max(0, static_cast<int>(xs[i] + 0.5)); x < std::min(width, static_cast<int>(xs[i + 1] + 0.5)); ++x)
                set(x, y, fill);
    }
    if (outlineIndex == kNoOutline)
        return;
    for (std::size_t i = 0; i < n; ++i)
        line(outline[i].x, outline[i].y, outline[(i + 1) % n].x, outline[(i + 1) % n].y,
             static_cast<std::uint8_t>(outlineIndex));
}

}  // namespace ui
