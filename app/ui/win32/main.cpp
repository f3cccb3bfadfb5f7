// upgrade.exe: the windowed utility on Windows. Installs the message boxes of the Win32 window
// backend over the real platform services and runs the application object.
#include "app/ui/CUpgradeApp.h"
#include "platform/Platform.h"
#include "platform/ui/UiReport.h"
#include "platform/win32/ui/Win32Notifier.h"

#include <string>
#include <vector>

namespace {
CUpgradeApp theApp;
}

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv, argv + argc);
    ui::UiReport::installFromEnvironment();  // for tests that drive the program; off by default

    platform::Win32Notifier notifier;
    platform::ScopedPlatform services({nullptr, nullptr, &notifier, nullptr});

    theApp.setCommandLine(std::move(arguments));
    return theApp.run();
}
