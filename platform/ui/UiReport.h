#pragma once
// UiReport: an account of what the windows show, written for tests that drive the real program
// on a real display (where the display cannot tell one wizard page from another: the pages are
// no windows of their own and share one caption). Off unless the environment variable
// TARVEL_UI_REPORT names a file when installFromEnvironment() runs; then one line is appended
// to that file for each of these events, as it happens:
//   page <template id>                      a wizard page has been activated
//   dialog <template id> open | close <r>   a dialog window shown, or hidden with its result r
//                                           (the wizard is 0: Finish 12325, Cancel 2)
//   msgbox <text> | msgbox close            a message box shown or dismissed
//   filedialog <title> [<file type>;;...] | filedialog close    (the types as its list shows them)
//   text <control id> <text>                SetDlgItemText changed what a control shows (a text
//                                           of over 200 characters is cut there, with "...")
//   beep                                    MessageBeep
//   focus <id> <kind> <x> <y> <w> <h> <text>    the keyboard focus moved to a control
//   control <id> <kind> <x> <y> <w> <h> <text>  each visible button of a page or dialog just shown
// Control ids are those of the templates (0 for controls without one, such as the wizard's own
// buttons, which are told by their text); kind is button, radio, edit or other; positions are
// pixels within the control's top-level window; line breaks in texts are written as "\n" and
// mnemonic ampersands are dropped (in control and focus lines). Texts are given as Latin-1 bytes
// and written as UTF-8. Lines may come from any thread.
// The writer and the line formats are here (platform/ui/UiReport.cpp), so that every backend
// reports the same lines; startWatching() is the backend's: it makes the backend report the
// events it alone sees (shown windows, focus, message boxes, file dialogs).

#include <string>

namespace ui {

class UiReport {
public:
    enum class Kind { Button, Radio, Edit, Other };
    struct Control {
        int id = 0;  // 0 for none
        Kind kind = Kind::Other;
        int x = 0, y = 0, width = 0, height = 0;
        std::string text;
    };

    // Opens the file named by TARVEL_UI_REPORT (if any) and calls startWatching(). Call once,
    // after the toolkit's application object exists.
    static void installFromEnvironment();
    static bool enabled();
    static void line(const std::string& text);

    // "text <id> <text>", when enabled.
    static void controlText(int id, const std::string& text);
    static void page(int templateId);
    static void dialogOpen(int templateId);
    static void dialogClose(int templateId, int result);
    static void messageBox(const std::string& text);
    static void messageBoxClose();
    // types: the file types as the dialog's list shows them.
    static void fileDialog(const std::string& title, const std::string& types);
    static void fileDialogClose();
    static void beep();
    static void focus(const Control& c);
    static void control(const Control& c);

    // One line of text: line breaks as "\n", carriage returns dropped, and for labels the
    // mnemonic '&' dropped; Latin-1 in, UTF-8 out.
    static std::string flat(const std::string& text, bool label);

private:
    static void startWatching();  // backend
};

}  // namespace ui
