// The welcome, port and version pages: what they show, store and refuse, and how a repaint
// replaces unsaved changes (but a click, a keystroke or a change of the active window does not).
#include "app/ui/WizardTestFixture.h"

#include "app/StringTable.h"

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

using ConnectionPages = WizardFixture;

const char* const kInvalidVersion =
    "Invalid Firmware Version entered.\n\nPlease enter a version in the form \"xxx.xx.xxx\".\nFor example: 2.0.10";

TEST_F(ConnectionPages, PortPageSelectsCom1OnlyForExactlyCom1)
{
    const std::pair<const char*, bool> cases[] = {{"COM1", true}, {"COM2", false}, {"com1", false}, {"COM3", false}, {"", false}};
    start();
    for (const auto& [port, com1] : cases) {
        SCOPED_TRACE(port);
        goTo(132);
        settings().comPort = port;
        next();
        ASSERT_EQ(active(), 135);
        EXPECT_EQ(page().IsDlgButtonChecked(1007), com1 ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(page().IsDlgButtonChecked(1008), com1 ? BST_UNCHECKED : BST_CHECKED);
        back();  // leaving either way stores one of the two names
        EXPECT_EQ(settings().comPort, com1 ? "COM1" : "COM2");
    }
}

TEST_F(ConnectionPages, ClicksAndTypingStandButARepaintRestoresTheStoredValues)
{
    goTo(135);
    auto clickAndCheck = [&](int id, int other) {
        QTest::mouseClick(page().GetDlgItem(id), Qt::LeftButton);
        pumpEvents();
        EXPECT_EQ(page().IsDlgButtonChecked(id), BST_CHECKED);  // the click is not undone
        EXPECT_EQ(page().IsDlgButtonChecked(other), BST_UNCHECKED);
    };
    clickAndCheck(1008, 1007);
    repaint();  // covered and uncovered: back to the stored COM1
    EXPECT_EQ(page().IsDlgButtonChecked(1007), BST_CHECKED);
    EXPECT_EQ(page().IsDlgButtonChecked(1008), BST_UNCHECKED);
    clickAndCheck(1008, 1007);
    next();
    EXPECT_EQ(settings().comPort, strings::load(strings::IDS_COM2));
    back();
    clickAndCheck(1007, 1008);
    back();
    EXPECT_EQ(settings().comPort, "COM1");

    goTo(136);
    auto* user = page().item<QLineEdit>(1018);
    user->setFocus();
    QTest::keyClicks(user, "operator");
    pumpEvents();
    EXPECT_EQ(user->text(), QStringLiteral("operator"));
    // Another window that does not cover the page takes the activation and gives it back: the
    // page is not drawn anew, so what was typed stands.
    ASSERT_TRUE(QTest::qWaitForWindowActive(wizard.get()));
    QWidget other;
    other.setGeometry(wizard->geometry().translated(wizard->width() + 10, 0));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    wizard->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wizard.get()));
    pumpEvents();
    EXPECT_EQ(user->text(), QStringLiteral("operator"));
    repaint();
    EXPECT_EQ(user->text(), QStringLiteral(""));
}

TEST_F(ConnectionPages, VersionPageShowsAndStoresTheThreeFields)
{
    settings().newVersion = "1.5.13";
    settings().username = "root";
    settings().password = "pw";
    goTo(136);
    EXPECT_EQ(page().GetDlgItemText(1020), "1.5.13");
    EXPECT_EQ(page().GetDlgItemText(1018), "root");
    EXPECT_EQ(page().GetDlgItemText(1019), "pw");
    page().SetDlgItemText(1020, "10.25.100");
    page().SetDlgItemText(1018, "");
    page().SetDlgItemText(1019, "");
    walk({{'N', 137}});
    EXPECT_EQ(settings().newVersion, "10.25.100");
    EXPECT_EQ(settings().username, "");  // empty stays empty
    EXPECT_EQ(settings().password, "");
    EXPECT_TRUE(notifier.boxes().empty());
}

TEST_F(ConnectionPages, InvalidVersionBeepsWarnsFocusesStaysAndStoresNothing)
{
    goTo(136);
    page().SetDlgItemText(1020, "2..10");
    page().SetDlgItemText(1018, "someone");
    next();
    EXPECT_EQ(active(), 136);
    ASSERT_EQ(notifier.boxes().size(), 1u);
    EXPECT_EQ(notifier.boxes()[0].text, kInvalidVersion);
    EXPECT_EQ(notifier.boxes()[0].type, static_cast<unsigned>(platform::MB_ICONEXCLAMATION));
    EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
    EXPECT_EQ(QApplication::focusWidget(), page().GetDlgItem(1020));
    EXPECT_EQ(settings().newVersion, "2.0.10");
    EXPECT_EQ(settings().username, "");
    // The box covered the page: its repaint shows the stored values again.
    EXPECT_EQ(page().GetDlgItemText(1020), "2.0.10");
    EXPECT_EQ(page().GetDlgItemText(1018), "");
}

TEST_F(ConnectionPages, BackStoresAnInvalidVersionThatNextThenRefuses)
{
    goTo(136);
    page().SetDlgItemText(1020, "2.0");
    page().SetDlgItemText(1019, "secret");
    walk({{'B', 135}});
    EXPECT_EQ(settings().newVersion, "2.0");
    EXPECT_EQ(settings().password, "secret");
    next();
    EXPECT_EQ(page().GetDlgItemText(1020), "2.0");
    next();
    EXPECT_EQ(active(), 136);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kInvalidVersion});
    page().SetDlgItemText(1020, "2.0.11");
    walk({{'N', 137}});
}

TEST(VersionRule, AcceptsAndRejectsAsThePageRequires)
{
    for (const char* ok : {"2.0.10", "1.5.13", "10.25.100", "1.2.345678", "2.0.", "123.45.6", "0.0.0"})
        EXPECT_TRUE(CWizPage3::isValidVersion(ok)) << ok;
    for (const char* bad : {"", "2.0", "2..10", "1234.5.6", "2.100.1", "a2.0.10", "2.0.10a", " 2.0.10", "2.0.10 ",
                            "1.2.3456789", ".2.3", "2.0.1.0", "2,0,10", "2.0.-1"})
        EXPECT_FALSE(CWizPage3::isValidVersion(bad)) << '"' << bad << '"';
}

TEST_F(ConnectionPages, TitleLineGetsTheBoldSerifTitleFontOnPaint)
{
    goTo(132);
    auto* title = page().item<QLabel>(1009);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Welcome to the Verification and Upgrade Utility."));
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->font().styleHint(), QFont::Serif);
    EXPECT_NE(title->font(), page().item<QLabel>(1001)->font());
    // Set again on every paint, whatever happened to it in between.
    title->setFont(page().font());
    repaint();
    EXPECT_TRUE(title->font().bold());
}

}  // namespace
