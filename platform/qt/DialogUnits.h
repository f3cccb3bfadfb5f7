#pragma once
// DialogUnits: the conversion from dialog units to pixels, by the rule of the window system the
// templates were drawn for: x pixels = du * baseX / 4 and y pixels = du * baseY / 8, rounded
// half away from zero (MulDiv).
//
// The templates name "MS Sans Serif" 8, a face this system lacks, and no installed face has its
// metrics. Its stand-in is Liberation Sans (the Arial-compatible face of fonts-liberation) at
// 11 pixels, the em of an 8-point face on a 96-dpi screen, with the fixed base units 7 x 14:
// one pixel wider and taller per unit than the original face's 6 x 13, so that every text of
// every template fits its rectangle at that one size (the template text test checks this with
// the installed fonts). Sizes are in pixels, so the layout does not depend on the screen's dpi.
// Other point sizes scale font and units in proportion. Another face is taken as named, with
// the window system's rule for its base units (average letter width, height).

#include "platform/qt/DialogTemplate.h"

#include <QFont>
#include <QRect>
#include <QSize>

#include <string>

namespace ui {

class DialogUnits {
public:
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    int toPixelsX(int du) const;
    int toPixelsY(int du) const;
    QRect toPixels(const DuRect& r) const;
    QSize toPixels(int widthDu, int heightDu) const;

private:
    int baseX_;
    int baseY_;
};

// The font a template names, with the stand-in for faces this system lacks.
QFont dialogFont(const std::string& face, int points);
// The base units of a template with that font.
DialogUnits dialogUnits(const std::string& face, int points);

}  // namespace ui
