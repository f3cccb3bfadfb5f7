#pragma once
// The QApplication of a window test executable, created on first use on the offscreen platform
// (unless QT_QPA_PLATFORM says otherwise). It lives until the process ends.

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <functional>

inline QApplication& guiApp()
{
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "upgrade";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Lets queued calls (paints, idle notifications) run.
inline void pumpEvents(int rounds = 3)
{
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Runs fn from the event loop as soon as the current modal loop is running.
inline void later(std::function<void()> fn, int ms = 0)
{
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(fn));
}
