#pragma once
// printable(): text from outside the program (USB descriptor strings, device and by-id names,
// process names) made safe to show on a terminal or in a window. Control bytes (below 0x20,
// 0x7f), the C1 controls in their UTF-8 form (U+0080..U+009F) and bytes that are not part of
// valid UTF-8 appear as \xHH, so no escape sequence reaches the operator's terminal. Valid UTF-8
// otherwise passes unchanged, as do the backslashes of Windows paths.

#include <string>

namespace platform {

std::string printable(const std::string& text);

}  // namespace platform
