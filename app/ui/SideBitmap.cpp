// Bitmap 165: the side picture of the wizard pages, 121 x 261 pixels in the 16 colours of the
// standard VGA palette. Drawn here rather than loaded, so the program carries no image files.
#include "app/ui/Resources.h"

#include "platform/qt/Resources.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace {

const QList<QRgb>& vgaPalette()
{
    static const QList<QRgb> p = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
    };
    return p;
}

QImage drawSidePicture()
{
    const int w = res::kSideBitmapWidth, h = res::kSideBitmapHeight;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Sky of horizontal bands, dark at the top.
    const QColor bands[] = {QColor(0, 0, 128), QColor(0, 0, 255), QColor(0, 128, 128)};
    for (int i = 0; i < 3; ++i)
        p.fillRect(0, i * h / 3, w, h / 3 + 1, bands[i]);
    p.setPen(QColor(0, 255, 255));
    for (int y = h / 3; y < h; y += 12)
        p.drawLine(0, y, w, y);

    // The router module: a grey case with its LEDs and a console port.
    const QRect box(14, 30, 93, 42);
    p.fillRect(box, QColor(192, 192, 192));
    p.setPen(QColor(255, 255, 255));
    p.drawLine(box.topLeft(), box.topRight());
    p.drawLine(box.topLeft(), box.bottomLeft());
    p.setPen(QColor(128, 128, 128));
    p.drawLine(box.bottomLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomRight());
    for (int i = 0; i < 4; ++i)
        p.fillRect(22 + i * 10, 40, 5, 4, i == 0 ? QColor(0, 255, 0) : QColor(0, 128, 0));
    p.fillRect(78, 54, 20, 9, QColor(0, 0, 0));  // the console port
    p.fillRect(80, 56, 16, 5, QColor(128, 128, 128));

    // The null-modem cable down to the computer.
    p.setPen(QPen(QColor(255, 255, 0), 3));
    p.drawLine(88, 72, 88, 120);
    p.drawLine(88, 120, 60, 150);
    p.drawLine(60, 150, 60, 190);

    // The computer: a monitor and its stand.
    const QRect screen(24, 190, 72, 46);
    p.fillRect(screen, QColor(192, 192, 192));
    p.fillRect(screen.adjusted(6, 5, -6, -9), QColor(0, 0, 128));
    p.fillRect(50, 236, 20, 6, QColor(128, 128, 128));
    p.fillRect(38, 242, 44, 5, QColor(192, 192, 192));
    p.setPen(QColor(0, 255, 255));
    for (int y = 200; y < 224; y += 5)
        p.drawLine(36, y, 36 + (y * 7) % 40, y);

    // The upgrade: an arrow from the computer up to the module.
    QPolygon arrow;
    arrow << QPoint(30, 92) << QPoint(44, 110) << QPoint(36, 110) << QPoint(36, 170) << QPoint(24, 170)
          << QPoint(24, 110) << QPoint(16, 110);
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(255, 255, 255));
    p.drawPolygon(arrow);
    p.end();

    return img.convertToFormat(QImage::Format_Indexed8, vgaPalette(), Qt::ThresholdDither | Qt::AvoidDither);
}

}  // namespace

namespace res {

QImage loadBitmap(int id)
{
    if (id != IDB_SIDE)
        return QImage();
    static const QImage side = drawSidePicture();
    return side;
}

}  // namespace res
