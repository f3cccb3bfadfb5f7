#include "platform/win32/ui/DibSection.h"

#include <cstring>
#include <vector>

namespace ui::win32 {

HBITMAP makeDibSection(const Bitmap& bitmap)
{
    if (bitmap.isNull() || bitmap.palette.empty() || bitmap.palette.size() > 256)
        return nullptr;
    const std::size_t colours = bitmap.palette.size();
    std::vector<unsigned char> header(sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = bitmap.width;
    info->bmiHeader.biHeight = -bitmap.height;  // negative: top-down rows
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 8;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biClrUsed = static_cast<DWORD>(colours);
    for (std::size_t i = 0; i < colours; ++i) {
        const Rgb c = bitmap.palette[i];
        info->bmiColors[i] = RGBQUAD{c.b, c.g, c.r, 0};
    }
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits)
        return dib;
    // Each row is padded to a multiple of four bytes.
    const std::size_t stride = (static_cast<std::size_t>(bitmap.width) + 3) & ~std::size_t{3};
    auto* out = static_cast<unsigned char*>(bits);
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(out + static_cast<std::size_t>(y) * stride,
                    bitmap.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width),
                    static_cast<std::size_t>(bitmap.width));
    return dib;
}

}  // namespace ui::win32
