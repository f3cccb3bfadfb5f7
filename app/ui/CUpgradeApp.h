#pragma once
// CUpgradeApp: the application. The whole run happens in InitInstance, which always returns
// false so that the program ends when it returns: the agreement dialog (rejecting it ends the
// program before the command line is even parsed), then the wizard is built, made the main
// window, the command line is parsed into its settings, the usage text is shown when -h asked
// for it, and the wizard runs modally; its result is not examined.

#include "platform/ui/CWinApp.h"

class CUpgradeApp : public CWinApp {
public:
    bool InitInstance() override;
};
