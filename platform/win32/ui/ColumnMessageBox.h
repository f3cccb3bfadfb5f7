#pragma once
// columnMessageBox: MessageBoxA for a text whose columns are laid out with tabs (the usage
// text). The system box keeps its tab stops, but it may wrap a line that is wider than its text
// field, and a wrapped line breaks the columns. This one lets the box lay itself out, then, as
// its initialisation ends, widens its text field (and the box, within the work area) until every line
// stands on one line, fits the field's height to the lines, moves the buttons along and keeps
// the box centred where it was. A text without a tab is shown exactly as MessageBoxA shows it.

#include <string>

#include "platform/win32/ui/WindowsHeaders.h"

namespace ui::win32 {

int columnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style);

}  // namespace ui::win32
