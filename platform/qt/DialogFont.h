#pragma once
// dialogFont: the font a template names, with the stand-in for faces this system lacks.
// The templates name "MS Sans Serif" 8, a face this system lacks, and no installed face has its
// metrics. Its stand-in is Liberation Sans (the Arial-compatible face of fonts-liberation) at
// 11 pixels, the em of an 8-point face on a 96-dpi screen, with the fixed base units 7 x 14:
// one pixel wider and taller per unit than the original face's 6 x 13, so that every text of
// every template fits its rectangle at that one size (tests/app/ui/TextFitTest.cpp checks this with
// the installed fonts). Sizes are in pixels, so the layout does not depend on the screen's dpi.
// Other point sizes scale font and units in proportion. Another face is taken as named, with
// the window system's rule for its base units (average letter width, height); ui::dialogUnits
// (DialogUnits.h) follows the same rules.

#include <QFont>

#include <string>

namespace ui::qt {

QFont dialogFont(const std::string& face, int points);

}  // namespace ui::qt
