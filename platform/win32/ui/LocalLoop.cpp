#include "platform/ui/LocalLoop.h"

#include "platform/win32/ui/DialogImpl.h"

#include <atomic>

struct ui::LocalLoop::Impl {
    std::atomic<bool> quit{false};
    HANDLE wake = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

namespace ui {

LocalLoop::LocalLoop() : impl_(std::make_unique<Impl>()) {}

LocalLoop::~LocalLoop()
{
    ::CloseHandle(impl_->wake);
}

void LocalLoop::exec()
{
    MSG msg;
    for (;;) {
        // Sent calls (runOnGuiThread, the worker's control updates) are handled inside PeekMessage.
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            win32::dispatchMessage(msg);
        }
        if (impl_->quit.load())
            return;
        ::MsgWaitForMultipleObjectsEx(1, &impl_->wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void LocalLoop::quit()
{
    impl_->quit = true;
    ::SetEvent(impl_->wake);
}

}  // namespace ui
