// The progress window around real upgrade runs against the virtual module (worker on its own
// thread, module on virtual time): what it shows during and after a run, that every update
// reaches the controls on the GUI thread in order, and that no way of closing it works before
// the worker is done with it.
#include "upgrade/ui/CDownloadDlg.h"

#include "platform/qt/Fonts.h"
#include "platform/qt/GuiTestApp.h"
#include "platform/qt/QtNotifier.h"
#include "serial/CSerialPort.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "upgrade/UpgradeWorker.h"
#include "upgrade/ui/UpgradeRunSupport.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

using uitest::FinalView;

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        guiApp();
        notifier.setScript([](const platform::QtNotifier::Box&) { return platform::IDOK; });
        wizard = std::make_unique<CUpgradeWizard>();
        uitest::app().m_pMainWnd = wizard.get();
        bootData = uitest::randomBytes(6000, 11);    // 5K
        codeData = uitest::randomBytes(20000, 12);   // 19K
        settings().bootFile = files.write("tarvelboot.dmf", bootData);
        settings().codeFile = files.write("tarvel.dmf", codeData);
    }
    void TearDown() override
    {
        threads.join();
        uitest::app().m_pMainWnd = nullptr;
        wizard.reset();
    }

    // The virtual module; with failOpen, a run that fails at once on opening the port.
    void makeModule(bool failOpen = false)
    {
        sim::ModuleConfig cfg;
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(std::move(cfg), &threads);
        scope = std::make_unique<platform::ScopedPlatform>(platform::Services{nullptr, nullptr, &notifier, nullptr});
        sim::LineFaults f;
        f.failOpen = failOpen;
        harness->line.setFaults(f);
    }
    // Both bars and counts in one line: "value/max count".
    static std::string bars(const FinalView& v)
    {
        return "boot " + std::to_string(v.bootValue) + "/" + std::to_string(v.bootMax) + " " + v.bootCount + ", code " +
               std::to_string(v.codeValue) + "/" + std::to_string(v.codeMax) + " " + v.codeCount;
    }

    UpgradeSettings& settings() { return wizard->settings; }

    // Every text the control showed, with whether it was set on the GUI thread.
    struct TextLog {
        std::vector<std::string> texts;
        bool allOnGuiThread = true;
    };
    static void logTexts(CDownloadDlg& dlg, int id, TextLog& log)
    {
        auto* edit = dlg.item<QLineEdit>(id);
        ASSERT_NE(edit, nullptr);
        QObject::connect(edit, &QLineEdit::textChanged, [&log](const QString& t) {
            log.allOnGuiThread = log.allOnGuiThread && QThread::currentThread() == qApp->thread();
            const QByteArray b = t.toLatin1();
            if (log.texts.empty() || log.texts.back() != b.toStdString())
                log.texts.push_back(b.toStdString());
        });
    }

    // Runs the window modally until the clicker has pressed "Finished"; the worker is joined.
    FinalView runWindow(std::function<void(CDownloadDlg&)> beforeRun = {}, std::function<void(CDownloadDlg&)> finish = {})
    {
        uitest::Watchdog guard(60, "a progress window run");
        uitest::FinishClicker clicker(std::move(finish));
        {
            CDownloadDlg dlg;
            dlg.Create();
            if (beforeRun)
                beforeRun(dlg);
            modalResult = dlg.exec();
        }
        threads.join();
        return clicker.views.empty() ? FinalView{} : clicker.views.front();
    }

    std::vector<unsigned> beeps() const { return notifier.beeps(); }

    uitest::FirmwareFolder files{"dlg"};
    std::vector<std::uint8_t> bootData, codeData;
    uitest::JoiningThreadStarter threads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    platform::QtNotifier notifier;
    std::unique_ptr<platform::ScopedPlatform> scope;
    std::unique_ptr<CUpgradeWizard> wizard;
    int modalResult = 0;
};

TEST_F(ProgressWindow, SuccessfulRunEndsWithBothBarsFullAndTheVerdictInBold)
{
    makeModule();
    TextLog status, bootCount, codeCount;
    const FinalView v = runWindow([&](CDownloadDlg& dlg) {
        logTexts(dlg, CDownloadDlg::kStatus, status);
        logTexts(dlg, CDownloadDlg::kBootCount, bootCount);
        logTexts(dlg, CDownloadDlg::kCodeCount, codeCount);
    });
    ASSERT_TRUE(v.seen);
    EXPECT_EQ(v.resultAtVerdict, 0);
    EXPECT_TRUE(v.doneAtVerdict);
    EXPECT_EQ(settings().upgradeResult.load(), 0);

    EXPECT_EQ(v.status, ProgressState::kCompleted);
    // Bold "Times New Roman" of cell height 16, as the framework renders that face here.
    const QFont times = ui::createFontA(16, 0, 0, 0, 700, false, false, false, 0, 0, 0, 0, 16, "Times New Roman");
    EXPECT_TRUE(v.statusFont.bold());
    EXPECT_EQ(v.statusFont.family(), times.family());
    EXPECT_EQ(v.statusFont.pixelSize(), times.pixelSize());
    EXPECT_EQ(v.button, "Finished");
    EXPECT_TRUE(v.buttonEnabled);

    EXPECT_EQ(bars(v), "boot 5/5 5K of 5K, code 19/19 19K of 19K");
    EXPECT_EQ(v.bootPath, settings().bootFile);
    EXPECT_EQ(v.codePath, settings().codeFile);

    // The status lines in the order of the run, each set on the GUI thread.
    const std::vector<std::string> expected = {kStatusPreparingFlash, kStatusBootDownload, kStatusBootDone,
                                               kStatusCodeDownload, ProgressState::kCompleted};
    EXPECT_EQ(status.texts, expected);
    EXPECT_TRUE(status.allOnGuiThread);
    EXPECT_TRUE(bootCount.allOnGuiThread);
    EXPECT_TRUE(codeCount.allOnGuiThread);
    EXPECT_FALSE(bootCount.texts.empty() || codeCount.texts.empty());  // the logs did see the counts

    const auto received = store->files();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].data, bootData);
    EXPECT_EQ(received[1].data, codeData);
    EXPECT_EQ(modalResult, platform::IDOK);
    EXPECT_TRUE(beeps().empty());
}

TEST_F(ProgressWindow, RunThatFailsBeforeAnyTransferLeavesTheBarsUntouched)
{
    makeModule(true);
    const FinalView v = runWindow();
    ASSERT_TRUE(v.seen);
    EXPECT_EQ(settings().upgradeResult.load(), 1);
    EXPECT_EQ(v.status, ProgressState::kFailed);
    EXPECT_TRUE(v.statusFont.bold());
    EXPECT_EQ(bars(v), "boot 0/100 , code 0/100 ");
    EXPECT_EQ(v.button, "Finished");
    const auto boxes = notifier.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, CSerialPort::kAccessError);
    EXPECT_FALSE(boxes[0].calledOnGuiThread);  // raised by the worker, shown on the GUI thread
    EXPECT_TRUE(boxes[0].onGuiThread);
    EXPECT_TRUE(store->files().empty());
}

TEST_F(ProgressWindow, EveryWayOfClosingIsRefusedWithABeepUntilTheRunHasEnded)
{
    makeModule(true);  // a short run once it is let go
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    threads.setGate([released] { released.wait(); });

    std::string during;  // what the window showed while the run was held back
    std::size_t beepsAfterTries = 0;
    bool stillOpen = false;
    const FinalView v = runWindow([&](CDownloadDlg& dlg) {
        later([&] {
            auto* bar = dlg.item<QProgressBar>(CDownloadDlg::kBootBar);
            during = dlg.GetDlgItemText(CDownloadDlg::kStatus) + " | " + dlg.GetDlgItemText(CDownloadDlg::kButton) +
                     (dlg.GetDlgItem(CDownloadDlg::kButton)->isEnabled() ? " enabled" : " disabled") + " | " +
                     std::to_string(bar->value()) + "/" + std::to_string(bar->maximum());
            QTest::keyClick(&dlg, Qt::Key_Return);
            QTest::keyClick(&dlg, Qt::Key_Escape);
            dlg.close();                                            // the close box
            dlg.item<QPushButton>(CDownloadDlg::kButton)->click();  // disabled: no effect at all
            beepsAfterTries = notifier.beeps().size();
            stillOpen = dlg.isVisible();
            release.set_value();
        }, 20);
    });
    EXPECT_EQ(during, std::string(ProgressState::kInitialStatus) + " | Downloading... disabled | 0/100");
    EXPECT_EQ(beepsAfterTries, 3u);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(beeps(), (std::vector<unsigned>{platform::MB_OK, platform::MB_OK, platform::MB_OK}));
    ASSERT_TRUE(v.seen);  // and once the run had ended, "Finished" closed it
    EXPECT_EQ(modalResult, platform::IDOK);
}

TEST_F(ProgressWindow, AfterTheVerdictTheCloseBoxAndEscapeEndTheWindowToo)
{
    makeModule(true);
    const std::function<void(CDownloadDlg&)> ways[] = {[](CDownloadDlg& d) { d.close(); },
                                                       [](CDownloadDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }};
    for (const auto& way : ways) {
        settings().upgradeDone = false;
        EXPECT_TRUE(runWindow({}, way).seen);
        EXPECT_EQ(modalResult, platform::IDCANCEL);
    }
    EXPECT_TRUE(beeps().empty());
}

TEST_F(ProgressWindow, CloseIsRefusedWhileTheVerdictIsStillOnItsWay)
{
    // The worker has set upgradeDone but its showFinished, its last use of the window, has not
    // been handled yet: the window must not end under it.
    makeModule();
    std::atomic<bool> closeTried{false};
    threads.setReplacement([&](void* p) {
        auto* params = static_cast<UpgradeThreadParams*>(p);
        params->settings->upgradeResult.store(0);
        params->settings->upgradeDone.store(true);
        while (!closeTried.load())
            std::this_thread::yield();
        params->dialog->showFinished(0);
    });
    bool openAfterTry = false;
    const FinalView v = runWindow([&](CDownloadDlg& dlg) {
        auto* poll = new QTimer(&dlg);
        poll->setInterval(2);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (!settings().upgradeDone.load() || closeTried.load())
                return;
            QTest::keyClick(&dlg, Qt::Key_Escape);
            dlg.close();
            openAfterTry = dlg.isVisible();
            closeTried = true;
            poll->stop();
        });
        poll->start();
    });
    EXPECT_TRUE(openAfterTry);
    EXPECT_EQ(beeps().size(), 2u);
    ASSERT_TRUE(v.seen);
    EXPECT_EQ(v.status, ProgressState::kCompleted);
}

TEST_F(ProgressWindow, RefreshFromAnotherThreadTakesTheMembersOfThatMoment)
{
    makeModule();
    threads.setReplacement([](void*) {});  // no run: the test is the writer
    CDownloadDlg dlg;
    dlg.Create();
    dlg.show();
    QEventLoop loop;
    std::thread writer([&] {
        dlg.statusText = "first";
        dlg.bootTotalK = 40;
        dlg.bootSentK = 10;
        dlg.bootProgressText = "10K of 40K";
        dlg.refresh();
        // Written after refresh() returned and never refreshed: must not show.
        dlg.statusText = "second";
        dlg.bootSentK = 30;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    writer.join();
    pumpEvents();
    EXPECT_EQ(dlg.GetDlgItemText(CDownloadDlg::kStatus), "first");
    EXPECT_EQ(dlg.item<QProgressBar>(CDownloadDlg::kBootBar)->value(), 10);
    EXPECT_EQ(dlg.item<QProgressBar>(CDownloadDlg::kBootBar)->maximum(), 40);
    EXPECT_EQ(dlg.GetDlgItemText(CDownloadDlg::kBootCount), "10K of 40K");
    // A repaint shows what the display was given, not the half-written members.
    dlg.invalidate();
    pumpEvents();
    EXPECT_EQ(dlg.GetDlgItemText(CDownloadDlg::kStatus), "first");
    // A bar of no extent stays an empty bar rather than turning into a busy animation.
    dlg.codeTotalK = 0;
    dlg.codeSentK = 0;
    dlg.refresh();
    auto* code = dlg.item<QProgressBar>(CDownloadDlg::kCodeBar);
    EXPECT_GT(code->maximum(), code->minimum());
    EXPECT_EQ(code->value(), 0);
    dlg.hide();
}

TEST_F(ProgressWindow, AWindowWithoutAWorkerEndsAsAFailureAndCanBeClosed)
{
    makeModule();
    threads.refuse = true;
    const FinalView refused = runWindow();
    ASSERT_TRUE(refused.seen);
    EXPECT_EQ(refused.status, ProgressState::kFailed);
    EXPECT_TRUE(settings().upgradeDone.load());
    EXPECT_EQ(settings().upgradeResult.load(), CDownloadDlg::kNoWorker);

    // Owned by something other than the wizard: no settings, no run.
    threads.refuse = false;
    const int startedBefore = threads.started;
    uitest::app().m_pMainWnd = nullptr;
    QWidget stranger;
    CDownloadDlg orphan(&stranger);
    EXPECT_EQ(orphan.settings(), nullptr);
    orphan.Create();
    EXPECT_TRUE(orphan.mayClose());
    EXPECT_EQ(orphan.GetDlgItemText(CDownloadDlg::kStatus), ProgressState::kFailed);
    EXPECT_EQ(threads.started, startedBefore);
}

}  // namespace
