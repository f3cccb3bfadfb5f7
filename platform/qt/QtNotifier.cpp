#include "platform/qt/QtNotifier.h"

#include "platform/qt/QtAccess.h"
#include "platform/qt/TabStopMessageBox.h"
#include "platform/ui/CDialog.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/GuiThread.h"
#include "platform/ui/UiReport.h"

#include <QApplication>
#include <QFileInfo>

namespace platform {

QMessageBox::Icon QtNotifier::iconFor(unsigned type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::Warning;  // MB_ICONEXCLAMATION, and the default for no icon
    }
}

QString QtNotifier::caption()
{
    // The running executable (installed as tarvel-upgrade, built as upgrade). Programs here carry
    // no extension, so a dot belongs to the name ("tarvel-upgrade-1.2" stays whole).
    const QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QStringLiteral("upgrade") : name;
}

int QtNotifier::messageBox(const std::string& text, unsigned type)
{
    Box box;
    box.text = text;
    box.type = type;
    box.caption = caption().toStdString();
    box.icon = iconFor(type);
    box.calledOnGuiThread = onGuiThread();
    int answer = IDOK;
    runOnGuiThread([&] { answer = show(box); });
    return answer;
}

int QtNotifier::show(Box box)
{
    Script script;
    {
        std::lock_guard lock(mutex_);
        box.onGuiThread = onGuiThread();
        boxes_.push_back(box);
        script = script_;
    }
    int answer = IDOK;
    if (script) {
        answer = script(box);
    } else {
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner && AfxGetMainWnd())
            owner = ui::qt::widgetOf(*AfxGetMainWnd());
        TabStopMessageBox mb(box.icon, caption(),
                             QString::fromLatin1(box.text.data(), static_cast<qsizetype>(box.text.size())), owner);
        mb.exec();
    }
    CDialog::invalidateAll();
    return answer;
}

void QtNotifier::beep(unsigned type)
{
    {
        std::lock_guard lock(mutex_);
        beeps_.push_back(type);
    }
    ui::UiReport::beep();
    runOnGuiThread([] { QApplication::beep(); });
}

void QtNotifier::setScript(Script script)
{
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

std::vector<QtNotifier::Box> QtNotifier::boxes() const
{
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<unsigned> QtNotifier::beeps() const
{
    std::lock_guard lock(mutex_);
    return beeps_;
}

void QtNotifier::clear()
{
    std::lock_guard lock(mutex_);
    boxes_.clear();
    beeps_.clear();
}

}  // namespace platform
