// The wizard sheet's navigation contract, button sets, ending and idle notification.
#include "platform/qt/CPropertyPage.h"
#include "platform/qt/CPropertySheet.h"
#include "app/ui/Resources.h"
#include "platform/qt/GuiTestApp.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A page whose answers the test sets.
class ScriptedPage : public CPropertyPage {
public:
    ScriptedPage(int templateId, unsigned initialButtons) : CPropertyPage(templateId), buttons(initialButtons) {}
    bool OnInitDialog() override { return ++inits, true; }
    bool OnSetActive() override
    {
        ++activations;
        sheet()->SetWizardButtons(buttons);
        return true;
    }
    int OnWizardNext() override
    {
        ++nexts;
        if (onNext)
            onNext();
        return next;
    }
    int OnWizardBack() override { return ++backs, back; }
    unsigned buttons;
    int next = 0, back = 0;
    int inits = 0, activations = 0, nexts = 0, backs = 0;
    std::function<void()> onNext;
};

class TestSheet : public CPropertySheet {
public:
    TestSheet()
    {
        const int ids[] = {132, 135, 136, 137, 138};
        for (int id : ids) {
            pages.push_back(std::make_unique<ScriptedPage>(id, PSWIZB_BACK | PSWIZB_NEXT));
            AddPage(pages.back().get());
        }
        SetWizardMode();
    }
    long OnKickIdle(long, long) override
    {
        if (onIdle)
            onIdle();
        return 1;
    }
    ScriptedPage& page(int i) { return *pages[static_cast<std::size_t>(i)]; }
    int activeTemplate() const { return GetActivePage()->templateId(); }
    std::vector<std::unique_ptr<ScriptedPage>> pages;
    std::function<void()> onIdle;
};

struct PropertySheet : ::testing::Test {
    void SetUp() override { guiApp(); }
};

TEST_F(PropertySheet, NextAndBackGoExactlyWhereThePageSays)
{
    TestSheet s;
    s.prepare();
    EXPECT_EQ(s.activeTemplate(), 132);
    EXPECT_EQ(s.page(0).inits, 1);

    s.PressButton(PSBTN_NEXT);  // 0: adjacent
    EXPECT_EQ(s.activeTemplate(), 135);
    s.page(1).next = 137;       // a template id jumps over 136
    s.PressButton(PSBTN_NEXT);
    EXPECT_EQ(s.activeTemplate(), 137);
    s.page(3).back = 0;         // 0 on Back: the previous page in table order, not the one we came from
    s.PressButton(PSBTN_BACK);
    EXPECT_EQ(s.activeTemplate(), 136);
    s.page(2).next = -1;        // stay
    s.PressButton(PSBTN_NEXT);
    EXPECT_EQ(s.activeTemplate(), 136);
    EXPECT_EQ(s.page(2).nexts, 1);
    s.page(2).next = 999;       // an id no page has: stay
    s.PressButton(PSBTN_NEXT);
    EXPECT_EQ(s.activeTemplate(), 136);
    s.page(2).back = 132;
    s.PressButton(PSBTN_BACK);
    EXPECT_EQ(s.activeTemplate(), 132);
    // Each activation calls OnSetActive; controls are built once per page.
    EXPECT_EQ(s.page(0).activations, 2);
    EXPECT_EQ(s.page(0).inits, 1);
    EXPECT_EQ(s.page(2).inits, 1);
    EXPECT_FALSE(s.page(2).isVisible() && s.page(0).isVisible());
}

TEST_F(PropertySheet, FinishTakesNextsPlaceAndDisabledButtonsIgnorePresses)
{
    TestSheet s;
    s.prepare();
    s.page(1).buttons = PSWIZB_BACK | PSWIZB_FINISH;
    s.PressButton(PSBTN_NEXT);
    EXPECT_EQ(s.activeTemplate(), 135);
    EXPECT_TRUE(s.finishButton()->isVisibleTo(&s));
    EXPECT_FALSE(s.nextButton()->isVisibleTo(&s));
    s.PressButton(PSBTN_NEXT);  // no Next on a Finish page
    EXPECT_EQ(s.page(1).nexts, 0);

    s.SetWizardButtons(PSWIZB_NEXT);
    EXPECT_FALSE(s.backButton()->isEnabled());
    s.PressButton(PSBTN_BACK);
    EXPECT_EQ(s.page(1).backs, 0);
    EXPECT_TRUE(s.cancelButton()->isEnabled());
    EXPECT_EQ(s.findChildren<QPushButton*>().size(), 4);  // Back, Next, Finish, Cancel; no Help or Apply
}

TEST_F(PropertySheet, FinishAndCancelEndTheSheetAtOnce)
{
    const std::pair<std::function<void(TestSheet&)>, int> ways[] = {
        {[](TestSheet& s) { s.PressButton(PSBTN_FINISH); }, ID_WIZFINISH},
        {[](TestSheet& s) { QTest::mouseClick(s.cancelButton(), Qt::LeftButton); }, platform::IDCANCEL},
        {[](TestSheet& s) { QTest::keyClick(&s, Qt::Key_Escape); }, platform::IDCANCEL},
    };
    for (const auto& [way, result] : ways) {
        TestSheet s;
        s.page(0).buttons = PSWIZB_FINISH;
        later([&] { way(s); });
        EXPECT_EQ(s.DoModal(), result);
    }
}

TEST_F(PropertySheet, LockedNavigationRefusesEveryWayOut)
{
    TestSheet s;
    later([&] {
        s.setNavigationLocked(true);
        s.PressButton(PSBTN_NEXT);
        s.PressButton(PSBTN_CANCEL);
        QTest::keyClick(&s, Qt::Key_Escape);
        s.close();
        EXPECT_TRUE(s.isVisible());
        EXPECT_EQ(s.page(0).nexts, 0);
        EXPECT_FALSE(s.nextButton()->isEnabled());
        s.setNavigationLocked(false);
        EXPECT_TRUE(s.nextButton()->isEnabled());
        s.PressButton(PSBTN_CANCEL);
    });
    EXPECT_EQ(s.DoModal(), platform::IDCANCEL);
}

TEST_F(PropertySheet, IdleComesAfterTheSheetIsShownAndNotFromNestedLoops)
{
    TestSheet s;
    int idles = 0;
    int nestedIdles = 0;
    bool inNested = false, nestedRan = false, movedWhenPressReturned = false;
    bool visibleAtFirstIdle = false;
    s.page(0).onNext = [&] {
        // A nested modal loop (a message box, the progress window) must not get the sheet's idle.
        QEventLoop nested;
        inNested = true;
        later([&] {
            nestedRan = true;
            nested.quit();
        }, 30);
        nested.exec();
        inNested = false;
    };
    s.onIdle = [&] {
        if (inNested)
            ++nestedIdles;
        if (++idles == 1) {
            visibleAtFirstIdle = s.isVisible() && s.GetActivePage()->isVisible();
            s.PressButton(PSBTN_NEXT);  // returns only after the handler's nested loop
            movedWhenPressReturned = nestedRan && s.activeTemplate() == 135;
            later([&] { s.PressButton(PSBTN_CANCEL); }, 50);
        }
    };
    EXPECT_EQ(s.DoModal(), platform::IDCANCEL);
    EXPECT_TRUE(visibleAtFirstIdle);
    EXPECT_TRUE(movedWhenPressReturned);
    EXPECT_EQ(nestedIdles, 0);
    // Once per wake-up, not a busy loop: a quiet 50 ms brings only a handful.
    EXPECT_GE(idles, 1);
    EXPECT_LT(idles, 20);
}

}  // namespace
