// upgrade: the windowed utility. Installs the windowed message boxes over the real platform
// services and runs the application object.
#include "app/ui/CUpgradeApp.h"
#include "platform/Platform.h"
#include "platform/qt/QtNotifier.h"
#include "platform/ui/UiReport.h"

#include <QApplication>

#include <string>
#include <vector>

namespace {
CUpgradeApp theApp;
}

int main(int argc, char** argv)
{
    // The toolkit removes the options it knows from argv; the utility parses its own copy.
    std::vector<std::string> arguments(argv, argv + argc);
    QApplication qtApp(argc, argv);
    ui::UiReport::installFromEnvironment();  // for tests on a real display; off by default

    platform::QtNotifier notifier;
    platform::ScopedPlatform services({nullptr, nullptr, &notifier, nullptr});

    theApp.setCommandLine(std::move(arguments));
    return theApp.run();
}
