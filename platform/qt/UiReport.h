#pragma once
// UiReport: an account of what the windows show, written for tests that drive the real program
// on a real X server (where the display cannot tell one wizard page from another: the pages are
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
// mnemonic ampersands are dropped. Lines may come from any thread.

#include <string>

namespace ui {

class UiReport {
public:
    // Opens the file named by TARVEL_UI_REPORT (if any) and starts watching the application's
    // windows. Call once, after the application object exists.
    static void installFromEnvironment();
    static bool enabled();
    static void line(const std::string& text);
    // "text <id> <text>", when enabled.
    static void controlText(int id, const std::string& text);
};

}  // namespace ui
