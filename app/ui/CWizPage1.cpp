#include "app/ui/CWizPage1.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"

CWizPage1::CWizPage1() : CUpgradePage(res::IDD_WELCOME, PSWIZB_NEXT) {}
