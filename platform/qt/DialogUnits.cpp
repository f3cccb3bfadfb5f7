#include "platform/qt/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>

namespace ui {

namespace {

// MulDiv: a * b / c rounded half away from zero, as the window system converts its units.
int mulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    const int width52 = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (width52 / 26 + 1) / 2;
    baseY_ = fm.height();
    if (baseX_ < 1)
        baseX_ = 1;
    if (baseY_ < 1)
        baseY_ = 1;
}

int DialogUnits::toPixelsX(int du) const { return mulDiv(du, baseX_, 4); }
int DialogUnits::toPixelsY(int du) const { return mulDiv(du, baseY_, 8); }

QRect DialogUnits::toPixels(const DuRect& r) const
{
    return QRect(toPixelsX(r.x), toPixelsY(r.y), toPixelsX(r.width), toPixelsY(r.height));
}

QSize DialogUnits::toPixels(int widthDu, int heightDu) const
{
    return QSize(toPixelsX(widthDu), toPixelsY(heightDu));
}

QFont dialogFont(const std::string& face, int points)
{
    QFont f;
    if (face == "MS Sans Serif" || face == "MS Shell Dlg" || face.empty()) {
        // Faces whose base units come closest to the original's (6 x 13 at 8 points) first, so
        // that the windows keep their size and texts laid out for the original face fit.
        f.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                       QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("Arial"),
                       QStringLiteral("DejaVu Sans")});
        f.setStyleHint(QFont::SansSerif);
    } else {
        f.setFamily(QString::fromStdString(face));
    }
    f.setPointSize(points);
    return f;
}

}  // namespace ui
