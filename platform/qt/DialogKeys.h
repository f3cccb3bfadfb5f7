#pragma once
// DialogKeys: Tab, Shift+Tab and the arrow keys in the program's dialogs and wizard, by the
// templates' flags (DialogNavigation's rules) rather than the toolkit's focus chain. One
// application-wide event filter takes these keys before the focused widget sees them, for any
// widget whose window is one of the program's dialogs (message boxes and file dialogs keep the
// toolkit's own keys). Every control made from a template carries its kind and style (the
// properties named here); so do the sheet's buttons, which come after the page's controls.

#include "platform/ui/DialogNavigation.h"

#include <vector>

class QWidget;

namespace ui::qt {

inline constexpr const char* kControlKindProperty = "controlKind";
inline constexpr const char* kControlStyleProperty = "controlStyle";

// Marks a widget as a dialog control of this kind and style.
void markControl(QWidget* w, ControlKind kind, unsigned style);
// The controls of root (a dialog window, or a page) in tab order: template order, a shown page's
// controls where the page lies, hidden pages left out.
std::vector<QWidget*> navigationControls(const QWidget* root);
// Their kinds, styles and states, for DialogNavigation.
std::vector<NavControl> navigationState(const std::vector<QWidget*>& controls, const QWidget* root);
// Installs the filter (once; needs the application object).
void installDialogKeys();

}  // namespace ui::qt
