#pragma once
// Win32Notifier: IUserNotifier for the windows on Win32 (AfxMessageBox and MessageBeep).
// messageBox may be called on any thread: the box (MessageBoxA) is shown on the GUI thread
// (runOnGuiThread) and the caller waits until it has been dismissed; it returns IDOK. The box
// has an OK button, the program's name as caption (the executable's file name without ".exe")
// and the icon of its type; a type without an icon gets the exclamation icon, as the framework
// supplies it. Its owner is the GUI thread's active window, else the main window. After the box
// has closed every dialog of the program is invalidated (it was covered).
// beep plays MessageBeep(type).

#include "platform/IUserNotifier.h"

#include <string>

namespace platform {

class Win32Notifier final : public IUserNotifier {
public:
    int messageBox(const std::string& text, unsigned type) override;
    void beep(unsigned type) override;

    // The caption of the boxes.
    static std::string caption();
};

}  // namespace platform
