#include "verify/ui/CWizPage4.h"

#include "app/ui/Resources.h"
#include "platform/ui/CPropertySheet.h"
#include "platform/ui/CWaitCursor.h"
#include "platform/ui/LocalLoop.h"
#include "verify/Verification.h"

#include <thread>

CWizPage4::CWizPage4()
    : CUpgradePage(res::IDD_VERIFY, PSWIZB_BACK | PSWIZB_NEXT), verification_([](UpgradeSettings& s) { return runVerification(s); })
{
}

bool CWizPage4::OnInitDialog()
{
    CUpgradePage::OnInitDialog();
    // The busy indication sits below the template's last line, hidden until a verification runs.
    addControl({kBusyText, ui::ControlKind::Static, {85, 118, 235, 10}, kBusyMessage, ui::kHidden, 0});
    addControl({kBusyBar, ui::ControlKind::ProgressBar, {85, 130, 150, 9}, "", ui::kMarquee | ui::kHidden, 0});
    return true;
}

void CWizPage4::loadControls()
{
    const bool yes = settings().verifyFirst;
    CheckDlgButton(kYes, yes ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kNo, yes ? BST_UNCHECKED : BST_CHECKED);
}

int CWizPage4::OnWizardNext()
{
    UpgradeSettings& s = settings();
    if (IsDlgButtonChecked(kYes) == BST_CHECKED) {
        s.verifyFirst = true;
        s.verifyResult = runVerificationBusy();
        return s.verifyResult == 0 ? res::IDD_VERIFY_PASSED : res::IDD_VERIFY_FAILED;
    }
    s.verifyFirst = false;
    return res::IDD_FILES;
}

int CWizPage4::OnWizardBack()
{
    settings().verifyFirst = IsDlgButtonChecked(kYes) == BST_CHECKED;
    return 0;
}

void CWizPage4::showBusy(bool busy)
{
    showItem(kBusyText, busy);
    showItem(kBusyBar, busy);
    enableItem(kYes, !busy);
    enableItem(kNo, !busy);
}

int CWizPage4::runVerificationBusy()
{
    CWaitCursor wait;
    CPropertySheet* s = sheet();
    if (s)
        s->setNavigationLocked(true);
    running_ = true;
    showBusy(true);

    int code = 0;
    UpgradeSettings& target = settings();
    ui::LocalLoop loop;
    std::thread worker([&] {
        code = verification_(target);
        loop.quit();
    });
    loop.exec();
    worker.join();

    showBusy(false);
    running_ = false;
    if (s)
        s->setNavigationLocked(false);
    return code;
}
