// tarvel-icon: renders the program's icon from the wizard's side picture (bitmap 165) and writes
// it as a PNG file: tarvel-icon SIZE FILE. The build runs it for each installed icon size, so the
// icon is always the picture the wizard shows and no image file is kept in the sources.
#include "app/ui/Resources.h"
#include "platform/qt/QtAccess.h"
#include "platform/ui/Resources.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The square of the picture that holds the module, the cable and the head of the upgrade arrow.
constexpr int kCropTop = 20;

QImage renderIcon(int size)
{
    const QImage side = ui::qt::toQImage(res::loadBitmap(res::IDB_SIDE)).convertToFormat(QImage::Format_RGB32);
    const QImage square = side.copy(0, kCropTop, res::kSideBitmapWidth, res::kSideBitmapWidth);
    // Smooth scaling: the picture's one-pixel lines would vanish or double with nearest-pixel scaling.
    return square.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("Usage: tarvel-icon SIZE FILE.png\n", stderr);
        return 64;
    }
    const int size = std::atoi(argv[1]);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "tarvel-icon: size %s is not between 16 and 1024\n", argv[1]);
        return 64;
    }
    const QImage icon = renderIcon(size);
    if (icon.isNull() || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "tarvel-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
