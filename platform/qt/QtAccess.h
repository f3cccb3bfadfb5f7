#pragma once
// QtAccess: the Qt side of the neutral window framework, for Qt-only code (the notifier, the
// report watcher, the program's main) and the window tests: the widget that shows a dialog, a
// control's widget by id, a sheet's own buttons, and the conversions of the framework's fonts
// and bitmaps into Qt's. Never used by the pages themselves.

#include "platform/ui/Bitmap.h"
#include "platform/ui/Font.h"

#include <QFont>
#include <QImage>

class CDialog;
class CPropertySheet;
class QDialog;
class QPushButton;
class QWidget;

namespace ui::qt {

// The dialog's window (for a page, its child widget inside the sheet).
QDialog* widgetOf(const CDialog& dialog);
// The control with this id in the dialog, or nullptr.
QWidget* itemWidget(const CDialog& dialog, int id);
template <class W>
W* item(const CDialog& dialog, int id)
{
    return qobject_cast<W*>(itemWidget(dialog, id));
}
// The sheet's own button by PSBTN id, or nullptr.
QPushButton* sheetButton(const CPropertySheet& sheet, int psbtn);
// The CDialog a widget shows, or nullptr.
CDialog* dialogOf(const QWidget* widget);
// The font the dialog's template names, as the backend sets it on its controls.
QFont templateFont(const CDialog& dialog);

// A real font from the logical one (CreateFontA's rules, see Font.h). Width, angles,
// precisions and quality are the toolkit's to choose.
QFont toQFont(const Font& font);
// An indexed image with the bitmap's palette (a null image for a null bitmap).
QImage toQImage(const Bitmap& bitmap);

}  // namespace ui::qt
