#include "app/ui/CWizPage10.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"
#include "upgrade/UpgradeMessages.h"

CWizPage10::CWizPage10() : CUpgradePage(res::IDD_UPGRADE_DONE, PSWIZB_BACK | PSWIZB_FINISH) {}

void CWizPage10::OnPaint()
{
    CUpgradePage::OnPaint();
    SetDlgItemText(kResult, upgradeCompletedLine(settings()));
}

int CWizPage10::OnWizardBack()
{
    return res::IDD_ERASE;
}
