#pragma once
// The QApplication of a window test executable, created on first use on the offscreen platform
// (unless QT_QPA_PLATFORM says otherwise). It lives until the last test has run.

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

// Destroys the application after the last test, while the toolkit's own globals still exist.
class GuiAppEnvironment : public ::testing::Environment {
public:
    explicit GuiAppEnvironment(QApplication* app) : app_(app) {}
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_;
};

inline QApplication& guiApp()
{
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "upgrade";
        static char* argv[] = {name, nullptr};
        auto* a = new QApplication(argc, argv);
        ::testing::AddGlobalTestEnvironment(new GuiAppEnvironment(a));
        return a;
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
