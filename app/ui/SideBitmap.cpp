// Bitmap 165: the side picture of the wizard pages, 121 x 261 pixels in the 16 colours of the
// standard VGA palette. Drawn here rather than loaded, so the program carries no image files.
#include "app/ui/Resources.h"

#include "platform/ui/Resources.h"

namespace {

// Indices into the VGA palette below.
enum Vga : std::uint8_t {
    kBlack = 0, kGreen = 2, kNavy = 4, kTeal = 6, kSilver = 7, kGrey = 8,
    kLime = 10, kYellow = 11, kBlue = 12, kAqua = 14, kWhite = 15,
};

std::vector<ui::Rgb> vgaPalette()
{
    return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
            {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

ui::Bitmap drawSidePicture()
{
    const int w = res::kSideBitmapWidth, h = res::kSideBitmapHeight;
    ui::Bitmap img(w, h, vgaPalette());

    // Sky of horizontal bands, dark at the top.
    const Vga bands[] = {kNavy, kBlue, kTeal};
    for (int i = 0; i < 3; ++i)
        img.fillRect(0, i * h / 3, w, h / 3 + 1, bands[i]);
    for (int y = h / 3; y < h; y += 12)
        img.line(0, y, w, y, kAqua);

    // The router module: a grey case with its LEDs and a console port.
    const int left = 14, top = 30, right = 14 + 93 - 1, bottom = 30 + 42 - 1;
    img.fillRect(left, top, 93, 42, kSilver);
    img.line(left, top, right, top, kWhite);
    img.line(left, top, left, bottom, kWhite);
    img.line(left, bottom, right, bottom, kGrey);
    img.line(right, top, right, bottom, kGrey);
    for (int i = 0; i < 4; ++i)
        img.fillRect(22 + i * 10, 40, 5, 4, i == 0 ? kLime : kGreen);
    img.fillRect(78, 54, 20, 9, kBlack);  // the console port
    img.fillRect(80, 56, 16, 5, kGrey);

    // The null-modem cable down to the computer.
    img.line(88, 72, 88, 120, kYellow, 3);
    img.line(88, 120, 60, 150, kYellow, 3);
    img.line(60, 150, 60, 190, kYellow, 3);

    // The computer: a monitor and its stand.
    img.fillRect(24, 190, 72, 46, kSilver);
    img.fillRect(30, 195, 60, 32, kNavy);
    img.fillRect(50, 236, 20, 6, kGrey);
    img.fillRect(38, 242, 44, 5, kSilver);
    for (int y = 200; y < 224; y += 5)
        img.line(36, y, 36 + (y * 7) % 40, y, kAqua);

    // The upgrade: an arrow from the computer up to the module.
    img.fillPolygon({{30, 92}, {44, 110}, {36, 110}, {36, 170}, {24, 170}, {24, 110}, {16, 110}}, kWhite, kBlack);
    return img;
}

}  // namespace

namespace res {

ui::Bitmap loadBitmap(int id)
{
    if (id != IDB_SIDE)
        return {};
    static const ui::Bitmap side = drawSidePicture();
    return side;
}

}  // namespace res
