// The verify-or-not, failed and passed pages: the choice, the verification run from the wizard
// against the virtual module on virtual time, the verdict texts and the Details explanations.
#include "app/ui/WizardTestFixture.h"

#include "app/StringTable.h"
#include "support/ModuleHarness.h"
#include "verify/Verification.h"

#include <QProgressBar>
#include <QTest>

#include <future>
#include <tuple>

namespace {

using VerificationPages = WizardFixture;

sim::ModuleConfig moduleAt(const std::string& version)
{
    sim::ModuleConfig c;
    c.version = version;
    return c;
}

TEST_F(VerificationPages, ChoiceStartsFromVerifyFirstAndIsStoredByNextAndBackOnly)
{
    goTo(137);
    EXPECT_EQ(page().IsDlgButtonChecked(1027), BST_CHECKED);
    EXPECT_EQ(page().IsDlgButtonChecked(1028), BST_UNCHECKED);
    QTest::mouseClick(page().GetDlgItem(1028), Qt::LeftButton);
    pumpEvents();
    EXPECT_EQ(page().IsDlgButtonChecked(1028), BST_CHECKED);  // the click stands ...
    EXPECT_TRUE(settings().verifyFirst);                       // ... but is not stored yet
    repaint();                                                 // a repaint brings the stored one back
    EXPECT_EQ(page().IsDlgButtonChecked(1027), BST_CHECKED);
    EXPECT_EQ(page().IsDlgButtonChecked(1028), BST_UNCHECKED);

    QTest::mouseClick(page().GetDlgItem(1028), Qt::LeftButton);
    walk({{'B', 136}});
    EXPECT_FALSE(settings().verifyFirst);
    walk({{'N', 137}});
    EXPECT_EQ(page().IsDlgButtonChecked(1028), BST_CHECKED);
    EXPECT_EQ(page().IsDlgButtonChecked(1027), BST_UNCHECKED);
}

TEST_F(VerificationPages, PassingModuleLeadsToThePassedPageWithItsText)
{
    test::ModuleHarness h(moduleAt("1.5.13"));
    platform::ScopedPlatform gui({nullptr, nullptr, &notifier, nullptr});
    settings().username = "admin";
    settings().password = "tarvel";
    goTo(137);
    walk({{'N', 139}});
    EXPECT_EQ(settings().verifyResult, 0);
    EXPECT_EQ(settings().deviceVersion, "1.5.13");
    EXPECT_TRUE(settings().verifyFirst);
    EXPECT_GT(h.nowUs(), 12'500'000);  // a real interrogation, on virtual time
    EXPECT_NE(h.hostText().find("\rList Files\r"), std::string::npos);
    EXPECT_EQ(page().GetDlgItemText(1035),
              "The test of your Tarvel router module indicates that you will be able to successfully upgrade from "
              "version 1.5.13 to version 2.0.10  with the current device configuration.\n\nClick Next if you wish "
              "to upgrade the device.");
    walk({{'N', 140}});
}

TEST_F(VerificationPages, NewerModuleLeadsToTheFailedPageAndDetailsExplainsIt)
{
    test::ModuleHarness h(moduleAt("2.0.11"));
    platform::ScopedPlatform gui({nullptr, nullptr, &notifier, nullptr});
    settings().username = "admin";
    settings().password = "tarvel";
    goTo(137);
    walk({{'N', 138}});
    EXPECT_EQ(settings().verifyResult, 4);
    EXPECT_EQ(page().GetDlgItemText(1030),
              "Unfortunately, the utility has determined that upgrading from version 2.0.11 to version 2.0.10 will "
              "not be successful. ");
    EXPECT_EQ(h.count("\rShow Memory\r"), 0u);  // the first failing rule decides

    QTest::mouseClick(page().GetDlgItem(1032), Qt::LeftButton);
    ASSERT_EQ(notifier.boxes().size(), 1u);
    const std::string text = notifier.boxes()[0].text;
    EXPECT_EQ(text.rfind(strings::load(strings::IDS_VERSION_OLDER), 0), 0u);
    EXPECT_NE(text.find(" 2.0.10 is older than the software version 2.0.11"), std::string::npos);
    EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
    EXPECT_EQ(notifier.boxes()[0].type, static_cast<unsigned>(platform::MB_ICONEXCLAMATION));

    walk({{'B', 137}});
    const auto queriesBefore = h.count("\rShow System\r");
    next();  // again: the whole interrogation once more
    EXPECT_EQ(h.count("\rShow System\r"), queriesBefore + 1);
}

TEST_F(VerificationPages, LoginFailureOnAFirstRunNamesTheUnknownVersion)
{
    sim::ModuleConfig silent;
    silent.silent = true;
    test::ModuleHarness h(silent);
    platform::ScopedPlatform gui({nullptr, nullptr, &notifier, nullptr});
    goTo(137);
    walk({{'N', 138}});
    EXPECT_EQ(settings().verifyResult, 3);
    EXPECT_EQ(page().GetDlgItemText(1030),
              "Unfortunately, the utility has determined that upgrading from version x.x.x to version 2.0.10 will "
              "not be successful. ");
}

TEST_F(VerificationPages, DetailsTextMatchesEveryCode)
{
    settings().newVersion = "2.0.10";
    settings().deviceVersion = "2.0.11";
    goTo(138);
    const std::string noConsole = strings::load(strings::IDS_NO_CONSOLE) + " COM2 and also to the Tarvel Console Port. " +
                                  strings::load(strings::IDS_NO_CONSOLE_LED);
    const std::tuple<int, const char*, std::string> cases[] = {
        {1, "COM1", strings::load(strings::IDS_PORT_NOT_OPENED) + " COM1.\n"},
        {2, "COM1", strings::load(strings::IDS_LOGIN_REFUSED)},
        {5, "COM1", strings::load(strings::IDS_MEMORY)},
        {6, "COM1", strings::load(strings::IDS_FLASH)},
        {3, "COM2", noConsole},
        {0, "COM2", noConsole},
        {9, "COM2", noConsole},
        {4, "COM2", verificationReason(4, settings())},
    };
    for (const auto& [code, port, text] : cases) {
        SCOPED_TRACE(code);
        settings().comPort = port;
        settings().verifyResult = code;
        notifier.clear();
        QTest::mouseClick(page().GetDlgItem(1032), Qt::LeftButton);
        EXPECT_EQ(boxTexts(), std::vector<std::string>{text});
    }
    EXPECT_NE(boxTexts().at(0).find(" 2.0.10 is older than the software version 2.0.11"), std::string::npos);
}

TEST_F(VerificationPages, WhileVerifyingTheWindowPaintsButRefusesToMoveOrClose)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    wizard->page4.setVerification([released](UpgradeSettings&) {
        // A port failure's box, raised on this thread, is shown by the GUI thread meanwhile.
        platform::notifier().messageBox("Unable to gain access to the COM port.", platform::MB_OK);
        released.wait();
        return 0;
    });
    goTo(137);
    bool checked = false;
    later([&] {
        EXPECT_TRUE(wizard->page4.verificationRunning());
        EXPECT_TRUE(wizard->navigationLocked());
        auto* bar = wizard->page4.findChild<QProgressBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->maximum(), 0);  // the moving busy bar
        EXPECT_FALSE(page().GetDlgItem(1027)->isEnabled());
        wizard->PressButton(PSBTN_CANCEL);
        wizard->PressButton(PSBTN_BACK);
        wizard->close();
        EXPECT_TRUE(wizard->isVisible());
        const int paints = wizard->page4.paintCount();
        wizard->page4.invalidate();
        pumpEvents();
        EXPECT_GT(wizard->page4.paintCount(), paints);
        checked = true;
        release.set_value();
    }, 20);
    next();
    EXPECT_TRUE(checked);
    EXPECT_EQ(active(), 139);
    EXPECT_FALSE(wizard->navigationLocked());
    EXPECT_FALSE(wizard->page4.findChild<QProgressBar*>()->isVisible());
    EXPECT_TRUE(wizard->page4.GetDlgItem(1027)->isEnabled());
    ASSERT_EQ(notifier.boxes().size(), 1u);
    EXPECT_TRUE(notifier.boxes()[0].onGuiThread);
    EXPECT_FALSE(notifier.boxes()[0].calledOnGuiThread);
}

}  // namespace
