// The wizard's routes and button sets, and non-interactive mode.
#include "app/ui/WizardTestFixture.h"

#include <algorithm>

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
