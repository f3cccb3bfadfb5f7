#pragma once
// TabStopMessageBox: the QMessageBox the Qt backend shows, laid out as the window system's own
// box lays out its text. Tabs stop every eight average character widths of the box's font (the
// toolkit's label would stop every 80 pixels), and a line is never wrapped, so columns built
// with tabs (the usage text) line up. A box whose owner is missing or hidden opens centred on
// the screen instead of wherever the window manager puts a window without a position.

#include <QMessageBox>

namespace platform {

class TabStopMessageBox : public QMessageBox {
public:
    TabStopMessageBox(Icon icon, const QString& caption, const QString& text, QWidget* owner);

    // The distance between tab stops for a font: eight of its average character widths.
    static int tabStopDistance(const QFontMetrics& metrics);

protected:
    void showEvent(QShowEvent* e) override;
};

}  // namespace platform
