#include "app/ui/CWizPage2.h"

#include "app/StringTable.h"
#include "app/ui/Resources.h"
#include "platform/Platform.h"
#include "platform/ui/CPropertySheet.h"

CWizPage2::CWizPage2() : CUpgradePage(res::IDD_PORT, PSWIZB_BACK | PSWIZB_NEXT) {}

bool CWizPage2::OnSetActive()
{
    // Not on every paint: looking through the system's devices is too slow for that.
    platform::ISerialDeviceFactory& devices = *platform::services().serial;
    SetDlgItemText(kCom1Device, devices.describe("COM1"));
    SetDlgItemText(kCom2Device, devices.describe("COM2"));
    return CUpgradePage::OnSetActive();
}

void CWizPage2::loadControls()
{
    const bool com1 = settings().comPort == "COM1";
    CheckDlgButton(kCom1, com1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kCom2, com1 ? BST_UNCHECKED : BST_CHECKED);
}

void CWizPage2::storePort()
{
    settings().comPort = strings::load(IsDlgButtonChecked(kCom1) == BST_CHECKED ? strings::IDS_COM1 : strings::IDS_COM2);
}

int CWizPage2::OnWizardNext()
{
    storePort();
    // The operator chose the port seeing what each name stands for now: the session follows that.
    settings().resolvedPort = {};
    return 0;
}

int CWizPage2::OnWizardBack()
{
    storePort();
    return 0;
}
