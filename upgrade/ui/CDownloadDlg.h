#pragma once
// CDownloadDlg: the modal progress window of one upgrade run (template 155). Opening it
// (DoModal) starts the upgrade worker on a thread of its own; the window shows the status line,
// both file paths, one bar with a kilobyte count per file, and at the end the verdict in bold
// with its only button relabelled "Finished" and enabled. Until then Enter, the button, Escape
// and the close box are all refused with a beep (MB_OK) and the window stays.
//
// The worker writes the ProgressState members on its own thread and calls refresh() and
// showFinished(); each call runs its display work as one blocking call on the GUI thread (direct
// when already there), so updates arrive in order and the worker waits until they are shown.
// No control is touched from the worker thread. Painting never reads the members the worker
// writes: it shows the copy the GUI thread took at the last refresh()/showFinished(), which is
// what the display shows anyway since every write is followed by one of those calls.
//
// End of a run: the close handlers honour a close only when upgradeDone is set AND the GUI
// thread has handled showFinished, the worker's last access to this object, so the window (a
// local object of the caller) always outlives the worker's use of it.
//
// The settings are those of the owner window, the wizard: constructed without a parent the
// window is owned by the application's main window. Without a wizard as owner there is nothing
// to run: the window shows the failure verdict at once and may be closed.

#include "app/UpgradeSettings.h"
#include "platform/ui/CDialog.h"
#include "platform/ui/Font.h"
#include "upgrade/ProgressState.h"

#include <cstdint>
#include <string>

class CDownloadDlg : public CDialog, public ProgressState {
public:
    static constexpr int kStatus = 1061;
    static constexpr int kBootPath = 1063;
    static constexpr int kBootBar = 1065;
    static constexpr int kBootCount = 1067;
    static constexpr int kCodePath = 1072;
    static constexpr int kCodeBar = 1068;
    static constexpr int kCodeCount = 1069;
    static constexpr int kButton = 1;  // IDOK
    static constexpr const char* kFinishedLabel = "Finished";
    // upgradeResult when no worker thread could be started.
    static constexpr int kNoWorker = -1;

    explicit CDownloadDlg(CDialog* parent = nullptr);
    ~CDownloadDlg() override;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnPaint() override;

    void refresh() override;
    bool showFinished(int code) override;

    // The owner wizard's settings, or nullptr when the owner is not the wizard.
    UpgradeSettings* settings() const;
    // The GUI thread has shown the verdict: the worker is done with this window.
    bool finishedShown() const { return finishedShown_; }
    // A close is honoured now.
    bool mayClose() const;

    ui::Font boldFont;

private:
    // The progress members as last handed to the display (GUI thread only).
    using Shown = ProgressValues;

    void takeMembers();
    void showBar(int barId, std::int32_t totalK, std::int32_t sentK);
    void showVerdict();
    // Refuses a close before the end of the run; true when the close may go ahead.
    bool allowClose();

    UpgradeSettings* settings_ = nullptr;
    Shown shown_;
    bool finishedShown_ = false;
    bool started_ = false;
};
