// The whole program: the application object from its command line through the agreement (whose
// rejection ends everything before the command line is read), the usage box, the wizard, a
// verification and an upgrade against the virtual module on virtual time, with a scripted
// operator; non-interactive mode, which leaves the operator the agreement, "Finished" and Finish;
// and the agreement's text.
#include "app/AgreementText.h"
#include "app/UsageText.h"
#include "app/ui/CAgreementDlg.h"
#include "app/ui/CUpgradeApp.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "support/WindowTest.h"

#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QThread>

namespace {

class WholeProgram : public ::testing::Test {
protected:
    using Plan = std::function<void(CUpgradeWizard&)>;

    void SetUp() override
    {
        guiApp();
        notifier.setScript([this](const platform::QtNotifier::Box& b) {
            events.push_back(b.text == kUsageText ? "usage" : "box " + b.text);
            return platform::IDOK;
        });
        sim::ModuleConfig cfg;
        cfg.start = sim::ConsoleStart::LoggedOut;
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(cfg, &threads);
        scope = std::make_unique<platform::ScopedPlatform>(platform::Services{nullptr, nullptr, &notifier, nullptr});
        bootPath = files.write("tarvelboot.dmf", bootData);
        codePath = files.write("tarvel.dmf", codeData);
        // The operator acts on its own timer whenever a window waits for input in its own loop.
        driver.setInterval(2);
        QObject::connect(&driver, &QTimer::timeout, [this] {
            CDialog* modal = ui::qt::dialogOf(QApplication::activeModalWidget());
            if (auto* a = dynamic_cast<CAgreementDlg*>(modal); a && QThread::currentThread()->loopLevel() == 1) {
                events.push_back("agreement");
                onAgreement(*a);
            } else if (auto* w = dynamic_cast<CUpgradeWizard*>(modal);
                       w && !w->navigationLocked() && QThread::currentThread()->loopLevel() == 1) {
                mainWindowWasWizard = AfxGetMainWnd() == w;
                plan(*w);
            }
        });
        driver.start();
    }
    void TearDown() override { threads.join(); }

    void runProgram(std::vector<std::string> args)
    {
        uitest::Watchdog guard(120, "the program");
        args.insert(args.begin(), "upgrade");
        CUpgradeApp theApp;
        theApp.setCommandLine(args);
        EXPECT_EQ(theApp.run(), 0);
        EXPECT_EQ(theApp.m_pMainWnd, nullptr);  // nothing refers to the wizard afterwards
        threads.join();
    }
    void expectCompletedRun(const std::string& resultLine)
    {
        EXPECT_EQ(resultLine, "The Tarvel router module has been successfully upgraded to version 2.0.10 of the firmware.");
        ASSERT_EQ(finisher.views.size(), 1u);
        EXPECT_EQ(finisher.views[0].status, "Download completed. Please click on the Finished button.");
        EXPECT_EQ(finisher.views[0].boot, "8/8 8K of 8K");
        EXPECT_EQ(finisher.views[0].code, "32/32 32K of 32K");
        const auto received = store->files();
        ASSERT_EQ(received.size(), 2u);
        EXPECT_EQ(received[0].name, bootPath);
        EXPECT_EQ(received[0].data, bootData);
        EXPECT_EQ(received[1].name, codePath);
        EXPECT_EQ(received[1].data, codeData);
    }

    uitest::FirmwareFolder files{"e2e"};
    std::vector<std::uint8_t> bootData = uitest::randomBytes(9000, 31), codeData = uitest::randomBytes(33000, 32);
    std::string bootPath, codePath;
    uitest::JoiningThreadStarter threads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    platform::QtNotifier notifier;
    std::unique_ptr<platform::ScopedPlatform> scope;
    std::vector<std::string> events;
    QTimer driver;
    uitest::FinishClicker finisher;
    std::function<void(CAgreementDlg&)> onAgreement = [](CAgreementDlg& a) { item<QPushButton>(a, 1)->click(); };
    Plan plan;
    bool mainWindowWasWizard = false;
};

TEST_F(WholeProgram, RejectingTheAgreementEndsEverythingWhateverTheCommandLine)
{
    const std::function<void(CAgreementDlg&)> ways[] = {
        [](CAgreementDlg& a) { QTest::mouseClick(itemWidget(a, 2), Qt::LeftButton); },
        [](CAgreementDlg& a) { QTest::keyClick(widgetOf(a), Qt::Key_Escape); },
        [](CAgreementDlg& a) { widgetOf(a)->close(); }};
    plan = [this](CUpgradeWizard& w) {
        events.push_back("wizard");
        w.PressButton(PSBTN_CANCEL);
    };
    for (const auto& way : ways) {
        events.clear();
        onAgreement = way;
        runProgram({"-h", "-n"});
        EXPECT_EQ(events, std::vector<std::string>{"agreement"});  // no usage box: -h was never read
    }
}

TEST_F(WholeProgram, UsageThenAVerificationAndAnUpgradeByHand)
{
    std::vector<int> pages;
    std::string resultLine;
    plan = [&](CUpgradeWizard& w) {
        CPropertyPage& p = *w.GetActivePage();
        pages.push_back(p.templateId());
        if (p.templateId() == 135) {
            EXPECT_EQ(w.settings.comPort, "COM2");  // from the command line
            p.CheckDlgButton(1007, BST_CHECKED);  // COM1, the module's line
            p.CheckDlgButton(1008, BST_UNCHECKED);
        }
        if (p.templateId() < 153 && p.templateId() != 138) {
            w.PressButton(PSBTN_NEXT);
        } else {
            events.push_back("end on " + std::to_string(p.templateId()));
            resultLine = p.GetDlgItemText(1058);
            w.PressButton(PSBTN_FINISH);
        }
    };
    runProgram({"-h", "-u", "admin", "-p", "tarvel", "-o", "COM2", "-b", bootPath, "-c", codePath});
    EXPECT_EQ(events, (std::vector<std::string>{"agreement", "usage", "end on 154"}));
    EXPECT_TRUE(mainWindowWasWizard);
    EXPECT_EQ(pages, (std::vector<int>{132, 135, 136, 137, 139, 140, 152, 154}));
    expectCompletedRun(resultLine);
    const std::string host = harness->hostText();
    EXPECT_LT(host.find("\rShow System\r"), host.find("AT{P}\r"));  // verified first
}

TEST_F(WholeProgram, NonInteractiveRunGoesFromTheWelcomePageToTheCompletedPageByItself)
{
    std::string resultLine;
    plan = [&](CUpgradeWizard& w) {
        if (w.settings.nonInteractive) {
            EXPECT_EQ(w.GetActivePage()->templateId(), 132);  // nothing before the wizard went idle
            return;
        }
        events.push_back("finish on " + std::to_string(w.GetActivePage()->templateId()));
        resultLine = w.GetActivePage()->GetDlgItemText(1058);
        w.PressButton(PSBTN_FINISH);
    };
    runProgram({"-n", "-u", "admin", "-p", "tarvel", "-b", bootPath, "-c", codePath, "-o", "COM1"});
    EXPECT_EQ(events, (std::vector<std::string>{"agreement", "finish on 154"}));
    expectCompletedRun(resultLine);
    EXPECT_EQ(harness->hostText().find("Show System"), std::string::npos);  // -n: no verification
    EXPECT_EQ(harness->count("AT{Z}\r"), 2u);
}

TEST(Agreement, ShowsTheSixteenBlocksJoinedAndARepaintReturnsToTheTop)
{
    guiApp();
    CAgreementDlg dlg;
    ASSERT_TRUE(dlg.Create());
    widgetOf(dlg)->show();
    pumpEvents();
    std::string joined;
    for (const auto& b : agreementBlocks())
        joined += b;
    EXPECT_EQ(dlg.GetDlgItemText(CAgreementDlg::kAgreementControl), joined);
    QScrollBar* bar = item<QTextEdit>(dlg, CAgreementDlg::kAgreementControl)->verticalScrollBar();
    bar->setValue(bar->maximum());
    pumpEvents();
    EXPECT_GT(bar->value(), 0);  // scrolling is no repaint of the dialog
    dlg.invalidate();
    pumpEvents();
    EXPECT_EQ(bar->value(), 0);
}

}  // namespace
