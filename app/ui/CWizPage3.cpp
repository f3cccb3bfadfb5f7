#include "app/ui/CWizPage3.h"

#include "app/VersionRule.h"
#include "app/ui/Resources.h"
#include "platform/ui/CDataExchange.h"
#include "platform/ui/CPropertySheet.h"

CWizPage3::CWizPage3() : CUpgradePage(res::IDD_VERSION, PSWIZB_BACK | PSWIZB_NEXT) {}

void CWizPage3::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, kVersion, versionText);
    DDX_Text(dx, kUsername, usernameText);
    DDX_Text(dx, kPassword, passwordText);
}

bool CWizPage3::isValidVersion(const std::string& text)
{
    return ::isValidVersion(text);
}

void CWizPage3::loadControls()
{
    const UpgradeSettings& s = settings();
    SetDlgItemText(kVersion, s.newVersion);
    SetDlgItemText(kUsername, s.username);
    SetDlgItemText(kPassword, s.password);
}

void CWizPage3::store()
{
    UpgradeSettings& s = settings();
    s.newVersion = versionText;
    s.username = usernameText;
    s.password = passwordText;
}

int CWizPage3::OnWizardNext()
{
    UpdateData(true);
    if (!isValidVersion(versionText)) {
        failureBox(kInvalidVersionMessage);
        setItemFocus(kVersion);
        return -1;
    }
    store();
    return 0;
}

int CWizPage3::OnWizardBack()
{
    UpdateData(true);
    store();
    return 0;
}
