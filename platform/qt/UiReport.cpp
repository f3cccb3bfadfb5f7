// The Qt backend's part of the window report: an application-wide event filter that reports
// shown pages and dialogs, message boxes, file dialogs and focus changes as they happen.
#include "platform/ui/UiReport.h"

#include "platform/qt/ControlFactory.h"
#include "platform/qt/QtAccess.h"
#include "platform/ui/CDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

namespace ui {

namespace {

std::string bytes(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

UiReport::Control describe(const QWidget* w)
{
    UiReport::Control c;
    const int id = controlId(w);
    c.id = id == kStaticId ? 0 : id;
    if (qobject_cast<const QRadioButton*>(w))
        c.kind = UiReport::Kind::Radio;
    else if (qobject_cast<const QAbstractButton*>(w))
        c.kind = UiReport::Kind::Button;
    else if (qobject_cast<const QLineEdit*>(w))
        c.kind = UiReport::Kind::Edit;
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        c.text = bytes(b->text());
    const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
    c.x = at.x();
    c.y = at.y();
    c.width = w->width();
    c.height = w->height();
    return c;
}

void listButtons(const QWidget* window)
{
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->isVisible())
            UiReport::control(describe(b));
}

// Watches every object of the application; reports, never consumes.
class Watcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        const QEvent::Type type = e->type();
        const bool watchedType = type == QEvent::Show || type == QEvent::Hide || type == QEvent::FocusIn;
        if (!watchedType || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (type == QEvent::FocusIn) {
            UiReport::focus(describe(w));
            return false;
        }
        if (e->spontaneous())
            return false;
        const bool shown = type == QEvent::Show;
        const CDialog* dlg = qt::dialogOf(w);
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (shown)
                UiReport::messageBox(bytes(box->text()));
            else
                UiReport::messageBoxClose();
        } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
            // The list of file types as the dialog shows it, not as it was given.
            QStringList types;
            if (const auto* combo = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < combo->count(); ++i)
                    types << combo->itemText(i);
            if (shown)
                UiReport::fileDialog(bytes(files->windowTitle()), bytes(types.join(QStringLiteral(";;"))));
            else
                UiReport::fileDialogClose();
        } else if (dlg && !w->isWindow()) {
            if (shown) {
                UiReport::page(dlg->templateId());
                listButtons(w->window());
            }
        } else if (dlg) {
            if (shown) {
                UiReport::dialogOpen(dlg->templateId());
                listButtons(w);
            } else {
                UiReport::dialogClose(dlg->templateId(), static_cast<const QDialog*>(w)->result());
            }
        }
        return false;
    }
};

}  // namespace

void UiReport::startWatching()
{
    if (!QCoreApplication::instance())
        return;
    static Watcher watcher;
    QCoreApplication::instance()->installEventFilter(&watcher);
}

}  // namespace ui
