#include "upgrade/ui/CDownloadDlg.h"

#include "app/ui/CUpgradeWizard.h"
#include "app/ui/Resources.h"
#include "platform/Platform.h"
#include "platform/ui/Font.h"
#include "platform/ui/GuiThread.h"
#include "upgrade/UpgradeWorker.h"

CDownloadDlg::CDownloadDlg(CDialog* parent) : CDialog(res::IDD_DOWNLOAD, parent)
{
    // The owner is the wizard (the main window when no parent was given); it holds the settings.
    for (CDialog* w = GetParent(); w; w = w->GetParent())
        if (auto* wizard = dynamic_cast<CUpgradeWizard*>(w)) {
            settings_ = &wizard->settings;
            break;
        }
    takeMembers();
}

CDownloadDlg::~CDownloadDlg() = default;

UpgradeSettings* CDownloadDlg::settings() const
{
    return settings_;
}

bool CDownloadDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    boldFont = ui::createFontA(16, 0, 0, 0, ui::FW_BOLD, false, false, false, ui::ANSI_CHARSET,
                               ui::OUT_DEFAULT_PRECIS, ui::CLIP_DEFAULT_PRECIS, ui::DEFAULT_QUALITY, ui::FF_ROMAN,
                               "Times New Roman");
    // Both bars start at 0 of 100, before the worker can report anything.
    takeMembers();
    showBar(kBootBar, shown_.bootTotalK, shown_.bootSentK);
    showBar(kCodeBar, shown_.codeTotalK, shown_.codeSentK);
    SetDlgItemText(kStatus, shown_.statusText);

    if (!settings_) {
        showFinished(kNoWorker);
        return true;
    }
    started_ = true;
    if (!startUpgradeThread(*settings_, *this)) {
        // Without a worker nobody would ever end the run: end it here as a failure, so that the
        // window can be closed and the wizard shows the failed page.
        settings_->upgradeResult.store(kNoWorker);
        settings_->upgradeDone.store(true);
        showFinished(kNoWorker);
    }
    return true;
}

void CDownloadDlg::takeMembers()
{
    shown_ = values();
}

void CDownloadDlg::showBar(int barId, std::int32_t totalK, std::int32_t sentK)
{
    // An empty range would turn the toolkit's bar into a busy animation; the window's bar then
    // stays empty instead, as a bar of no extent does.
    if (totalK <= 0) {
        setProgressRange(barId, 0, 1);
        setProgressPos(barId, 0);
        return;
    }
    setProgressRange(barId, 0, totalK);
    setProgressPos(barId, sentK);
}

void CDownloadDlg::refresh()
{
    runOnGuiThread([this] {
        // The worker waits in this call, so its members are stable while they are copied.
        takeMembers();
        if (!isCreated())
            return;
        SetDlgItemText(kStatus, shown_.statusText);
        showBar(kBootBar, shown_.bootTotalK, shown_.bootSentK);
        SetDlgItemText(kBootCount, shown_.bootProgressText);
        showBar(kCodeBar, shown_.codeTotalK, shown_.codeSentK);
        SetDlgItemText(kCodeCount, shown_.codeProgressText);
    });
}

bool CDownloadDlg::showFinished(int code)
{
    setVerdict(code);
    runOnGuiThread([this] {
        shown_.statusText = statusText;
        showVerdict();
        finishedShown_ = true;
    });
    // Nothing of this object may be used from here on: the window can close at any moment now.
    return true;
}

void CDownloadDlg::showVerdict()
{
    if (!isCreated())
        return;
    SetDlgItemText(kStatus, shown_.statusText);
    setItemFont(kStatus, boldFont);
    SetDlgItemText(kButton, kFinishedLabel);
    enableItem(kButton, true);
    setItemFocus(kButton);
}

void CDownloadDlg::OnPaint()
{
    SetDlgItemText(kStatus, shown_.statusText);
    if (settings_)
        SetDlgItemText(kBootPath, settings_->bootFile);
    showBar(kBootBar, shown_.bootTotalK, shown_.bootSentK);
    SetDlgItemText(kBootCount, shown_.bootProgressText);
    if (settings_)
        SetDlgItemText(kCodePath, settings_->codeFile);
    showBar(kCodeBar, shown_.codeTotalK, shown_.codeSentK);
    SetDlgItemText(kCodeCount, shown_.codeProgressText);
}

bool CDownloadDlg::mayClose() const
{
    if (!finishedShown_)
        return false;
    return !started_ || (settings_ && settings_->upgradeDone.load());
}

bool CDownloadDlg::allowClose()
{
    if (mayClose())
        return true;
    platform::notifier().beep(platform::MB_OK);
    return false;
}

void CDownloadDlg::OnOK()
{
    if (allowClose())
        CDialog::OnOK();
}

void CDownloadDlg::OnCancel()
{
    if (allowClose())
        CDialog::OnCancel();
}

void CDownloadDlg::OnClose()
{
    // The close box ends the window the way the default close does: as a cancel.
    if (allowClose())
        CDialog::OnCancel();
}
