#pragma once
// DialogUnits: the conversion from dialog units to pixels, by the rule of the window system the
// templates were drawn for: x pixels = du * baseX / 4 and y pixels = du * baseY / 8, rounded
// half away from zero (MulDiv).
//
// The base units come from the dialog's font, which only the window backend can measure:
// dialogUnits(face, points) is defined by each backend: for the templates' "MS Sans Serif" 8 both
// lay out at 7 x 14 (Qt with a stand-in face, see platform/qt/DialogFont.h; Win32 with the face
// itself, scaling the templates into the system's units for it, see
// platform/win32/ui/InMemoryTemplate.h); another face takes the window system's rule.

#include "platform/ui/DialogTemplate.h"

#include <string>

namespace ui {

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PixelSize {
    int width = 0, height = 0;
    bool operator==(const PixelSize&) const = default;
};

// a * b / c rounded half away from zero, as the window system converts its units.
int mulDiv(int a, int b, int c);

class DialogUnits {
public:
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    int toPixelsX(int du) const { return mulDiv(du, baseX_, 4); }
    int toPixelsY(int du) const { return mulDiv(du, baseY_, 8); }
    PixelRect toPixels(const DuRect& r) const
    {
        return {toPixelsX(r.x), toPixelsY(r.y), toPixelsX(r.width), toPixelsY(r.height)};
    }
    PixelSize toPixels(int widthDu, int heightDu) const { return {toPixelsX(widthDu), toPixelsY(heightDu)}; }

private:
    int baseX_;
    int baseY_;
};

// The base units of a template with that font (defined by the window backend).
DialogUnits dialogUnits(const std::string& face, int points);

}  // namespace ui
