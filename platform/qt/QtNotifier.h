#pragma once
// QtNotifier: IUserNotifier for the windows (AfxMessageBox and MessageBeep). messageBox may be
// called on any thread: the box is shown on the GUI thread (directly there, otherwise through a
// blocking queued call) and the caller waits until it has been dismissed; it returns IDOK.
// The box has an OK button, the program's name as caption (the running executable's file name,
// "upgrade" in the build tree, "tarvel-upgrade" installed) and the icon of its type: MB_ICONHAND → critical,
// MB_ICONQUESTION → question, MB_ICONASTERISK → information, MB_ICONEXCLAMATION and no icon at
// all (type 0) → warning (the framework supplies the exclamation icon when none is asked for).
// It is owned by the active modal window, else the application's main window. After the box has
// closed every dialog of the program is invalidated (it was covered).
// beep plays QApplication::beep() (the toolkit has one sound for all types).
//
// For tests: setScript() replaces showing the boxes by recording them and calling the script on
// the GUI thread (its return value is the answer); boxes() and beeps() return the records, kept
// whether or not a script is set. Thread-safe.

#include "platform/IUserNotifier.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class QtNotifier final : public IUserNotifier {
public:
    struct Box {
        std::string text;
        unsigned type = 0;
        std::string caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool onGuiThread = true;        // the thread the box was shown on was the GUI thread
        bool calledOnGuiThread = true;  // messageBox was called on the GUI thread
    };
    using Script = std::function<int(const Box&)>;

    int messageBox(const std::string& text, unsigned type) override;
    void beep(unsigned type) override;

    void setScript(Script script);
    std::vector<Box> boxes() const;
    std::vector<unsigned> beeps() const;
    void clear();

    static QMessageBox::Icon iconFor(unsigned type);
    static QString caption();

private:
    int show(Box box);

    mutable std::mutex mutex_;
    Script script_;
    std::vector<Box> boxes_;
    std::vector<unsigned> beeps_;
};

}  // namespace platform
