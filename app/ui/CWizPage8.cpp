#include "app/ui/CWizPage8.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"
#include "upgrade/ui/CDownloadDlg.h"

CWizPage8::CWizPage8() : CUpgradePage(res::IDD_ERASE, PSWIZB_BACK | PSWIZB_NEXT) {}

void CWizPage8::loadControls()
{
    const bool erase = settings().eraseConfig;
    CheckDlgButton(kErase, erase ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kKeep, erase ? BST_UNCHECKED : BST_CHECKED);
}

void CWizPage8::storeChoice()
{
    settings().eraseConfig = IsDlgButtonChecked(kErase) == BST_CHECKED;
}

int CWizPage8::OnWizardNext()
{
    storeChoice();
    UpgradeSettings& s = settings();
    s.upgradeDone.store(false);
    {
        // The window cannot close before the worker has written upgradeResult and is done
        // with the window, so the result is final once DoModal returns.
        CDownloadDlg dlg;
        dlg.DoModal();
    }
    return s.upgradeResult.load() != 0 ? res::IDD_UPGRADE_FAILED : res::IDD_UPGRADE_DONE;
}

int CWizPage8::OnWizardBack()
{
    storeChoice();
    return res::IDD_FILES;
}
