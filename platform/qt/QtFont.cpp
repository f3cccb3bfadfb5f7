#include "platform/qt/QtAccess.h"

#include <QColor>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace ui::qt {

QFont toQFont(const Font& font)
{
    QFont f;
    const QString name = QString::fromLatin1(font.face.c_str());
    if (name == QLatin1String("Times New Roman")) {
        // Metric-compatible faces first, so that titles laid out for it keep their width.
        QStringList families;
        families << QStringLiteral("Liberation Serif") << QStringLiteral("Nimbus Roman") << QStringLiteral("Times")
                 << name << QStringLiteral("DejaVu Serif");
        f.setFamilies(families);
    } else if (!name.isEmpty()) {
        f.setFamily(name);
    }
    switch (font.pitchAndFamily & 0xF0) {
    case FF_ROMAN: f.setStyleHint(QFont::Serif); break;
    case FF_SWISS: f.setStyleHint(QFont::SansSerif); break;
    case FF_MODERN: f.setStyleHint(QFont::Monospace); break;
    default: break;
    }
    f.setWeight(font.weight >= FW_BOLD ? QFont::Bold : font.weight > FW_NORMAL ? QFont::DemiBold : QFont::Normal);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikeOut);
    if (font.height != 0) {
        // QFont sizes the em square; scale it so the cell (positive height) or the characters
        // (negative height) come out at the asked pixel height.
        const int target = std::abs(font.height);
        f.setPixelSize(target);
        const QFontMetrics fm(f);
        const int measured = font.height > 0 ? fm.height() : fm.height() - fm.leading();
        if (measured > 0 && measured != target)
            f.setPixelSize(std::max(1, target * target / measured));
    }
    return f;
}

QImage toQImage(const Bitmap& bitmap)
{
    if (bitmap.isNull())
        return QImage();
    QImage img(bitmap.width, bitmap.height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const Rgb& c : bitmap.palette)
        colours << qRgb(c.r, c.g, c.b);
    img.setColorTable(colours);
    for (int y = 0; y < bitmap.height; ++y)
        std::copy_n(bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bitmap.width, bitmap.width, img.scanLine(y));
    return img;
}

}  // namespace ui::qt
