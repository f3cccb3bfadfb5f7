// The whole program against the virtual module on virtual time: the application object from
// its command line through the agreement, the wizard, a verification and an upgrade, with a
// scripted operator; and non-interactive mode, which leaves the operator only the agreement,
// "Finished" and Finish. The upgrade worker and the verification run on real threads.
#include "app/ui/CUpgradeApp.h"

#include "app/ui/CAgreementDlg.h"
#include "app/ui/CUpgradeWizard.h"
#include "platform/qt/GuiTestApp.h"
#include "platform/qt/QtNotifier.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "upgrade/ui/UpgradeRunSupport.h"

#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const char* const kBadBoot = "Invalid Tarvel boot file selected.\n\nPlease select a Tarvel boot file.";

// The operator: accepts the agreement, presses "Finished" when the progress window offers it,
// and otherwise does what the test's plan says whenever the wizard waits for input. Each duty
// has its own timer, so that one can act while another waits inside a modal loop it started.
class Operator {
public:
    using Plan = std::function<void(CUpgradeWizard&, Operator&)>;

    explicit Operator(Plan plan) : plan_(std::move(plan))
    {
        agreementTimer_.setInterval(2);
        QObject::connect(&agreementTimer_, &QTimer::timeout, [this] {
            if (auto* a = qobject_cast<CAgreementDlg*>(QApplication::activeModalWidget())) {
                events.push_back("agreement");
                a->item<QPushButton>(1)->click();  // 'I accept'
            }
        });
        agreementTimer_.start();
        wizardTimer_.setInterval(2);
        QObject::connect(&wizardTimer_, &QTimer::timeout, [this] {
            // Only from the wizard's own loop: not from a loop nested in a page's handler, which
            // may still run for a moment after its window has gone.
            auto* w = qobject_cast<CUpgradeWizard*>(AfxGetMainWnd());
            if (w && w->isVisible() && QApplication::activeModalWidget() == w && !w->navigationLocked() &&
                QThread::currentThread()->loopLevel() == 1)
                plan_(*w, *this);
        });
        wizardTimer_.start();
    }

    std::vector<std::string> events;
    uitest::FinishClicker finisher;

private:
    Plan plan_;
    QTimer agreementTimer_;
    QTimer wizardTimer_;
};

class WholeProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        guiApp();
        notifier.setScript([this](const platform::QtNotifier::Box& b) {
            boxes.push_back(b.text);
            return platform::IDOK;
        });
        sim::ModuleConfig cfg;
        cfg.start = sim::ConsoleStart::LoggedOut;
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(cfg, &threads);
        scope = std::make_unique<platform::ScopedPlatform>(platform::Services{nullptr, nullptr, &notifier, nullptr});
        bootData = uitest::randomBytes(9000, 31);
        codeData = uitest::randomBytes(33000, 32);
        bootPath = files.write("tarvelboot.dmf", bootData);
        codePath = files.write("tarvel.dmf", codeData);
    }
    void TearDown() override { threads.join(); }

    // Runs the program with these arguments (the program name is added) and the operator.
    void runProgram(std::vector<std::string> args, Operator& op)
    {
        uitest::Watchdog guard(120, "the program");
        args.insert(args.begin(), "upgrade");
        CUpgradeApp theApp;
        theApp.setCommandLine(args);
        op.events.push_back("start");
        EXPECT_EQ(theApp.run(), 0);
        threads.join();
    }

    // The completed page, one "Download completed" verdict, no box, both files intact.
    void expectCompletedRun(const Operator& op, const std::string& resultLine)
    {
        EXPECT_EQ(resultLine, "The Tarvel router module has been successfully upgraded to version 2.0.10 of the firmware.");
        ASSERT_EQ(op.finisher.views.size(), 1u);
        EXPECT_EQ(op.finisher.views[0].status, "Download completed. Please click on the Finished button.");
        EXPECT_TRUE(boxes.empty());
        const auto received = store->files();
        ASSERT_EQ(received.size(), 2u);
        EXPECT_EQ(received[0].name, bootPath);
        EXPECT_TRUE(received[0].complete);
        EXPECT_EQ(received[0].data, bootData);
        EXPECT_EQ(received[1].name, codePath);
        EXPECT_TRUE(received[1].complete);
        EXPECT_EQ(received[1].data, codeData);
    }

    uitest::FirmwareFolder files{"e2e"};
    std::vector<std::uint8_t> bootData, codeData;
    std::string bootPath, codePath;
    uitest::JoiningThreadStarter threads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    platform::QtNotifier notifier;
    std::unique_ptr<platform::ScopedPlatform> scope;
    std::vector<std::string> boxes;
};

int activeTemplate(CUpgradeWizard& w)
{
    return w.GetActivePage()->templateId();
}

TEST_F(WholeProgram, AgreementVerificationAndUpgradeByHand)
{
    std::vector<int> pages;
    std::string resultLine;
    Operator op([&](CUpgradeWizard& w, Operator& o) {
        const int t = activeTemplate(w);
        pages.push_back(t);
        if (t == 135) {
            w.GetActivePage()->CheckDlgButton(1007, BST_CHECKED);  // COM1, the module's line
            w.GetActivePage()->CheckDlgButton(1008, BST_UNCHECKED);
        }
        if (t < 153 && t != 138) {
            w.PressButton(PSBTN_NEXT);
        } else {
            o.events.push_back("end on " + std::to_string(t));
            resultLine = w.GetActivePage()->GetDlgItemText(t == 154 ? 1058 : 1054);
            w.PressButton(PSBTN_FINISH);
        }
    });
    runProgram({"-u", "admin", "-p", "tarvel", "-o", "COM2", "-b", bootPath, "-c", codePath}, op);

    EXPECT_EQ(op.events, (std::vector<std::string>{"start", "agreement", "end on 154"}));
    EXPECT_EQ(pages, (std::vector<int>{132, 135, 136, 137, 139, 140, 152, 154}));
    expectCompletedRun(op, resultLine);
    ASSERT_EQ(op.finisher.views.size(), 1u);
    EXPECT_EQ(op.finisher.views[0].bootCount, "8K of 8K");
    EXPECT_EQ(op.finisher.views[0].codeCount, "32K of 32K");
    // The verification talked to the module first, then the upgrade.
    const std::string host = harness->hostText();
    const auto showSystem = host.find("\rShow System\r");
    const auto prepare = host.find("AT{P}\r");
    ASSERT_NE(showSystem, std::string::npos);
    ASSERT_NE(prepare, std::string::npos);
    EXPECT_LT(showSystem, prepare);
}

TEST_F(WholeProgram, NonInteractiveRunGoesFromTheWelcomePageToTheCompletedPageByItself)
{
    std::vector<int> seenWhileAutomatic;
    std::string resultLine;
    Operator op([&](CUpgradeWizard& w, Operator& o) {
        if (w.settings.nonInteractive) {
            seenWhileAutomatic.push_back(activeTemplate(w));
            return;
        }
        o.events.push_back("finish on " + std::to_string(activeTemplate(w)));
        resultLine = w.GetActivePage()->GetDlgItemText(1058);
        w.PressButton(PSBTN_FINISH);
    });
    runProgram({"-n", "-u", "admin", "-p", "tarvel", "-b", bootPath, "-c", codePath, "-o", "COM1"}, op);

    EXPECT_EQ(op.events, (std::vector<std::string>{"start", "agreement", "finish on 154"}));
    for (int t : seenWhileAutomatic)
        EXPECT_EQ(t, 132);  // nothing happened before the wizard had appeared and gone idle
    expectCompletedRun(op, resultLine);
    EXPECT_EQ(threads.started, 1);
    EXPECT_EQ(harness->hostText().find("Show System"), std::string::npos);  // -n: no verification
    EXPECT_EQ(harness->count("AT{P}\r"), 1u);
    EXPECT_EQ(harness->count("AT{Z}\r"), 2u);
}

TEST_F(WholeProgram, NonInteractiveRunWithAWrongBootFileStopsOnTheFilePage)
{
    int stoppedOn = 0;
    Operator op([&](CUpgradeWizard& w, Operator& o) {
        if (w.settings.nonInteractive)
            return;
        stoppedOn = activeTemplate(w);
        o.events.push_back("cancel");
        w.PressButton(PSBTN_CANCEL);
    });
    runProgram({"-n", "-b", files.path().string() + "/TARVELBOOT.DMF", "-c", codePath}, op);

    EXPECT_EQ(op.events, (std::vector<std::string>{"start", "agreement", "cancel"}));
    EXPECT_EQ(stoppedOn, 140);
    // Presses five and six both met the refusal.
    EXPECT_EQ(boxes, (std::vector<std::string>{kBadBoot, kBadBoot}));
    EXPECT_EQ(threads.started, 0);
    EXPECT_TRUE(op.finisher.views.empty());
    EXPECT_TRUE(store->files().empty());
}

}  // namespace
