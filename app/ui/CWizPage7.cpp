#include "app/ui/CWizPage7.h"

#include "app/ui/Resources.h"
#include "platform/qt/CPropertySheet.h"

CWizPage7::CWizPage7() : CUpgradePage(res::IDD_FILES, PSWIZB_BACK | PSWIZB_NEXT) {}

int CWizPage7::OnWizardBack()
{
    return settings().verifyFirst ? res::IDD_VERIFY_PASSED : res::IDD_VERIFY;
}
