// The pages inside the wizard: what each shows from the settings, stores, refuses and explains,
// how a repaint replaces unsaved changes, the verification run from its page, and the download
// pages around real runs against the virtual module.
#include "app/VersionRule.h"
#include "platform/ui/CFileDialog.h"
#include "support/WindowTest.h"
#include "upgrade/UpgradeMessages.h"
#include "verify/Verification.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <future>
#include <map>
#include <optional>
#include <tuple>

namespace {

using Pages = WizardFixture;

// What COM1 and COM2 stand for; it can change between visits.
struct DescribedPorts final : platform::ISerialDeviceFactory {
    std::map<std::string, std::string> devices;
    std::unique_ptr<platform::ISerialDevice> open(const std::string&) override { return nullptr; }
    std::string describe(const std::string& name) override { return devices.count(name) ? devices[name] : "none found"; }
};

TEST_F(Pages, PortPageShowsTheStoredPortAndTheDevicesFoundAtActivationAndStoresOneOfTwoNames)
{
    DescribedPorts ports;
    ports.devices["COM1"] = "/dev/ttyUSB0";
    platform::ScopedPlatform withPorts({nullptr, &ports, nullptr, nullptr});
    for (const auto& [port, com1] : {std::pair{"COM1", true}, {"COM2", false}, {"com1", false}, {"", false}}) {
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
    EXPECT_EQ(page().GetDlgItemText(1090) + " | " + page().GetDlgItemText(1091), "/dev/ttyUSB0 | none found");
    ports.devices["COM1"] = "/dev/ttyS0";
    QTest::mouseClick(control(1007), Qt::LeftButton);  // a click stands until a repaint ...
    repaint();                                         // ... which does not look again
    EXPECT_EQ(page().IsDlgButtonChecked(1008), BST_CHECKED);
    EXPECT_EQ(page().GetDlgItemText(1090), "/dev/ttyUSB0");
    walk({{'N', 136}, {'B', 135}});
    EXPECT_EQ(page().GetDlgItemText(1090), "/dev/ttyS0");
}

TEST_F(Pages, VersionPageStoresTheThreeFieldsButRefusesAnInvalidVersionOnNextOnly)
{
    settings().username = "root";
    goTo(136);
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
    auto* title = item<QLabel>(page(), 1009);  // the bold serif title font comes with each paint
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->font().styleHint(), QFont::Serif);

    page().SetDlgItemText(1020, "2.0");
    page().SetDlgItemText(1019, "secret");
    walk({{'B', 135}});  // Back stores without any check
    EXPECT_EQ(settings().newVersion + " " + settings().password, "2.0 secret");
    next();
    EXPECT_EQ(page().GetDlgItemText(1020), "2.0");
    page().SetDlgItemText(1020, "10.25.100");
    page().SetDlgItemText(1018, "");
    walk({{'N', 137}});
    EXPECT_EQ(settings().newVersion + "|" + settings().username, "10.25.100|");
}

TEST_F(Pages, AFailedVerificationLeadsToItsPageWhoseDetailsExplainIt)
{
    settings().verifyFirst = false;
    goTo(137);
    QTest::mouseClick(control(1027), Qt::LeftButton);
    sim::ModuleConfig newer;
    newer.version = "2.0.11";
    test::ModuleHarness h(newer);
    platform::ScopedPlatform gui({nullptr, nullptr, &notifier, nullptr});
    settings().username = "admin";
    settings().password = "tarvel";
    walk({{'N', 138}});
    EXPECT_TRUE(settings().verifyFirst);
    EXPECT_EQ(settings().verifyResult, 4);  // newer than the target
    EXPECT_EQ(page().GetDlgItemText(1030), verificationFailedLine(settings()));
    EXPECT_EQ(h.count("\rShow Memory\r"), 0u);  // the first failing rule decides
    QTest::mouseClick(control(1032), Qt::LeftButton);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{verificationReason(4, settings())});
    EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
}

TEST_F(Pages, WhileVerifyingThePagePaintsAndShowsItsBusyBarButNothingMovesOrCloses)
{
    std::promise<void> release;
    wizard->page4.setVerification([released = release.get_future().share()](UpgradeSettings&) { return released.wait(), 0; });
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
    EXPECT_EQ(page().GetDlgItemText(1035), verificationPassedText(settings()));
    EXPECT_FALSE(wizard->navigationLocked() || p.isItemVisible(CWizPage4::kBusyBar) || !p.isItemEnabled(1027));
}

using DownloadPages = RunFixture;

TEST_F(DownloadPages, FileNamesAreCheckedBootFirstAndStoredOnlyWhenBothPass)
{
    goTo(140);
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
        page().SetDlgItemText(1042, bootText);
        page().SetDlgItemText(1046, codeText);
        wizard->PressButton(PSBTN_NEXT);
        if (message.empty()) {
            EXPECT_EQ(active(), 152);
            EXPECT_EQ(settings().codeFile, codeText);
            continue;
        }
        EXPECT_EQ(boxTexts(), std::vector<std::string>{message});
        EXPECT_EQ(notifier.beeps().size(), 1u);
        EXPECT_EQ(window().focusWidget(), control(focus));
        EXPECT_EQ(settings().bootFile, "stored");  // not even the valid one
    }
    walk({{'B', 140}});
    page().SetDlgItemText(1042, "not a boot file");
    walk({{'B', 137}});  // Back stores unchecked
    EXPECT_EQ(settings().bootFile, "not a boot file");
}

TEST_F(DownloadPages, BrowsePutsTheChosenFullPathInTheSettingsAndItsEditBeforeNextReadsIt)
{
    goTo(140);
    std::vector<CFileDialog::Request> requests;
    std::optional<std::string> answer = "/srv/fw/tarvelboot.dmf";
    CFileDialog::setScript([&](const CFileDialog::Request& r) { return requests.push_back(r), answer; });
    item<QPushButton>(page(), 1043)->click();
    answer = "/srv/fw/tarvel.dmf";
    item<QPushButton>(page(), 1047)->click();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].fileTypes, (std::vector<CFileDialog::FileType>{{"Tarvel dmf files (tarvel.dmf)", "tarvel.dmf"}}));
    EXPECT_EQ(requests[1].flags, unsigned{OFN_PATHMUSTEXIST});
    EXPECT_EQ(page().GetDlgItemText(1046), "/srv/fw/tarvel.dmf");  // no events handled in between
    wizard->PressButton(PSBTN_NEXT);
    ASSERT_EQ(active(), 152);
    EXPECT_EQ(settings().bootFile, "/srv/fw/tarvelboot.dmf");
    back();
    page().SetDlgItemText(1042, "typed but not stored");
    answer.reset();  // Cancel changes nothing, and the repaint puts the stored path back
    item<QPushButton>(page(), 1043)->click();
    EXPECT_EQ(page().GetDlgItemText(1042), "/srv/fw/tarvelboot.dmf");
    CFileDialog::setScript(nullptr);
}

TEST_F(DownloadPages, EraseChoiceDecidesTheRunAndTheResultPagesExplainIt)
{
    settings().eraseConfig = true;
    goTo(152);
    EXPECT_EQ(page().IsDlgButtonChecked(1050), BST_CHECKED);
    QTest::mouseClick(control(1051), Qt::LeftButton);
    EXPECT_EQ(page().IsDlgButtonChecked(1050), BST_UNCHECKED);  // one group
    walk({{'B', 140}});
    EXPECT_FALSE(settings().eraseConfig);
    walk({{'N', 152}});
    QTest::mouseClick(control(1050), Qt::LeftButton);
    auto run = [&] {
        uitest::FinishClicker clicker;
        next();
        threads.join();
        return clicker.views.size() == 1 ? clicker.views[0].status : "no single verdict";
    };
    failOpen(true);
    EXPECT_EQ(run(), ProgressState::kFailed);
    EXPECT_TRUE(settings().eraseConfig);
    ASSERT_EQ(active(), 153);
    EXPECT_EQ(page().GetDlgItemText(1054), upgradeFailedLine(settings()));
    notifier.clear();
    settings().upgradeResult = 7;
    item<QPushButton>(page(), 1056)->click();
    EXPECT_EQ(boxTexts(), std::vector<std::string>{upgradeFailureDetails(7, settings())});
    EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});

    failOpen(false);
    walk({{'B', 152}});
    EXPECT_EQ(run(), ProgressState::kCompleted);
    ASSERT_EQ(active(), 154);
    EXPECT_EQ(page().GetDlgItemText(1058), upgradeCompletedLine(settings()));
    EXPECT_EQ(harness->count("AT{E}\r") * 10 + harness->count("AT{P}\r"), 10u);  // erased, no flash preparation
    walk({{'B', 152}});
}

}  // namespace
