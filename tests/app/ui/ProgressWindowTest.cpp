// The progress window around runs against the virtual module (worker on its own thread, module
// on virtual time): what it shows during and at the end of a run, that every update reaches the
// controls on the GUI thread in order, and that no way of closing it works before the worker is
// done with it.
#include "app/ui/CAgreementDlg.h"
#include "serial/CSerialPort.h"
#include "support/WindowTest.h"
#include "upgrade/UpgradeWorker.h"

#include <QLineEdit>
#include <QTest>
#include <QThread>

#include <future>

namespace {

class ProgressWindow : public RunFixture {
protected:
    // Runs the window modally until the clicker has ended it; the worker is joined.
    uitest::FinalView runWindow(std::function<void(CDownloadDlg&)> beforeRun = {}, std::function<void(CDownloadDlg&)> finish = {})
    {
        uitest::FinishClicker clicker(std::move(finish));
        {
            CDownloadDlg dlg;
            dlg.Create();
            if (beforeRun)
                beforeRun(dlg);
            modalResult = widgetOf(dlg)->exec();
        }
        threads.join();
        return clicker.views.empty() ? uitest::FinalView{} : clicker.views.front();
    }
    int modalResult = 0;
};

TEST_F(ProgressWindow, RunShowsEachStepInOrderOnTheGuiThreadAndEndsWithFullBarsAndTheVerdictInBold)
{
    std::vector<std::string> statuses;
    bool allOnGuiThread = true;
    const uitest::FinalView v = runWindow([&](CDownloadDlg& dlg) {
        for (int id : {CDownloadDlg::kStatus, CDownloadDlg::kBootCount, CDownloadDlg::kCodeCount})
            QObject::connect(item<QLineEdit>(dlg, id), &QLineEdit::textChanged, [&, id](const QString& t) {
                allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
                if (id == CDownloadDlg::kStatus && (statuses.empty() || statuses.back() != t.toStdString()))
                    statuses.push_back(t.toStdString());
            });
    });
    EXPECT_EQ(settings().upgradeResult.load(), 0);
    EXPECT_EQ(statuses, (std::vector<std::string>{kStatusPreparingFlash, kStatusBootDownload, kStatusBootDone,
                                                  kStatusCodeDownload, ProgressState::kCompleted}));
    EXPECT_TRUE(allOnGuiThread);
    EXPECT_EQ(v.boot, "2/2 2K of 2K");
    EXPECT_EQ(v.code, "19/19 19K of 19K");
    EXPECT_TRUE(v.bold);
    EXPECT_EQ(v.button + (v.buttonEnabled ? " enabled" : ""), "Finished enabled");
    EXPECT_EQ(modalResult, platform::IDOK);
    EXPECT_TRUE(notifier.beeps().empty());
}

TEST_F(ProgressWindow, EveryWayOfClosingIsRefusedWithABeepUntilTheRunHasEnded)
{
    failOpen(true);  // a short run once it is let go
    std::promise<void> release;
    threads.gate = [released = release.get_future().share()] { released.wait(); };
    std::string during;
    const uitest::FinalView v = runWindow([&](CDownloadDlg& dlg) {
        later([&] {
            QWidget* w = widgetOf(dlg);
            during = dlg.GetDlgItemText(CDownloadDlg::kStatus) + " | " + dlg.GetDlgItemText(CDownloadDlg::kButton) +
                     (dlg.isItemEnabled(CDownloadDlg::kButton) ? " enabled" : " disabled");
            QTest::keyClick(w, Qt::Key_Return);
            QTest::keyClick(w, Qt::Key_Escape);
            w->close();
            EXPECT_TRUE(w->isVisible());
            release.set_value();
        }, 20);
    });
    EXPECT_EQ(during, std::string(ProgressState::kInitialStatus) + " | Downloading... disabled");
    EXPECT_EQ(notifier.beeps(), (std::vector<unsigned>{platform::MB_OK, platform::MB_OK, platform::MB_OK}));
    EXPECT_EQ(v.status, ProgressState::kFailed);  // and once the run had ended, "Finished" closed it
    EXPECT_EQ(v.boot, "0/100 ");
    EXPECT_EQ(settings().upgradeResult.load(), 1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{CSerialPort::kAccessError});
    EXPECT_EQ(modalResult, platform::IDOK);
    threads.gate = nullptr;
    // After the verdict the close box and Escape end it too.
    EXPECT_EQ(runWindow({}, [](CDownloadDlg& d) { widgetOf(d)->close(); }).status, ProgressState::kFailed);
    EXPECT_EQ(modalResult, platform::IDCANCEL);
    EXPECT_EQ(runWindow({}, [](CDownloadDlg& d) { QTest::keyClick(widgetOf(d), Qt::Key_Escape); }).status, ProgressState::kFailed);
    EXPECT_EQ(modalResult, platform::IDCANCEL);
}

TEST_F(ProgressWindow, WithoutAWorkerOrAWizardTheWindowShowsTheFailureAndMayClose)
{
    threads.refuse = true;
    EXPECT_EQ(runWindow().status, ProgressState::kFailed);
    EXPECT_TRUE(settings().upgradeDone.load());
    EXPECT_EQ(settings().upgradeResult.load(), CDownloadDlg::kNoWorker);
    winApp.m_pMainWnd = nullptr;
    CAgreementDlg stranger;  // an owner other than the wizard: no settings, no run
    CDownloadDlg orphan(&stranger);
    EXPECT_EQ(orphan.settings(), nullptr);
    orphan.Create();
    EXPECT_TRUE(orphan.mayClose());
    EXPECT_EQ(orphan.GetDlgItemText(CDownloadDlg::kStatus), ProgressState::kFailed);
    EXPECT_EQ(threads.started, 1);
    orphan.codeTotalK = 0;
    orphan.refresh();
    auto* code = item<QProgressBar>(orphan, CDownloadDlg::kCodeBar);
    EXPECT_GT(code->maximum(), code->minimum());  // a bar of no extent is empty, not the toolkit's busy bar
}

}  // namespace
