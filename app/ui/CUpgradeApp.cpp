#include "app/ui/CUpgradeApp.h"

#include "app/CUpgradeCommandLineInfo.h"
#include "app/UsageText.h"
#include "app/ui/CAgreementDlg.h"
#include "app/ui/CUpgradeWizard.h"
#include "platform/Platform.h"

bool CUpgradeApp::InitInstance()
{
    Enable3dControls();
    AfxInitRichEdit();

    CAgreementDlg agreement;
    if (agreement.DoModal() == platform::IDCANCEL)
        return false;

    CUpgradeWizard wizard;
    wizard.SetWizardMode();
    m_pMainWnd = &wizard;

    CUpgradeCommandLineInfo cmdInfo(&wizard.settings);
    ParseCommandLine(cmdInfo);

    // The usage text holds no '%', so formatting it without arguments would leave it as it is.
    if (wizard.settings.showUsage)
        platform::notifier().messageBox(kUsageText, platform::MB_OK);

    wizard.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
