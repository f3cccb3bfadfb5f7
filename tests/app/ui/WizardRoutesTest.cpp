// The wizard's routes and button sets, Enter on every page, and non-interactive mode.
#include "app/ui/WizardTestFixture.h"

#include "platform/qt/CFileDialog.h"
#include "upgrade/UpgradeWorker.h"
#include "upgrade/ui/UpgradeRunSupport.h"

#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <optional>
#include <string>

namespace {

using Routes = WizardFixture;

TEST_F(Routes, EveryPageSetsTheButtonsOfTheRouteTable)
{
    start();
    const std::pair<int, unsigned> expected[] = {
        {132, PSWIZB_NEXT},
        {135, PSWIZB_BACK | PSWIZB_NEXT},
        {136, PSWIZB_BACK | PSWIZB_NEXT},
        {137, PSWIZB_BACK | PSWIZB_NEXT},
        {138, PSWIZB_BACK | PSWIZB_FINISH},
        {139, PSWIZB_BACK | PSWIZB_NEXT},
        {140, PSWIZB_BACK | PSWIZB_NEXT},
        {152, PSWIZB_BACK | PSWIZB_NEXT},
        {153, PSWIZB_BACK | PSWIZB_FINISH},
        {154, PSWIZB_BACK | PSWIZB_FINISH},
    };
    ASSERT_EQ(wizard->GetPageCount(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(wizard->GetPage(i)->templateId(), expected[i].first) << i;
    for (const auto& [id, buttons] : expected) {
        goTo(id);
        EXPECT_EQ(wizard->wizardButtons(), buttons) << id;
        EXPECT_EQ(wizard->windowTitle(), QStringLiteral("Tarvel Verification and Upgrade Utility"));
    }
}

TEST_F(Routes, ForwardWithoutVerificationAndBackByVerifyFirst)
{
    start();
    bool verified = false;
    wizard->page4.setVerification([&](UpgradeSettings&) {
        verified = true;
        return 0;
    });
    walk({{'N', 135}, {'N', 136}, {'N', 137}});
    page().CheckDlgButton(1027, BST_UNCHECKED);
    page().CheckDlgButton(1028, BST_CHECKED);
    walk({{'N', 140}});
    EXPECT_FALSE(verified);
    EXPECT_FALSE(settings().verifyFirst);
    // No verification chosen: straight back to the choice, not to the passed page.
    walk({{'B', 137}, {'B', 136}, {'B', 135}, {'B', 132}});
}

TEST_F(Routes, VerificationResultChoosesThePageAndBackReturnsToTheChoice)
{
    goTo(137);
    int code = 0;
    int runs = 0;
    wizard->page4.setVerification([&](UpgradeSettings&) {
        ++runs;
        return code;
    });
    walk({{'N', 139}});
    EXPECT_EQ(settings().verifyResult, 0);
    // Verified first: back to the passed page, and from there to the choice (not the failed page).
    walk({{'N', 140}, {'B', 139}, {'B', 137}});
    code = 5;
    walk({{'N', 138}});
    EXPECT_EQ(settings().verifyResult, 5);
    walk({{'B', 137}});
    next();  // every visit with "Yes" verifies again
    EXPECT_EQ(runs, 3);
}

TEST_F(Routes, DownloadPagesGoBackToTheirPredecessorsInTheTable)
{
    goTo(154);
    walk({{'B', 152}});  // not the failed page between them
    goTo(153);
    walk({{'B', 152}, {'B', 140}});
    settings().verifyFirst = true;
    walk({{'B', 139}});
}

// The sheet's own buttons in the table below; any other number is a control of the page.
enum SheetButton { kBack = -10, kNext, kFinish, kCancel };

// Enter with the focus on each push button of each page presses that button; with the focus on
// an edit box or a radio button it presses the default button (Next, or Finish). The key goes to
// the focused widget as a real key event; further Enters go wherever the focus is then. A run started from the erase page ends at once with
// success, and its progress window is closed by Enter on its focused "Finished" button.
TEST_F(Routes, EnterPressesTheFocusedPushButtonElseTheDefaultButton)
{
    struct Case {
        int page;
        int focus;
        const char* outcome;
        int enters = 1;  // more than one: the focus a page change leaves decides the next ones
    };
    const Case cases[] = {
        {132, kNext, "135"},
        {132, kCancel, "ended by Cancel"},
        {135, kBack, "132"},
        {135, kNext, "136"},
        {135, kCancel, "ended by Cancel"},
        {135, 1008, "136"},  // radio COM2
        {135, 1008, "137", 2},
        {136, kBack, "135"},
        {136, kNext, "137"},
        {136, kCancel, "ended by Cancel"},
        {136, 1020, "137"},  // version edit
        {136, 1019, "137"},  // password edit
        {137, kBack, "136"},
        {137, kNext, "139 verified"},
        {137, kCancel, "ended by Cancel"},
        {137, 1027, "139 verified"},  // radio "Yes (Recommended)"
        {138, kBack, "137"},
        {138, kFinish, "ended by Finish"},
        {138, kCancel, "ended by Cancel"},
        {138, 1032, "138 box"},  // Details
        {139, kBack, "137"},
        {139, kNext, "140"},
        {139, kCancel, "ended by Cancel"},
        {140, kBack, "139"},
        {140, kNext, "152"},
        {140, kCancel, "ended by Cancel"},
        {140, 1043, "140 file Select a Tarvel boot file."},
        {140, 1047, "140 file Select a Tarvel code file."},
        {140, 1042, "152"},  // boot path edit
        {140, 1042, "154 run", 2},
        {140, 1042, "ended by Finish run", 3},
        {152, kBack, "140"},
        {152, kNext, "154 run"},
        {152, kNext, "ended by Finish run", 2},  // the focus passes from Next to Finish
        {152, kCancel, "ended by Cancel"},
        {152, 1051, "154 run"},  // radio "No (Recommended)"
        {153, kBack, "152"},
        {153, kFinish, "ended by Finish"},
        {153, kCancel, "ended by Cancel"},
        {153, 1056, "153 box"},  // Details
        {154, kBack, "152"},
        {154, kFinish, "ended by Finish"},
        {154, kCancel, "ended by Cancel"},
    };
    uitest::JoiningThreadStarter threads;
    platform::ScopedPlatform threadScope{{nullptr, nullptr, nullptr, &threads}};
    threads.setReplacement([](void* p) {
        auto* params = static_cast<UpgradeThreadParams*>(p);
        params->settings->upgradeResult.store(0);
        params->settings->upgradeDone.store(true);
        params->dialog->showFinished(0);
    });
    uitest::FinishClicker enterOnFinished([](CDownloadDlg& d) {
        QWidget* focus = d.focusWidget();
        ASSERT_EQ(focus, d.GetDlgItem(CDownloadDlg::kButton));
        QTest::keyClick(focus, Qt::Key_Return);
    });
    std::vector<std::string> fileTitles;
    CFileDialog::setScript([&](const CFileDialog::Request& r) {
        fileTitles.push_back(r.title);
        return std::optional<std::string>{};
    });
    bool verified = false;
    int ended = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.page) + " focus " + std::to_string(c.focus));
        verified = false;
        ended = 0;
        wizard->hide();
        wizard.reset();
        wizard = std::make_unique<CUpgradeWizard>();
        wizard->SetWizardMode();
        uitest::app().m_pMainWnd = wizard.get();
        settings().bootFile = "/fw/tarvelboot.dmf";
        settings().codeFile = "/fw/tarvel.dmf";
        wizard->page4.setVerification([&](UpgradeSettings&) { return verified = true, 0; });
        QObject::connect(wizard.get(), &QDialog::finished, wizard.get(), [&](int r) { ended = r; });
        goTo(c.page);
        wizard->activateWindow();
        QWidget* target = c.focus == kBack     ? wizard->backButton()
                          : c.focus == kNext   ? wizard->nextButton()
                          : c.focus == kFinish ? wizard->finishButton()
                          : c.focus == kCancel ? wizard->cancelButton()
                                               : page().GetDlgItem(c.focus);
        ASSERT_NE(target, nullptr);
        ASSERT_TRUE(target->isVisible() && target->isEnabled());
        target->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(wizard->focusWidget(), target);
        notifier.clear();
        fileTitles.clear();
        const int runsBefore = threads.started;

        for (int i = 0; i < c.enters; ++i) {
            QWidget* focus = i == 0 ? target : wizard->focusWidget();
            ASSERT_NE(focus, nullptr);
            QTest::keyClick(focus, Qt::Key_Return);
            pumpEvents();
        }
        threads.join();

        std::string outcome = ended == platform::IDCANCEL ? "ended by Cancel"
                              : ended == ID_WIZFINISH     ? "ended by Finish"
                                                          : std::to_string(active());
        if (verified)
            outcome += " verified";
        if (!notifier.boxes().empty())
            outcome += " box";
        for (const auto& title : fileTitles)
            outcome += " file " + title;
        if (threads.started != runsBefore)
            outcome += " run";
        EXPECT_EQ(outcome, c.outcome);
        // Arriving on the erase page from the file page's edit box, the focus is on the checked
        // radio button (Space on the other would choose to erase the configuration).
        if (c.page == 140 && c.focus == 1042 && c.enters == 1) {
            EXPECT_EQ(wizard->focusWidget(), page().GetDlgItem(1051));
        }
    }
    CFileDialog::setScript(nullptr);
    uitest::app().m_pMainWnd = nullptr;
}

TEST_F(Routes, NonInteractiveModePressesNextSixTimesOnceTheWizardIsShown)
{
    settings().nonInteractive = true;  // as -n sets them
    settings().verifyFirst = false;
    settings().comPort = "COM2";
    settings().username = "admin";
    bool verified = false;
    wizard->page4.setVerification([&](UpgradeSettings&) {
        verified = true;
        return 0;
    });
    std::vector<int> visited;
    std::vector<bool> shownWhenVisited;
    QObject::connect(wizard.get(), &CPropertySheet::pageActivated, wizard.get(), [&](int id) {
        visited.push_back(id);
        shownWhenVisited.push_back(wizard->isVisible());
    });
    int idlesAtEnd = 0;
    later([&] {
        // Several idle notifications later, nothing more has moved.
        const auto visitedSoFar = visited.size();
        later([&, visitedSoFar] {
            EXPECT_EQ(visited.size(), visitedSoFar);
            idlesAtEnd = wizard->idleCount();
            wizard->PressButton(PSBTN_CANCEL);
        }, 60);
    }, 30);
    wizard->DoModal();

    ASSERT_GE(visited.size(), 5u);
    const std::vector<int> start(visited.begin(), visited.begin() + 5);
    EXPECT_EQ(start, (std::vector<int>{132, 135, 136, 137, 140}));
    EXPECT_LE(visited.size(), 7u);  // six presses at most
    EXPECT_TRUE(std::all_of(shownWhenVisited.begin() + 1, shownWhenVisited.end(), [](bool b) { return b; }));
    EXPECT_FALSE(verified);
    EXPECT_FALSE(settings().nonInteractive);
    EXPECT_EQ(settings().comPort, "COM2");     // the port page stored its preselection
    EXPECT_EQ(settings().newVersion, "2.0.10");  // the default version passed the check
    EXPECT_EQ(settings().username, "admin");
    EXPECT_GE(idlesAtEnd, 2);
}

}  // namespace
