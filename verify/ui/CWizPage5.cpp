#include "verify/ui/CWizPage5.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"
#include "verify/Verification.h"

CWizPage5::CWizPage5() : CUpgradePage(res::IDD_VERIFY_FAILED, PSWIZB_BACK | PSWIZB_FINISH)
{
    onCommand(kDetails, [this] { OnDetails(); });
}

void CWizPage5::OnPaint()
{
    CUpgradePage::OnPaint();
    SetDlgItemText(kVerdict, verificationFailedLine(settings()));
}

void CWizPage5::OnDetails()
{
    const UpgradeSettings& s = settings();
    failureBox(verificationReason(s.verifyResult, s));
}
