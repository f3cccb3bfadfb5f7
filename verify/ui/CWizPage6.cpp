#include "verify/ui/CWizPage6.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"
#include "verify/Verification.h"

CWizPage6::CWizPage6() : CUpgradePage(res::IDD_VERIFY_PASSED, PSWIZB_BACK | PSWIZB_NEXT) {}

void CWizPage6::OnPaint()
{
    CUpgradePage::OnPaint();
    SetDlgItemText(kText, verificationPassedText(settings()));
}

int CWizPage6::OnWizardBack()
{
    return res::IDD_VERIFY;
}
