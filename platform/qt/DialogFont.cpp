#include "platform/qt/DialogFont.h"

#include "platform/ui/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>

#include <algorithm>

namespace ui {

namespace {

// The stand-in for the original dialog face at 8 points: its pixel em and base units.
constexpr int kStandInPoints = 8;
constexpr int kStandInPixels = 11;
constexpr int kStandInBaseX = 7;
constexpr int kStandInBaseY = 14;

bool isStandInFace(const std::string& face)
{
    return face.empty() || face == "MS Sans Serif" || face == "MS Shell Dlg";
}

int positivePoints(int points)
{
    return points > 0 ? points : kStandInPoints;
}

}  // namespace

QFont qt::dialogFont(const std::string& face, int points)
{
    const int pt = positivePoints(points);
    QFont f;
    if (isStandInFace(face)) {
        // Arial's metrics: the closest of the installed faces to the original's look. The
        // fallbacks only keep the windows readable where fonts-liberation is missing.
        f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                       QStringLiteral("DejaVu Sans")});
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(std::max(1, mulDiv(pt, kStandInPixels, kStandInPoints)));
    } else {
        f.setFamily(QString::fromStdString(face));
        f.setPixelSize(std::max(1, mulDiv(pt, 96, 72)));
    }
    return f;
}

DialogUnits dialogUnits(const std::string& face, int points)
{
    const int pt = positivePoints(points);
    if (isStandInFace(face))
        return DialogUnits(std::max(1, mulDiv(pt, kStandInBaseX, kStandInPoints)),
                           std::max(1, mulDiv(pt, kStandInBaseY, kStandInPoints)));
    // A face used as named: the window system's own rule, the average width of the letters
    // "A".."Z" "a".."z" (rounded) and the font's height.
    const QFontMetrics fm(qt::dialogFont(face, pt));
    const int width52 = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits(std::max(1, (width52 / 26 + 1) / 2), std::max(1, fm.height()));
}

}  // namespace ui
