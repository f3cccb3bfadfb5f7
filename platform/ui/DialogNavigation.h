#pragma once
// DialogNavigation: the dialog manager's keyboard rules, on a dialog's controls listed in their
// tab order (a wizard: the page's controls in template order, then the sheet's Back, Next,
// Finish and Cancel). Each control carries its template kind and style flags and its state.
//
// Tab: the next control (Shift+Tab: the previous one), wrapping, that is usable and a tab stop.
// A tab stop is a control with kTabStop, except radio buttons: in a group of radio buttons the
// checked one is the tab stop (setting a radio button's check also sets or clears its tab stop),
// so Tab into a group lands on its checked button; a group with none checked keeps the
// template's flags.
// Arrows: from a radio button, the next (or previous) usable radio button of its group, wrapping;
// a group runs from a control with kGroup (or the first control) up to the next one with
// kGroup. From any other control an arrow moves nothing: never onto the sheet's buttons.
// The backends apply the result: focus, and for an arrow a click on an unchecked radio button.

#include "platform/ui/DialogTemplate.h"

#include <vector>

namespace ui {

struct NavControl {
    ControlKind kind = ControlKind::Static;
    unsigned style = kNone;
    bool usable = true;  // visible and enabled
    bool checked = false;
};

class DialogNavigation {
public:
    // The control Tab (forward) or Shift+Tab reaches from index `from` (-1: the focus is on no
    // listed control), or -1 when there is none.
    static int tab(const std::vector<NavControl>& controls, int from, bool forward);
    // The radio button an arrow key moves to from index `from`, or -1 (the focus stays).
    static int arrow(const std::vector<NavControl>& controls, int from, bool forward);
    static bool isTabStop(const std::vector<NavControl>& controls, int index);
};

}  // namespace ui
