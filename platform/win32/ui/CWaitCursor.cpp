#include "platform/ui/CWaitCursor.h"

#include "platform/win32/ui/WindowsHeaders.h"

#include <utility>

namespace {
int g_depth = 0;
HCURSOR g_previous = nullptr;
HHOOK g_hook = nullptr;

HCURSOR waitCursor()
{
    return ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
}

// Every window answers WM_SETCURSOR (at each mouse move) with its own class's cursor. While the
// wait cursor is on, it is put back once each window has answered, so that it stays for as long
// as the work lasts and not only until the mouse moves.
LRESULT CALLBACK afterWindowProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && reinterpret_cast<const CWPRETSTRUCT*>(lParam)->message == WM_SETCURSOR && g_depth > 0)
        ::SetCursor(waitCursor());
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}
}  // namespace

CWaitCursor::CWaitCursor()
{
    if (g_depth++ == 0) {
        g_previous = ::SetCursor(waitCursor());
        g_hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, afterWindowProc, nullptr, ::GetCurrentThreadId());
    }
}

CWaitCursor::~CWaitCursor()
{
    if (--g_depth == 0) {
        if (g_hook)
            ::UnhookWindowsHookEx(std::exchange(g_hook, nullptr));
        ::SetCursor(g_previous);
    }
}
