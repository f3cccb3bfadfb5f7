#include "verify/ui/CWizPage4.h"

#include "app/ui/Resources.h"
#include "platform/qt/CPropertySheet.h"
#include "platform/qt/CWaitCursor.h"
#include "verify/Verification.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>

#include <thread>

CWizPage4::CWizPage4()
    : CUpgradePage(res::IDD_VERIFY, PSWIZB_BACK | PSWIZB_NEXT), verification_([](UpgradeSettings& s) { return runVerification(s); })
{
}

bool CWizPage4::OnInitDialog()
{
    CUpgradePage::OnInitDialog();
    // The busy indication sits below the template's last line, hidden until a verification runs.
    busyText_ = new QLabel(QStringLiteral("Interrogating the Tarvel, please wait..."), this);
    busyText_->setFont(templateFont());
    busyText_->setGeometry(units().toPixels(ui::DuRect{85, 118, 235, 10}));
    busyText_->hide();
    busyBar_ = new QProgressBar(this);
    busyBar_->setTextVisible(false);
    busyBar_->setGeometry(units().toPixels(ui::DuRect{85, 130, 150, 9}));
    busyBar_->hide();
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
    if (busyBar_) {
        busyBar_->setRange(0, busy ? 0 : 100);  // 0..0: the toolkit's moving busy bar
        busyBar_->setVisible(busy);
        busyText_->setVisible(busy);
    }
    if (QWidget* w = GetDlgItem(kYes))
        w->setEnabled(!busy);
    if (QWidget* w = GetDlgItem(kNo))
        w->setEnabled(!busy);
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
    QEventLoop loop;
    std::thread worker([&] {
        code = verification_(target);
        // Delivered only once the loop runs, so an early finish cannot be missed.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    showBusy(false);
    running_ = false;
    if (s)
        s->setNavigationLocked(false);
    return code;
}
