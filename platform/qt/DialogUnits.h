#pragma once
// DialogUnits: the conversion from dialog units to pixels for one dialog font, by the rule of the
// window system the templates were drawn for: the horizontal base unit is the average character
// width of the font (the width of "A".."Z" "a".."z" divided by 52, rounded), the vertical base
// unit is the font's height; x pixels = du * baseX / 4 and y pixels = du * baseY / 8, rounded.
// dialogFont() maps the templates' face names to fonts that exist here ("MS Sans Serif" does not:
// it becomes a sans-serif font of the same point size).

#include "platform/qt/DialogTemplate.h"

#include <QFont>
#include <QRect>
#include <QSize>

namespace ui {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
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

// The font a template names, with substitutes for faces this system lacks.
QFont dialogFont(const std::string& face, int points);

}  // namespace ui
