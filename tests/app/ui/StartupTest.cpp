// Start-up order: agreement first (rejecting ends everything, before the command line is read),
// then the usage box when asked, then the wizard with the parsed settings. And the agreement's
// text on repaint.
#include "app/AgreementText.h"
#include "app/UsageText.h"
#include "app/ui/CAgreementDlg.h"
#include "app/ui/CUpgradeApp.h"
#include "app/ui/CUpgradeWizard.h"
#include "platform/Platform.h"
#include "platform/qt/QtNotifier.h"
#include "platform/qt/GuiTestApp.h"

#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Drives whatever modal window comes up and records the order of events.
struct Startup : ::testing::Test {
    platform::QtNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    std::vector<std::string> events;
    QTimer driver;
    std::function<void(CAgreementDlg&)> onAgreement = [](CAgreementDlg& a) { QTest::mouseClick(a.GetDlgItem(1), Qt::LeftButton); };
    std::function<void(CUpgradeWizard&)> onWizard = [](CUpgradeWizard& w) { w.PressButton(PSBTN_CANCEL); };
    UpgradeSettings* seenSettings = nullptr;
    std::string seenComPort;
    bool seenShowUsage = false;
    bool mainWindowWasWizard = false;

    void SetUp() override
    {
        guiApp();
        notifier.setScript([this](const platform::QtNotifier::Box& b) {
            events.push_back(b.text == kUsageText ? "usage" : "box");
            return platform::IDOK;
        });
        driver.setInterval(5);
        QObject::connect(&driver, &QTimer::timeout, [this] { drive(); });
        driver.start();
    }
    void drive()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* a = qobject_cast<CAgreementDlg*>(modal); a && a->isVisible()) {
            events.push_back("agreement");
            onAgreement(*a);
        } else if (auto* w = qobject_cast<CUpgradeWizard*>(modal); w && w->isVisible()) {
            events.push_back("wizard");
            seenComPort = w->settings.comPort;
            seenShowUsage = w->settings.showUsage;
            mainWindowWasWizard = AfxGetMainWnd() == w;
            onWizard(*w);
        }
    }
    int run(std::vector<std::string> args)
    {
        CUpgradeApp app;
        args.insert(args.begin(), "upgrade");
        app.setCommandLine(std::move(args));
        const int rc = app.run();
        EXPECT_EQ(app.m_pMainWnd.data(), nullptr);  // nothing refers to the wizard afterwards
        return rc;
    }
};

TEST_F(Startup, AcceptThenUsageBoxThenWizardWithTheParsedSettings)
{
    EXPECT_EQ(run({"-h", "-o", "COM2"}), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"agreement", "usage", "wizard"}));
    EXPECT_EQ(seenComPort, "COM2");
    EXPECT_TRUE(seenShowUsage);
    EXPECT_TRUE(mainWindowWasWizard);
    ASSERT_EQ(notifier.boxes().size(), 1u);
    EXPECT_EQ(notifier.boxes()[0].icon, QMessageBox::Warning);  // type 0: the exclamation icon
}

TEST_F(Startup, RejectingTheAgreementEndsEverythingWhateverTheCommandLine)
{
    using Way = std::function<void(CAgreementDlg&)>;
    const Way ways[] = {[](CAgreementDlg& a) { QTest::mouseClick(a.GetDlgItem(2), Qt::LeftButton); },
                        [](CAgreementDlg& a) { QTest::keyClick(&a, Qt::Key_Escape); },
                        [](CAgreementDlg& a) { a.close(); }};
    for (const Way& way : ways) {
        events.clear();
        onAgreement = way;
        EXPECT_EQ(run({"-h", "-n"}), 0);
        // No usage box although -h was given: the command line was never read; no wizard.
        EXPECT_EQ(events, std::vector<std::string>{"agreement"});
    }
}

TEST_F(Startup, AgreementShowsTheSixteenBlocksJoinedAndRepaintReturnsToTheTop)
{
    driver.stop();
    CAgreementDlg dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.resize(dlg.size());
    dlg.show();
    pumpEvents();
    auto* text = dlg.item<QTextEdit>(1079);
    ASSERT_NE(text, nullptr);
    std::string joined;
    for (const auto& b : agreementBlocks())
        joined += b;
    EXPECT_EQ(dlg.GetDlgItemText(1079), joined);
    EXPECT_GT(joined.size(), 5000u);
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
    pumpEvents();
    EXPECT_GT(text->verticalScrollBar()->value(), 0);  // scrolling is not a repaint of the dialog
    dlg.invalidate();
    pumpEvents();
    EXPECT_EQ(text->verticalScrollBar()->value(), 0);
    dlg.hide();
}

}  // namespace
