#include "platform/ui/GuiThread.h"

#include "platform/win32/ui/GuiThreadWindow.h"
#include "platform/win32/ui/WindowsHeaders.h"

#include <atomic>

namespace {

constexpr UINT kRunMessage = WM_APP + 1;
std::atomic<DWORD> g_guiThread{0};
std::atomic<HWND> g_window{nullptr};

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

namespace ui::win32 {

void becomeGuiThread()
{
    if (g_window.load())
        return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TarvelGuiThread";
    ::RegisterClassA(&wc);
    g_guiThread = ::GetCurrentThreadId();
    g_window = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

}  // namespace ui::win32

bool onGuiThread()
{
    const DWORD gui = g_guiThread.load();
    return gui == 0 || gui == ::GetCurrentThreadId();
}

void runOnGuiThread(const std::function<void()>& fn)
{
    HWND h = g_window.load();
    if (onGuiThread() || !h) {
        fn();
        return;
    }
    // A sent message: the GUI thread runs it from whichever loop it is in (its own, a dialog's,
    // a message box's) while this thread waits, as SendMessage from a worker does.
    ::SendMessageA(h, kRunMessage, 0, reinterpret_cast<LPARAM>(&fn));
}
