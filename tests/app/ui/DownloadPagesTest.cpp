// The download pages inside the wizard: the file names and their messages, Browse, the erase
// choice, the result lines, the Details texts of a failed run and Back from the completed page.
// Runs go to the virtual module on virtual time, the worker on a real thread.
#include "app/ui/WizardTestFixture.h"

#include "platform/qt/CFileDialog.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "upgrade/ui/UpgradeRunSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <optional>
#include <utility>

namespace {

// The wizard fixture with the virtual module on the line (its services under the recording
// notifier's) and good firmware files on disk.
class DownloadPages : public WizardFixture {
protected:
    struct Box {
        std::string text;
        unsigned type;
        std::size_t beepsBefore;  // beeps already sounded when the box came up
    };

    void SetUp() override
    {
        WizardFixture::SetUp();
        notifier.setScript([this](const platform::QtNotifier::Box& b) {
            boxes.push_back({b.text, b.type, notifier.beeps().size()});
            return platform::IDOK;
        });
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(cfg, &threads);
        gui = std::make_unique<platform::ScopedPlatform>(platform::Services{nullptr, nullptr, &notifier, nullptr});
        uitest::app().m_pMainWnd = wizard.get();
        settings().verifyFirst = false;
        bootPath = files.write("tarvelboot.dmf", bootData);
        codePath = files.write("tarvel.dmf", codeData);
        start();
    }
    void TearDown() override
    {
        CFileDialog::setScript(nullptr);
        threads.join();
        uitest::app().m_pMainWnd = nullptr;
        WizardFixture::TearDown();
    }

    // Welcome → port → version → verify-or-not ("No") → files.
    void toFilePage() { walk({{'N', 135}, {'N', 136}, {'N', 137}, {'N', 140}}); }
    void toErasePage()
    {
        toFilePage();
        type(1042, bootPath);
        type(1046, codePath);
        walk({{'N', 152}});
    }
    void type(int id, const std::string& text) { page().item<QLineEdit>(id)->setText(QString::fromLatin1(text.c_str())); }
    bool focused(int id) const
    {
        QWidget* w = page().GetDlgItem(id);
        return w && w->window()->focusWidget() == w;
    }
    // The one box and beep of a refusal or an explanation; both records start afresh after it.
    void expectOneWarning(const std::string& text)
    {
        const auto seen = std::exchange(boxes, {});
        EXPECT_EQ(notifier.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
        notifier.clear();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, text);
        EXPECT_EQ(seen[0].type, platform::MB_ICONEXCLAMATION);
        EXPECT_EQ(seen[0].beepsBefore, 1u);
    }
    // From the erase page through one run.
    std::vector<uitest::FinalView> runFromErasePage()
    {
        uitest::Watchdog guard(60, "an upgrade from the erase page");
        uitest::FinishClicker clicker;
        next();
        threads.join();
        return clicker.views;
    }

    uitest::FirmwareFolder files{"pages"};
    std::vector<std::uint8_t> bootData = uitest::randomBytes(5000, 21), codeData = uitest::randomBytes(12000, 22);
    std::string bootPath, codePath;
    uitest::JoiningThreadStarter threads;
    sim::ModuleConfig cfg;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    std::unique_ptr<platform::ScopedPlatform> gui;
    std::vector<Box> boxes;
};

const char* const kBadBoot = "Invalid Tarvel boot file selected.\n\nPlease select a Tarvel boot file.";
const char* const kBadCode = "Invalid Tarvel code file selected.\n\nPlease select a Tarvel code file.";

TEST_F(DownloadPages, FileNamesAreCheckedCaseSensitivelyAndTheBootFileFirst)
{
    toFilePage();
    struct Case {
        const char* boot;
        const char* code;
        const char* message;  // nullptr: accepted
        int focus;
    };
    const Case cases[] = {
        {"/fw/TARVELBOOT.DMF", "/fw/tarvel.dmf", kBadBoot, 1042},
        {"/fw/tarvel.dmf", "/fw/tarvelboot.dmf", kBadBoot, 1042},  // swapped: boot reported first
        {"", "/fw/tarvel.dmf", kBadBoot, 1042},
        {"/fw/tarvelboot.dmf", "/fw/TARVEL.DMF", kBadCode, 1046},
        {"/fw/tarvelboot.dmf", "", kBadCode, 1046},
        {"/fw/tarvelboot.dmf", "/fw/tarvelboot.dmf", kBadCode, 1046},
        {"/old/tarvelboot.dmf.bak", "C:\\fw\\my-tarvel.dmf-copy", nullptr, 0},
    };
    settings().bootFile = "stored boot";
    settings().codeFile = "stored code";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.boot) + " | " + c.code);
        type(1042, c.boot);
        type(1046, c.code);
        wizard->PressButton(PSBTN_NEXT);
        if (!c.message) {
            EXPECT_EQ(active(), 152);
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(settings().bootFile, c.boot);
            EXPECT_EQ(settings().codeFile, c.code);
            continue;
        }
        EXPECT_EQ(active(), 140);
        expectOneWarning(c.message);
        EXPECT_TRUE(focused(c.focus));
        // Nothing stored, not even the path that was valid.
        EXPECT_EQ(settings().bootFile, "stored boot");
        EXPECT_EQ(settings().codeFile, "stored code");
    }
}

TEST_F(DownloadPages, BrowseThenNextChecksAndStoresTheChosenFullPath)
{
    toFilePage();
    std::vector<CFileDialog::Request> requests;
    std::optional<std::string> answer = "/srv/firmware/tarvelboot.dmf";
    CFileDialog::setScript([&](const CFileDialog::Request& r) {
        requests.push_back(r);
        return answer;
    });
    page().item<QPushButton>(1043)->click();
    answer = "/srv/firmware/tarvel.dmf";
    page().item<QPushButton>(1047)->click();
    ASSERT_EQ(requests.size(), 2u);
    const char* const what[] = {"boot", "code"};
    const char* const name[] = {"tarvelboot.dmf", "tarvel.dmf"};
    for (int i = 0; i < 2; ++i) {
        const auto& r = requests[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.title, std::string("Select a Tarvel ") + what[i] + " file.");
        EXPECT_EQ(r.filters, CFileDialog::toQtFilters(std::string("Tarvel dmf files (") + name[i] + ")|" + name[i] + "|"));
        EXPECT_EQ(r.flags, unsigned{OFN_PATHMUSTEXIST});
        EXPECT_EQ(r.defaultSuffix, QStringLiteral("dmf"));
        EXPECT_EQ(r.initialFile, "");
    }
    // No events handled in between: the paths are in the edits before Next can read them.
    EXPECT_EQ(page().GetDlgItemText(1042), "/srv/firmware/tarvelboot.dmf");
    EXPECT_EQ(page().GetDlgItemText(1046), "/srv/firmware/tarvel.dmf");
    wizard->PressButton(PSBTN_NEXT);
    ASSERT_EQ(active(), 152);
    EXPECT_EQ(settings().bootFile, "/srv/firmware/tarvelboot.dmf");
    EXPECT_EQ(settings().codeFile, "/srv/firmware/tarvel.dmf");
    EXPECT_TRUE(boxes.empty());

    // Cancelling the dialog changes nothing, and a repaint puts the stored paths back over
    // what was typed.
    back();
    ASSERT_EQ(active(), 140);
    type(1042, "typed but not stored");
    answer.reset();
    page().item<QPushButton>(1043)->click();
    EXPECT_EQ(settings().bootFile, "/srv/firmware/tarvelboot.dmf");
    EXPECT_EQ(page().GetDlgItemText(1042), "/srv/firmware/tarvelboot.dmf");
}

TEST_F(DownloadPages, BackFromTheFilePageStoresTheNamesUnchecked)
{
    toFilePage();
    type(1042, "not a boot file");
    type(1046, "not a code file");
    back();
    ASSERT_EQ(active(), 137);
    EXPECT_EQ(settings().bootFile, "not a boot file");
    EXPECT_EQ(settings().codeFile, "not a code file");
    EXPECT_TRUE(boxes.empty());

    next();  // "No, upgrade immediately" still selected
    ASSERT_EQ(active(), 140);
    EXPECT_EQ(page().GetDlgItemText(1042), "not a boot file");  // edits from the settings
}

TEST_F(DownloadPages, EraseChoiceIsShownFromTheSettingsAndStoredOnBackAndNext)
{
    settings().eraseConfig = true;
    toErasePage();
    auto* erase = page().item<QRadioButton>(1050);
    auto* keep = page().item<QRadioButton>(1051);
    EXPECT_TRUE(erase->isChecked());
    EXPECT_FALSE(keep->isChecked());
    keep->click();
    EXPECT_FALSE(erase->isChecked());  // one group
    back();
    EXPECT_FALSE(settings().eraseConfig);
    next();
    ASSERT_EQ(active(), 152);
    EXPECT_TRUE(keep->isChecked());

    // Chosen "Yes": the run erases instead of preparing the flash.
    erase->click();
    const auto views = runFromErasePage();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_TRUE(settings().eraseConfig);
    EXPECT_EQ(active(), 154);
    EXPECT_EQ(harness->count("AT{E}\r"), 1u);
    EXPECT_EQ(harness->count("AT{P}\r"), 0u);
}

TEST_F(DownloadPages, FailedRunLeadsToTheFailedPageWhoseDetailsExplainEachCode)
{
    sim::LineFaults f;
    f.failOpen = true;
    harness->line.setFaults(f);
    toErasePage();
    const auto views = runFromErasePage();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].status, "Download failed. Please click on the Finished button.");
    ASSERT_EQ(active(), 153);
    EXPECT_EQ(page().GetDlgItemText(1054),
              "The Tarvel router module was not successfully upgraded to version 2.0.10 of the firmware.");

    settings().comPort = "COM2";
    settings().bootFile = "C:\\fw\\tarvelboot.dmf";
    settings().codeFile = "C:\\fw\\tarvel.dmf";
    const std::string cable =
        "Unable to login to the Tarvel Console Port.\n\nPlease check that the null modem cable is connected to COM2 "
        "and also to the Tarvel Console Port.\n";
    const std::pair<int, std::string> cases[] = {
        {1, "Unable to login to the Tarvel Console Port.\n\nPlease check if another application is already using the "
            "COM Port.\nCheck that the null modem cable is connected to COM2 and also to the Tarvel Console Port.\n"},
        {2, "Unable to login to the Tarvel Console Port.\n\nPlease check that the username and password provided are "
            "correct."},
        {3, cable},
        {7, "Unable to download the boot file to the Tarvel.\n\nPlease check that the Tarvel is powered on.\nCheck "
            "that the null modem cable is connected to COM2.\nCheck that the boot file \"C:\\fw\\tarvelboot.dmf\" is "
            "correct."},
        {8, "Unable to download the code file to the Tarvel.\n\nPlease check that the Tarvel is powered on.\nCheck "
            "that the null modem cable is connected to COM2.\nCheck that the code file \"C:\\fw\\tarvel.dmf\" is "
            "correct."},
        {-1, cable},
        {42, cable},
    };
    boxes.clear();  // the run's own box
    notifier.clear();
    for (const auto& [code, text] : cases) {
        SCOPED_TRACE(code);
        settings().upgradeResult = code;
        page().item<QPushButton>(1056)->click();
        expectOneWarning(text);
    }
}

TEST_F(DownloadPages, CompletedPageGoesBackToTheErasePageWhereNextUpgradesAgain)
{
    settings().newVersion = "2.1.3";
    toErasePage();
    auto views = runFromErasePage();
    ASSERT_EQ(views.size(), 1u);
    ASSERT_EQ(active(), 154);
    EXPECT_EQ(page().GetDlgItemText(1058),
              "The Tarvel router module has been successfully upgraded to version 2.1.3 of the firmware.");
    EXPECT_EQ(wizard->wizardButtons(), unsigned{PSWIZB_BACK | PSWIZB_FINISH});
    back();
    ASSERT_EQ(active(), 152);
    // A module that has taken its firmware stays in command mode until it is restarted; the
    // operator has restarted it before trying again.
    sim::VirtualModule restarted(cfg, harness->nowUs());
    harness->line.setPeer(restarted);
    views = runFromErasePage();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(active(), 154);
    EXPECT_EQ(threads.started, 2);
    const auto received = store->files();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[2].data, bootData);
    EXPECT_EQ(received[3].data, codeData);
}

}  // namespace
