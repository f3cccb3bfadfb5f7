// The Qt backend's small services: the wait cursor, calls onto the GUI thread, the local loop.
#include "platform/ui/CWaitCursor.h"
#include "platform/ui/GuiThread.h"
#include "platform/ui/LocalLoop.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <atomic>

CWaitCursor::CWaitCursor()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

CWaitCursor::~CWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

bool onGuiThread()
{
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void runOnGuiThread(const std::function<void()>& fn)
{
    if (onGuiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
}

namespace ui {

struct LocalLoop::Impl {
    QEventLoop loop;
    std::atomic<bool> quitAsked{false};
};

LocalLoop::LocalLoop() : impl_(std::make_unique<Impl>()) {}

LocalLoop::~LocalLoop() = default;

void LocalLoop::exec()
{
    if (!impl_->quitAsked.load())
        impl_->loop.exec();
}

void LocalLoop::quit()
{
    impl_->quitAsked.store(true);
    // Queued, so that it is handled by the loop itself once it runs, even when quit() comes
    // between the check in exec() and the loop's start.
    QMetaObject::invokeMethod(&impl_->loop, "quit", Qt::QueuedConnection);
}

}  // namespace ui
