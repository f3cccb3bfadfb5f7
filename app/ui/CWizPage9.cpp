#include "app/ui/CWizPage9.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"
#include "upgrade/UpgradeMessages.h"

CWizPage9::CWizPage9() : CUpgradePage(res::IDD_UPGRADE_FAILED, PSWIZB_BACK | PSWIZB_FINISH)
{
    onCommand(kDetails, [this] { OnDetails(); });
}

void CWizPage9::OnPaint()
{
    CUpgradePage::OnPaint();
    SetDlgItemText(kResult, upgradeFailedLine(settings()));
}

int CWizPage9::OnWizardBack()
{
    return res::IDD_ERASE;
}

void CWizPage9::OnDetails()
{
    const UpgradeSettings& s = settings();
    failureBox(upgradeFailureDetails(s.upgradeResult.load(), s));
}
