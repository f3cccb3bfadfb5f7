#pragma once
// IUserNotifier: the stand-in for AfxMessageBox and MessageBeep. The core shows every message
// that the operator must acknowledge through it and never talks to a window toolkit itself.
// messageBox blocks the calling thread (any thread) until the operator has dismissed the box.
// Implementations: the Qt one (gui/), ConsoleNotifier (prints one line, for the headless front
// end) and RecordingNotifier (tests).
// note() is for what goes beside a box rather than into it (why a port could not be opened):
// lines for the diagnostic stream, standard error unless the front end has its own.

#include <cstdio>
#include <string>

namespace platform {

// Message-box type flags, with the values of the Windows constants they stand for.
enum MessageBoxType : unsigned {
    MB_OK = 0x00,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
    MB_ICONMASK = 0xF0,
};

enum DialogResult : int { IDOK = 1, IDCANCEL = 2 };

class IUserNotifier {
public:
    virtual ~IUserNotifier() = default;
    // Shows text in a modal box of the given type; returns IDOK once it has been dismissed.
    virtual int messageBox(const std::string& text, unsigned type) = 0;
    // MessageBeep: type is MB_OK or one of the MB_ICON* sounds.
    virtual void beep(unsigned type) = 0;
    // Lines separated by '\n'; does not wait for anyone.
    virtual void note(const std::string& text)
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
    }
};

}  // namespace platform
