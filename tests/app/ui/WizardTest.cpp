// The program's start and the wizard: the agreement (its text, and its rejection, which ends
// everything before the command line is read), the usage box, each page's buttons and routes, Enter with
// the focus on every button of every page, and non-interactive mode.
#include "app/AgreementText.h"
#include "app/UsageText.h"
#include "app/ui/CAgreementDlg.h"
#include "app/ui/CUpgradeApp.h"
#include "platform/ui/CFileDialog.h"
#include "platform/qt/ControlFactory.h"
#include "support/WindowTest.h"
#include "upgrade/UpgradeWorker.h"

#include <QRadioButton>
#include <QTest>

#include <map>
#include <optional>

namespace {

// The wizard with its sheet buttons and the pages' controls by name: "Back", "Next", "Finish",
// "Cancel", or a control's id.
struct Wizard : WizardFixture {
    const std::map<std::string, int> buttons = {{"Back", PSBTN_BACK}, {"Next", PSBTN_NEXT}, {"Finish", PSBTN_FINISH}, {"Cancel", PSBTN_CANCEL}};
    QWidget* find(const std::string& name)
    {
        return buttons.count(name) ? ui::qt::sheetButton(*wizard, buttons.at(name)) : control(std::stoi(name));
    }
};

// Runs the program with these arguments; whenever the agreement or the wizard waits for input,
// the handler given acts on it. Returns what happened, in order.
std::vector<std::string> runProgram(std::vector<std::string> args, const std::function<void(CAgreementDlg&)>& onAgreement)
{
    platform::QtNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    std::vector<std::string> events;
    notifier.setScript([&](const platform::QtNotifier::Box& b) {
        events.push_back(b.text == kUsageText ? "usage" : "box");
        return platform::IDOK;
    });
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        CDialog* modal = ui::qt::dialogOf(QApplication::activeModalWidget());
        if (auto* a = dynamic_cast<CAgreementDlg*>(modal)) {
            std::string joined;  // painted on showing: the sixteen blocks, joined
            for (const auto& block : agreementBlocks())
                joined += block;
            events.push_back(a->GetDlgItemText(CAgreementDlg::kAgreementControl) == joined ? "agreement" : "agreement text?");
            onAgreement(*a);
        } else if (auto* w = dynamic_cast<CUpgradeWizard*>(modal)) {
            events.push_back("wizard " + w->settings.comPort + (AfxGetMainWnd() == w ? " main" : ""));
            w->PressButton(PSBTN_CANCEL);
        }
    });
    driver.start(5);
    CUpgradeApp app;
    args.insert(args.begin(), "upgrade");
    app.setCommandLine(args);
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);  // nothing refers to the wizard afterwards
    return events;
}

TEST(Program, AcceptingShowsTheUsageBoxAndThenTheWizardRejectingEndsEverything)
{
    guiApp();
    EXPECT_EQ(runProgram({"-h", "-o", "COM2"}, [](CAgreementDlg& a) { item<QPushButton>(a, 1)->click(); }),
              (std::vector<std::string>{"agreement", "usage", "wizard COM2 main"}));
    const std::function<void(CAgreementDlg&)> rejections[] = {[](CAgreementDlg& a) { QTest::mouseClick(itemWidget(a, 2), Qt::LeftButton); },
                                                              [](CAgreementDlg& a) { widgetOf(a)->close(); }};
    for (const auto& reject : rejections)  // no usage box: -h was never read
        EXPECT_EQ(runProgram({"-h", "-n"}, reject), std::vector<std::string>{"agreement"});
}

// Enter with the focus on each push button of each page presses that button; on an edit box or
// a radio button it presses the default button (Next, or Finish). The key goes to the focused
// widget as a real key event; further Enters go wherever the focus is then. A run started from
// the erase page ends at once with success; Enter on its focused "Finished" button closes it.
TEST_F(Wizard, EnterPressesTheFocusedPushButtonElseTheDefaultButton)
{
    struct Case {
        int page;
        std::string focus;
        const char* outcome;
        int enters = 1;  // more than one: the focus a page change leaves decides the next ones
    };
    const char* const cancel = "ended by Cancel";
    const char* const finish = "ended by Finish";
    // Radio buttons 1008 (COM2), 1027 (Yes), 1051 (No); edits 1020, 1019, 1042; Details 1032, 1056.
    const Case cases[] = {
        {132, "Next", "135"}, {132, "Cancel", cancel},
        {135, "Back", "132"}, {135, "Next", "136"}, {135, "Cancel", cancel}, {135, "1008", "136"}, {135, "1008", "137", 2},
        {136, "Back", "135"}, {136, "Next", "137"}, {136, "Cancel", cancel}, {136, "1020", "137"}, {136, "1019", "137"},
        {137, "Back", "136"}, {137, "Next", "139 verified"}, {137, "Cancel", cancel}, {137, "1027", "139 verified"},
        {138, "Back", "137"}, {138, "Finish", finish}, {138, "Cancel", cancel}, {138, "1032", "138 box"},
        {139, "Back", "137"}, {139, "Next", "140"}, {139, "Cancel", cancel},
        {140, "Back", "139"}, {140, "Next", "152"}, {140, "Cancel", cancel},
        {140, "1043", "140 file Select a Tarvel boot file."}, {140, "1047", "140 file Select a Tarvel code file."},
        {140, "1042", "152"}, {140, "1042", "154 run", 2}, {140, "1042", "ended by Finish run", 3},
        {152, "Back", "140"}, {152, "Next", "154 run"}, {152, "Cancel", cancel}, {152, "1051", "154 run"},
        {152, "Next", "ended by Finish run", 2},  // the focus passes from Next to Finish
        {153, "Back", "152"}, {153, "Finish", finish}, {153, "Cancel", cancel}, {153, "1056", "153 box"},
        {154, "Back", "152"}, {154, "Finish", finish}, {154, "Cancel", cancel},
    };
    uitest::JoiningThreadStarter threads;
    platform::ScopedPlatform threadScope{{nullptr, nullptr, nullptr, &threads}};
    threads.replacement = [](void* p) {
        auto* params = static_cast<UpgradeThreadParams*>(p);
        params->settings->upgradeResult.store(0);
        params->settings->upgradeDone.store(true);
        params->dialog->showFinished(0);
    };
    uitest::FinishClicker enterOnFinished([](CDownloadDlg& d) {
        ASSERT_EQ(widgetOf(d)->focusWidget(), itemWidget(d, CDownloadDlg::kButton));
        QTest::keyClick(widgetOf(d)->focusWidget(), Qt::Key_Return);
    });
    std::vector<std::string> fileTitles;
    CFileDialog::setScript([&](const CFileDialog::Request& r) {
        fileTitles.push_back(r.title);
        return std::optional<std::string>{};
    });
    bool verified = false;
    int ended = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.page) + " focus " + c.focus);
        verified = false;
        ended = 0;
        makeWizard();
        settings().bootFile = "/fw/tarvelboot.dmf";
        settings().codeFile = "/fw/tarvel.dmf";
        wizard->page4.setVerification([&](UpgradeSettings&) { return verified = true, 0; });
        QObject::connect(&window(), &QDialog::finished, [&](int r) { ended = r; });
        goTo(c.page);
        window().activateWindow();
        QWidget* target = find(c.focus);
        ASSERT_TRUE(target && target->isVisible() && target->isEnabled());
        target->setFocus(Qt::TabFocusReason);
        notifier.clear();
        fileTitles.clear();
        const int runsBefore = threads.started;
        for (int i = 0; i < c.enters; ++i) {
            ASSERT_NE(window().focusWidget(), nullptr);
            QTest::keyClick(window().focusWidget(), Qt::Key_Return);
            pumpEvents();
        }
        threads.join();
        std::string outcome = ended == platform::IDCANCEL ? cancel : ended == ID_WIZFINISH ? finish : std::to_string(active());
        outcome += verified ? " verified" : "";
        outcome += notifier.boxes().empty() ? "" : " box";
        for (const auto& title : fileTitles)
            outcome += " file " + title;
        outcome += threads.started != runsBefore ? " run" : "";
        EXPECT_EQ(outcome, c.outcome);
        // Arriving on the erase page from the file page's edit box, the focus is on the checked
        // radio button (Space on the other would choose to erase the configuration).
        if (c.page == 140 && c.focus == "1042" && c.enters == 1) {
            EXPECT_EQ(window().focusWidget(), control(1051));
        }
    }
    CFileDialog::setScript(nullptr);
}

// Tab and Shift+Tab go round each page's tab stops by the templates' flags (WS_TABSTOP; in a
// radio group the checked button), then the sheet's enabled buttons, and round again. Arrows on a
// radio button move within its group and check as they go; on a push button they move nothing.
TEST_F(Wizard, TabGoesRoundThePageThenTheSheetButtonsAndArrowsStayInTheRadioGroup)
{
    settings().comPort = "COM2";  // checked: 1008 COM2, 1027 Yes, 1051 No
    struct Case {
        int page;
        std::vector<std::string> cycle;  // from the first control on
        const char* arrows = "";         // from the cycle's first control: Down, Up, Right, Left, Shift/Ctrl+Down
        std::vector<std::string> arrowFocus = {};  // where each leaves the focus (a radio: checked)
    };
    const Case cases[] = {
        {132, {"Next", "Cancel"}, "DURLSC", {"Next", "Next", "Next", "Next", "Next", "Next"}},
        {135, {"1008", "Back", "Next", "Cancel"}, "DDUL", {"1007", "1008", "1007", "1008"}},
        {136, {"1020", "1018", "1019", "Back", "Next", "Cancel"}},
        {137, {"1027", "Back", "Next", "Cancel"}, "DRU", {"1028", "1027", "1028"}},
        {138, {"1032", "Back", "Finish", "Cancel"}, "D", {"1032"}},
        {139, {"Back", "Next", "Cancel"}},
        {140, {"1042", "1043", "1046", "1047", "Back", "Next", "Cancel"}},
        {152, {"1051", "Back", "Next", "Cancel"}, "UD", {"1050", "1051"}},
        {153, {"1056", "Back", "Finish", "Cancel"}},
        {154, {"Back", "Finish", "Cancel"}},
    };
    auto focusName = [&]() -> std::string {
        QWidget* f = window().focusWidget();
        for (const auto& [name, psbtn] : buttons)
            if (f == ui::qt::sheetButton(*wizard, psbtn))
                return name;
        const int id = ui::controlId(f);
        const auto* radio = qobject_cast<QRadioButton*>(f);
        return std::to_string(id) + (radio && !radio->isChecked() ? " unchecked" : "");
    };
    const std::map<char, std::pair<Qt::Key, Qt::KeyboardModifiers>> arrowKeys = {
        {'D', {Qt::Key_Down, Qt::NoModifier}},   {'U', {Qt::Key_Up, Qt::NoModifier}},
        {'R', {Qt::Key_Right, Qt::NoModifier}},  {'L', {Qt::Key_Left, Qt::NoModifier}},
        {'S', {Qt::Key_Down, Qt::ShiftModifier}}, {'C', {Qt::Key_Down, Qt::ControlModifier}}};
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window().focusWidget(), key, mods);
        pumpEvents(1);
        return focusName();
    };
    start();
    window().activateWindow();
    ASSERT_EQ(wizard->GetPageCount(), int(std::size(cases)));
    int index = 0;  // the cases are in the sheet's order
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(wizard->GetPage(index++)->templateId(), c.page);
        goTo(c.page);
        EXPECT_EQ(window().windowTitle(), QStringLiteral("Tarvel Verification and Upgrade Utility"));
        find(c.cycle.front())->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(focusName(), c.cycle.front());
        for (std::size_t i = 1; i <= c.cycle.size(); ++i)
            EXPECT_EQ(press(Qt::Key_Tab), c.cycle[i % c.cycle.size()]) << "Tab " << i;
        for (std::size_t i = c.cycle.size(); i-- > 0;)
            EXPECT_EQ(press(Qt::Key_Backtab, Qt::ShiftModifier), c.cycle[i]) << "Shift+Tab back to " << i;
        std::vector<std::string> arrowed;
        for (const char* k = c.arrows; *k; ++k)
            arrowed.push_back(press(arrowKeys.at(*k).first, arrowKeys.at(*k).second));
        EXPECT_EQ(arrowed, c.arrowFocus);
    }
}

TEST_F(Wizard, NonInteractiveModePressesNextSixTimesOnceShownAndOnlyOnce)
{
    settings().nonInteractive = true;  // as -n sets it
    settings().verifyFirst = false;
    settings().comPort = "COM2";
    int verifications = 0;
    wizard->page4.setVerification([&](UpgradeSettings&) { return ++verifications, 0; });
    std::vector<int> visited;
    bool shownAtFirstPress = false;
    wizard->pageActivated = [&](int id) {
        visited.push_back(id);
        if (id == 135)
            shownAtFirstPress = window().isVisible();
        if (id == 136)
            wizard->OnKickIdle(0, 0);  // an idle call inside a press starts no second round
    };
    later([&] {
        EXPECT_GE(wizard->idleCount(), 2);  // later idle calls moved nothing
        wizard->PressButton(PSBTN_CANCEL);
    }, 90);
    wizard->DoModal();
    EXPECT_TRUE(shownAtFirstPress);
    EXPECT_EQ(visited, (std::vector<int>{132, 135, 136, 137, 140}));
    EXPECT_EQ(verifications, 0);  // "No" on the verification page: straight to the files
    // No files given: presses five and six are refused on the file page, and no others.
    EXPECT_EQ(boxTexts().size(), 2u);
    EXPECT_FALSE(settings().nonInteractive);
    EXPECT_EQ(settings().comPort, "COM2");
    EXPECT_EQ(settings().newVersion, "2.0.10");
}

}  // namespace
