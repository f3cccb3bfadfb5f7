#include "app/ui/CWizPage9.h"

#include "app/ui/Resources.h"
#include "platform/qt/CPropertySheet.h"

CWizPage9::CWizPage9() : CUpgradePage(res::IDD_UPGRADE_FAILED, PSWIZB_BACK | PSWIZB_FINISH) {}
