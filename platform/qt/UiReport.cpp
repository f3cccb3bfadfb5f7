#include "platform/qt/UiReport.h"

#include "platform/qt/CDialog.h"
#include "platform/qt/CPropertyPage.h"
#include "platform/qt/ControlFactory.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace ui {

namespace {

std::mutex g_mutex;
std::FILE* g_file = nullptr;

// One line of text; a label's mnemonic marks are dropped.
std::string flat(const QString& text, bool label = true)
{
    QString t = text;
    if (label)
        t.remove(QLatin1Char('&'));
    t.replace(QLatin1Char('\r'), QString()).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return t.toStdString();
}

int idOf(const QWidget* w)
{
    const int id = controlId(w);
    return id == kStaticId ? 0 : id;
}

std::string describe(const QWidget* w)
{
    const char* kind = "other";
    QString text;
    if (qobject_cast<const QRadioButton*>(w))
        kind = "radio";
    else if (qobject_cast<const QAbstractButton*>(w))
        kind = "button";
    else if (qobject_cast<const QLineEdit*>(w))
        kind = "edit";
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        text = b->text();
    const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
    return std::to_string(idOf(w)) + " " + kind + " " + std::to_string(at.x()) + " " +
           std::to_string(at.y()) + " " + std::to_string(w->width()) + " " + std::to_string(w->height()) +
           " " + flat(text);
}

void listButtons(const QWidget* window)
{
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->isVisible())
            UiReport::line("control " + describe(b));
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
            UiReport::line("focus " + describe(w));
            return false;
        }
        if (e->spontaneous())
            return false;
        const bool shown = type == QEvent::Show;
        if (auto* page = qobject_cast<CPropertyPage*>(w)) {
            if (shown) {
                UiReport::line("page " + std::to_string(page->templateId()));
                listButtons(page->window());
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            UiReport::line(shown ? "msgbox " + flat(box->text(), false) : std::string("msgbox close"));
        } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
            // The list of file types as the dialog shows it, not as it was given.
            QStringList types;
            if (const auto* combo = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < combo->count(); ++i)
                    types << combo->itemText(i);
            UiReport::line(shown ? "filedialog " + flat(files->windowTitle(), false) + " [" +
                                       flat(types.join(QStringLiteral(";;")), false) + "]"
                                 : std::string("filedialog close"));
        } else if (auto* dlg = qobject_cast<CDialog*>(w); dlg && dlg->isWindow()) {
            UiReport::line("dialog " + std::to_string(dlg->templateId()) +
                           (shown ? std::string(" open") : " close " + std::to_string(dlg->result())));
            if (shown)
                listButtons(dlg);
        }
        return false;
    }
};

}  // namespace

void UiReport::installFromEnvironment()
{
    const char* path = std::getenv("TARVEL_UI_REPORT");
    if (!path || !*path || !QCoreApplication::instance())
        return;
    {
        std::lock_guard lock(g_mutex);
        if (g_file)
            return;
        g_file = std::fopen(path, "a");
        if (!g_file)
            return;
    }
    static Watcher watcher;
    QCoreApplication::instance()->installEventFilter(&watcher);
}

bool UiReport::enabled()
{
    std::lock_guard lock(g_mutex);
    return g_file != nullptr;
}

void UiReport::line(const std::string& text)
{
    std::lock_guard lock(g_mutex);
    if (!g_file)
        return;
    std::fputs(text.c_str(), g_file);
    std::fputc('\n', g_file);
    std::fflush(g_file);
}

void UiReport::controlText(int id, const std::string& text)
{
    // Long texts (the agreement) are cut: their beginning tells them apart.
    constexpr std::size_t kLongest = 200;
    const bool cut = text.size() > kLongest;
    const std::size_t n = cut ? kLongest : text.size();
    if (enabled())
        line("text " + std::to_string(id) + " " +
             flat(QString::fromLatin1(text.data(), static_cast<qsizetype>(n)), false) + (cut ? "..." : ""));
}

}  // namespace ui
