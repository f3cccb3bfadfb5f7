// The pages inside the wizard: what each shows from the settings, stores, refuses and explains,
// how a repaint (and only a repaint) replaces unsaved changes, the verification run from its
// page, and the download pages around real runs. The module is the virtual one on virtual time;
// the verification and the upgrade worker run on real threads.
#include "app/StringTable.h"
#include "app/VersionRule.h"
#include "platform/ui/CFileDialog.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "support/WindowTest.h"
#include "upgrade/UpgradeMessages.h"
#include "verify/Verification.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <map>
#include <future>
#include <optional>
#include <tuple>

namespace {

using Pages = WizardFixture;

// What COM1 and COM2 stand for; it can change between visits.
struct DescribedPorts final : platform::ISerialDeviceFactory {
    std::map<std::string, std::string> devices;
    std::unique_ptr<platform::ISerialDevice> open(const std::string&) override { return nullptr; }
    std::string describe(const std::string& name) override
    {
        const auto it = devices.find(name);
        return it == devices.end() ? "none found" : it->second;
    }
};

TEST_F(Pages, PortPageShowsTheStoredPortAndTheDevicesFoundAtActivationAndStoresOneOfTwoNames)
{
    DescribedPorts ports;
    ports.devices["COM1"] = "/dev/ttyUSB0 (FT232R USB UART)";
    platform::ScopedPlatform withPorts({nullptr, &ports, nullptr, nullptr});
    const std::pair<const char*, bool> cases[] = {{"COM1", true}, {"COM2", false}, {"com1", false}, {"", false}};
    for (const auto& [port, com1] : cases) {
        SCOPED_TRACE(port);
        goTo(132);
        settings().comPort = port;
        walk({{'N', 135}});
        EXPECT_EQ(page().IsDlgButtonChecked(1007), com1 ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(page().IsDlgButtonChecked(1008), com1 ? BST_UNCHECKED : BST_CHECKED);
        back();
        EXPECT_EQ(settings().comPort, com1 ? "COM1" : "COM2");
    }
    next();
    EXPECT_EQ(page().GetDlgItemText(1090), ports.devices["COM1"]);
    EXPECT_EQ(page().GetDlgItemText(1091), "none found");
    EXPECT_GE(control(1090)->x(), control(1007)->geometry().right());  // beside its button
    ports.devices["COM1"] = "/dev/ttyS0";
    QTest::mouseClick(control(1007), Qt::LeftButton);  // a click stands ...
    repaint();                                         // ... until a repaint, which does not look again
    EXPECT_EQ(page().IsDlgButtonChecked(1008), BST_CHECKED);
    EXPECT_EQ(page().GetDlgItemText(1090), "/dev/ttyUSB0 (FT232R USB UART)");
    QTest::mouseClick(control(1007), Qt::LeftButton);
    walk({{'N', 136}, {'B', 135}});
    EXPECT_EQ(settings().comPort, strings::load(strings::IDS_COM1));
    EXPECT_EQ(page().GetDlgItemText(1090), "/dev/ttyS0");
}

TEST_F(Pages, VersionPageStoresTheThreeFieldsButRefusesAnInvalidVersionOnNextOnly)
{
    settings().newVersion = "1.5.13";
    settings().username = "root";
    goTo(136);
    EXPECT_EQ(page().GetDlgItemText(1020), "1.5.13");
    EXPECT_EQ(page().GetDlgItemText(1018), "root");
    page().SetDlgItemText(1020, "2..10");
    page().SetDlgItemText(1018, "someone");
    next();
    EXPECT_EQ(active(), 136);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{kInvalidVersionMessage});
    EXPECT_EQ(notifier.boxes()[0].type, unsigned{platform::MB_ICONEXCLAMATION});
    EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
    EXPECT_EQ(window().focusWidget(), control(1020));
    EXPECT_EQ(settings().username, "root");  // nothing stored; the repaint after the box shows it
    EXPECT_EQ(page().GetDlgItemText(1018), "root");

    page().SetDlgItemText(1020, "2.0");
    page().SetDlgItemText(1019, "secret");
    walk({{'B', 135}});  // Back stores without any check
    EXPECT_EQ(settings().newVersion, "2.0");
    EXPECT_EQ(settings().password, "secret");
    next();
    page().SetDlgItemText(1020, "10.25.100");
    page().SetDlgItemText(1018, "");
    walk({{'N', 137}});
    EXPECT_EQ(settings().newVersion, "10.25.100");
    EXPECT_EQ(settings().username, "");
}

TEST_F(Pages, TypingStandsWhileAnotherWindowTakesTheActivationAndTheTitleFontComesWithEachPaint)
{
    goTo(136);
    auto* user = item<QLineEdit>(page(), 1018);
    user->setFocus();
    QTest::keyClicks(user, "operator");
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    QWidget other;
    other.setGeometry(window().geometry().translated(window().width() + 10, 0));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    pumpEvents();
    EXPECT_EQ(user->text(), QStringLiteral("operator"));  // not drawn anew: what was typed stands
    auto* title = item<QLabel>(page(), 1009);
    title->setFont(QFont());
    repaint();
    EXPECT_EQ(user->text(), QString());
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->font().styleHint(), QFont::Serif);
}

TEST_F(Pages, VerifyChoiceIsStoredByNextAndBackAndARunLeadsToTheVerdictPages)
{
    goTo(137);
    EXPECT_EQ(page().IsDlgButtonChecked(1027), BST_CHECKED);
    QTest::mouseClick(control(1028), Qt::LeftButton);
    walk({{'B', 136}});
    EXPECT_FALSE(settings().verifyFirst);
    walk({{'N', 137}});
    EXPECT_EQ(page().IsDlgButtonChecked(1028), BST_CHECKED);

    settings().username = "admin";
    settings().password = "tarvel";
    for (const char* version : {"1.5.13", "2.0.11"}) {
        sim::ModuleConfig cfg;
        cfg.version = version;
        test::ModuleHarness h(cfg);
        platform::ScopedPlatform gui({nullptr, nullptr, &notifier, nullptr});
        notifier.clear();
        settings().verifyFirst = true;
        goTo(137);
        next();
        EXPECT_EQ(settings().deviceVersion, version);
        if (settings().verifyResult == 0) {
            EXPECT_EQ(active(), 139);
            EXPECT_EQ(page().GetDlgItemText(1035), verificationPassedText(settings()));
            continue;
        }
        ASSERT_EQ(active(), 138);  // newer than the target: code 4
        EXPECT_EQ(settings().verifyResult, 4);
        EXPECT_EQ(page().GetDlgItemText(1030), verificationFailedLine(settings()));
        EXPECT_EQ(h.count("\rShow Memory\r"), 0u);  // the first failing rule decides
        QTest::mouseClick(control(1032), Qt::LeftButton);
        EXPECT_EQ(boxTexts(), std::vector<std::string>{verificationReason(4, settings())});
        EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
    }
    EXPECT_TRUE(settings().verifyFirst);
}

TEST_F(Pages, WhileVerifyingThePagePaintsAndShowsItsBusyBarButNothingMovesOrCloses)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    wizard->page4.setVerification([released](UpgradeSettings&) {
        // A box raised on this thread is shown by the GUI thread meanwhile.
        platform::notifier().messageBox("Unable to gain access to the COM port.", platform::MB_OK);
        released.wait();
        return 0;
    });
    goTo(137);
    CWizPage4& p = wizard->page4;
    bool checked = false;
    later([&] {
        EXPECT_TRUE(p.verificationRunning());
        EXPECT_TRUE(p.isItemVisible(CWizPage4::kBusyBar) && p.isItemVisible(CWizPage4::kBusyText));
        EXPECT_EQ(item<QProgressBar>(p, CWizPage4::kBusyBar)->maximum(), 0);  // moving
        EXPECT_FALSE(p.isItemEnabled(1027));
        wizard->PressButton(PSBTN_CANCEL);
        wizard->PressButton(PSBTN_BACK);
        window().close();
        EXPECT_TRUE(window().isVisible());
        const int paints = p.paintCount();
        p.invalidate();
        pumpEvents();
        EXPECT_GT(p.paintCount(), paints);
        checked = true;
        release.set_value();
    }, 20);
    next();
    EXPECT_TRUE(checked);
    EXPECT_EQ(active(), 139);
    EXPECT_FALSE(wizard->navigationLocked());
    EXPECT_FALSE(p.isItemVisible(CWizPage4::kBusyBar));
    EXPECT_TRUE(p.isItemEnabled(1027));
    ASSERT_EQ(notifier.boxes().size(), 1u);
    EXPECT_TRUE(notifier.boxes()[0].onGuiThread);
    EXPECT_FALSE(notifier.boxes()[0].calledOnGuiThread);
}

// The wizard with the virtual module on the line and good firmware files on disk.
class DownloadPages : public WizardFixture {
protected:
    void SetUp() override
    {
        WizardFixture::SetUp();
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(cfg, &threads);
        gui = std::make_unique<platform::ScopedPlatform>(platform::Services{nullptr, nullptr, &notifier, nullptr});
        settings().verifyFirst = false;
        bootPath = files.write("tarvelboot.dmf", uitest::randomBytes(5000, 21));
        codePath = files.write("tarvel.dmf", uitest::randomBytes(12000, 22));
        goTo(140);
    }
    void TearDown() override
    {
        CFileDialog::setScript(nullptr);
        threads.join();
        WizardFixture::TearDown();
    }
    void type(int id, const std::string& text) { item<QLineEdit>(page(), id)->setText(QString::fromLatin1(text.c_str())); }
    void toErasePage()
    {
        type(1042, bootPath);
        type(1046, codePath);
        walk({{'N', 152}});
    }
    // From the erase page through one run; the verdict's status line.
    std::string run()
    {
        uitest::Watchdog guard(60, "an upgrade from the erase page");
        uitest::FinishClicker clicker;
        next();
        threads.join();
        return clicker.views.size() == 1 ? clicker.views[0].status : "no single verdict";
    }

    uitest::FirmwareFolder files{"pages"};
    std::string bootPath, codePath;
    uitest::JoiningThreadStarter threads;
    sim::ModuleConfig cfg;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    std::unique_ptr<platform::ScopedPlatform> gui;
};

TEST_F(DownloadPages, FileNamesAreCheckedBootFirstAndStoredOnlyWhenBothPass)
{
    const std::string boot = CWizPage7::kInvalidBoot, code = CWizPage7::kInvalidCode;
    const std::tuple<const char*, const char*, std::string, int> cases[] = {
        {"/fw/TARVELBOOT.DMF", "/fw/tarvel.dmf", boot, 1042},
        {"/fw/tarvel.dmf", "/fw/tarvelboot.dmf", boot, 1042},  // swapped: the boot file first
        {"", "/fw/tarvel.dmf", boot, 1042},
        {"/fw/tarvelboot.dmf", "", code, 1046},
        {"/fw/tarvelboot.dmf", "/fw/tarvelboot.dmf", code, 1046},
        {"/old/tarvelboot.dmf.bak", "C:\\fw\\my-tarvel.dmf-copy", "", 0},
    };
    settings().bootFile = "stored";
    for (const auto& [bootText, codeText, message, focus] : cases) {
        SCOPED_TRACE(std::string(bootText) + " | " + codeText);
        notifier.clear();
        type(1042, bootText);
        type(1046, codeText);
        wizard->PressButton(PSBTN_NEXT);
        if (message.empty()) {
            EXPECT_EQ(active(), 152);
            EXPECT_EQ(settings().codeFile, codeText);
            continue;
        }
        EXPECT_EQ(active(), 140);
        EXPECT_EQ(boxTexts(), std::vector<std::string>{message});
        EXPECT_EQ(notifier.beeps().size(), 1u);
        EXPECT_EQ(window().focusWidget(), control(focus));
        EXPECT_EQ(settings().bootFile, "stored");  // not even the valid one
    }
    walk({{'B', 140}});
    type(1042, "not a boot file");
    walk({{'B', 137}});  // Back stores unchecked
    EXPECT_EQ(settings().bootFile, "not a boot file");
}

TEST_F(DownloadPages, BrowsePutsTheChosenFullPathInTheSettingsAndItsEditBeforeNextReadsIt)
{
    std::vector<CFileDialog::Request> requests;
    std::optional<std::string> answer = "/srv/fw/tarvelboot.dmf";
    CFileDialog::setScript([&](const CFileDialog::Request& r) { return requests.push_back(r), answer; });
    item<QPushButton>(page(), 1043)->click();
    answer = "/srv/fw/tarvel.dmf";
    item<QPushButton>(page(), 1047)->click();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].title, "Select a Tarvel boot file.");
    EXPECT_EQ(requests[1].fileTypes, (std::vector<CFileDialog::FileType>{{"Tarvel dmf files (tarvel.dmf)", "tarvel.dmf"}}));
    EXPECT_EQ(requests[1].flags, unsigned{OFN_PATHMUSTEXIST});
    EXPECT_EQ(requests[1].defaultSuffix, "dmf");
    EXPECT_EQ(page().GetDlgItemText(1046), "/srv/fw/tarvel.dmf");  // no events handled in between
    wizard->PressButton(PSBTN_NEXT);
    ASSERT_EQ(active(), 152);
    EXPECT_EQ(settings().bootFile, "/srv/fw/tarvelboot.dmf");
    back();
    type(1042, "typed but not stored");
    answer.reset();  // Cancel changes nothing, and the repaint puts the stored path back
    item<QPushButton>(page(), 1043)->click();
    EXPECT_EQ(page().GetDlgItemText(1042), "/srv/fw/tarvelboot.dmf");
}

TEST_F(DownloadPages, EraseChoiceDecidesTheRunAndAFailedRunsDetailsExplainItsCode)
{
    settings().eraseConfig = true;
    toErasePage();
    EXPECT_EQ(page().IsDlgButtonChecked(1050), BST_CHECKED);
    QTest::mouseClick(control(1051), Qt::LeftButton);
    EXPECT_EQ(page().IsDlgButtonChecked(1050), BST_UNCHECKED);  // one group
    walk({{'B', 140}});
    EXPECT_FALSE(settings().eraseConfig);
    walk({{'N', 152}});
    QTest::mouseClick(control(1050), Qt::LeftButton);
    sim::LineFaults f;
    f.failOpen = true;
    harness->line.setFaults(f);
    EXPECT_EQ(run(), ProgressState::kFailed);
    EXPECT_TRUE(settings().eraseConfig);
    ASSERT_EQ(active(), 153);
    EXPECT_EQ(page().GetDlgItemText(1054), upgradeFailedLine(settings()));
    notifier.clear();
    settings().upgradeResult = 7;
    item<QPushButton>(page(), 1056)->click();
    EXPECT_EQ(boxTexts(), std::vector<std::string>{upgradeFailureDetails(7, settings())});
    EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});

    harness->line.setFaults({});
    walk({{'B', 152}});
    EXPECT_EQ(run(), ProgressState::kCompleted);
    ASSERT_EQ(active(), 154);
    EXPECT_EQ(page().GetDlgItemText(1058), upgradeCompletedLine(settings()));
    EXPECT_EQ(harness->count("AT{E}\r"), 1u);  // erased instead of preparing the flash
    EXPECT_EQ(harness->count("AT{P}\r"), 0u);
    walk({{'B', 152}});
}

}  // namespace
