#pragma once
// The GUI thread's hidden message window (Win32 backend), through which runOnGuiThread sends
// its calls. becomeGuiThread() makes the calling thread the GUI thread (CWinApp::run, once).

namespace ui::win32 {

void becomeGuiThread();

}  // namespace ui::win32
