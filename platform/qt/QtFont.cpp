#include "platform/qt/Fonts.h"

#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace ui {

QFont createFontA(int height, int, int, int, int weight, bool italic, bool underline, bool strikeOut,
                  unsigned, unsigned, unsigned, unsigned, unsigned pitchAndFamily, const char* face)
{
    QFont f;
    const QString name = QString::fromLatin1(face ? face : "");
    if (name == QLatin1String("Times New Roman")) {
        // Metric-compatible faces first, so that titles laid out for it keep their width.
        QStringList families;
        families << QStringLiteral("Liberation Serif") << QStringLiteral("Nimbus Roman") << QStringLiteral("Times")
                 << name << QStringLiteral("DejaVu Serif");
        f.setFamilies(families);
    } else if (!name.isEmpty()) {
        f.setFamily(name);
    }
    switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN: f.setStyleHint(QFont::Serif); break;
    case FF_SWISS: f.setStyleHint(QFont::SansSerif); break;
    case FF_MODERN: f.setStyleHint(QFont::Monospace); break;
    default: break;
    }
    f.setWeight(weight >= FW_BOLD ? QFont::Bold : weight > FW_NORMAL ? QFont::DemiBold : QFont::Normal);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strikeOut);
    if (height != 0) {
        // QFont sizes the em square; scale it so the cell (positive height) or the characters
        // (negative height) come out at the asked pixel height.
        const int target = std::abs(height);
        f.setPixelSize(target);
        const QFontMetrics fm(f);
        const int measured = height > 0 ? fm.height() : fm.height() - fm.leading();
        if (measured > 0 && measured != target)
            f.setPixelSize(std::max(1, target * target / measured));
    }
    return f;
}

}  // namespace ui
