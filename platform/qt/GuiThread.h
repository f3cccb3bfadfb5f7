#pragma once
// runOnGuiThread: the SendMessage stand-in for code on other threads. Runs fn on the GUI thread
// and returns when it has run: directly when called on the GUI thread, otherwise through a
// blocking queued call, which the GUI thread's event loop (any loop, modal ones included)
// handles. The GUI thread must not be waiting for the calling thread at that moment.

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <functional>

inline bool onGuiThread()
{
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

inline void runOnGuiThread(const std::function<void()>& fn)
{
    if (onGuiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
}
