#include "platform/qt/TabStopMessageBox.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTextOption>

namespace platform {

namespace {

// Plain text drawn with the box's tab stops. QLabel offers no way to set them, so the box's own
// label makes way for this one where the text has a tab.
class TabStopText : public QWidget {
public:
    TabStopText(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
    {
        setObjectName(QStringLiteral("tarvel_tab_stop_text"));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return fm.boundingRect(QRect(0, 0, 4000, 4000), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text_,
                               TabStopMessageBox::tabStopDistance(fm))
            .size();
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QTextOption option(Qt::AlignLeft | Qt::AlignTop);
        option.setWrapMode(QTextOption::NoWrap);
        option.setTabStopDistance(TabStopMessageBox::tabStopDistance(fontMetrics()));
        p.drawText(QRectF(rect()), text_, option);
    }

private:
    QString text_;
};

}  // namespace

TabStopMessageBox::TabStopMessageBox(Icon icon, const QString& caption, const QString& text, QWidget* owner)
    : QMessageBox(icon, caption, text, QMessageBox::Ok, owner)
{
    setTextFormat(Qt::PlainText);
    if (!text.contains(QLatin1Char('\t')))
        return;
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(layout());
    const int index = label && grid ? grid->indexOf(label) : -1;
    if (index < 0)
        return;
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(index, &row, &column, &rows, &columns);
    label->hide();
    grid->addWidget(new TabStopText(text, this), row, column, rows, columns, Qt::AlignLeft | Qt::AlignTop);
}

int TabStopMessageBox::tabStopDistance(const QFontMetrics& metrics)
{
    return 8 * metrics.averageCharWidth();
}

void TabStopMessageBox::showEvent(QShowEvent* e)
{
    QMessageBox::showEvent(e);
    const QWidget* owner = parentWidget();
    if (owner && owner->isVisible())
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace platform
