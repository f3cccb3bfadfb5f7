#include "app/ui/CWizPage8.h"

#include "app/ui/Resources.h"
#include "platform/qt/CPropertySheet.h"

CWizPage8::CWizPage8() : CUpgradePage(res::IDD_ERASE, PSWIZB_BACK | PSWIZB_NEXT) {}
