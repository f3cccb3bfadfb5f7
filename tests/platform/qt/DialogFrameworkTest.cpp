// Dialogs built from templates: unit conversion, ids, control kinds, button and repaint helpers.
#include "platform/qt/CDialog.h"
#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogUnits.h"
#include "platform/qt/Resources.h"
#include "app/ui/Resources.h"
#include "platform/qt/GuiTestApp.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

struct DialogFramework : ::testing::Test {
    void SetUp() override { guiApp(); }
};

TEST(DialogUnits, ConvertWithTheBaseUnitsAndRoundLikeMulDiv)
{
    const ui::DialogUnits u(6, 13);
    EXPECT_EQ(u.toPixelsX(322), 483);
    EXPECT_EQ(u.toPixelsY(156), 254);  // 253.5 rounds up
    EXPECT_EQ(u.toPixelsY(10), 16);    // 16.25
    EXPECT_EQ(u.toPixels(ui::DuRect{85, 15, 235, 60}), QRect(128, 24, 353, 98));
}

TEST_F(DialogFramework, EveryTemplateControlIsFoundByIdAtItsProportionalPlace)
{
    for (int id : res::kAllDialogs) {
        SCOPED_TRACE(id);
        const ui::DialogTemplate* t = res::findDialog(id);
        ASSERT_NE(t, nullptr);
        CDialog dlg(id);
        ASSERT_TRUE(dlg.Create());
        EXPECT_EQ(dlg.size(), dlg.units().toPixels(t->width, t->height));
        for (const auto& c : t->controls) {
            if (c.id == ui::kStaticId)
                continue;
            QWidget* w = dlg.GetDlgItem(c.id);
            ASSERT_NE(w, nullptr) << c.id;
            EXPECT_EQ(w->objectName(), QString::number(c.id));
            if (c.kind == ui::ControlKind::Picture) {
                EXPECT_EQ(w->geometry(), QRect(0, 0, res::kSideBitmapWidth, res::kSideBitmapHeight));
                continue;
            }
            const QRect px = w->geometry();
            EXPECT_EQ(px, dlg.units().toPixels(c.rect));
            // Proportional: a control's right edge lands where its right edge in units maps to.
            EXPECT_LE(std::abs(px.right() + 1 - dlg.units().toPixelsX(c.rect.x + c.rect.width)), 1);
        }
    }
}

TEST_F(DialogFramework, ControlKindsBehaveAsTheirTemplateStylesSay)
{
    CDialog version(res::IDD_VERSION);
    ASSERT_TRUE(version.Create());
    EXPECT_EQ(version.item<QLineEdit>(1019)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(version.item<QLineEdit>(1018)->echoMode(), QLineEdit::Normal);
    // Texts are Latin-1 bytes both ways.
    const std::string bytes = "caf\xe9 \"q\"";
    version.SetDlgItemText(1018, bytes);
    EXPECT_EQ(version.GetDlgItemText(1018), bytes);
    EXPECT_EQ(version.GetDlgItemText(1009), "How to connect to the Tarvel?");

    CDialog agreement(res::IDD_AGREEMENT);
    ASSERT_TRUE(agreement.Create());
    auto* rich = agreement.item<QTextEdit>(1079);
    ASSERT_NE(rich, nullptr);
    EXPECT_TRUE(rich->isReadOnly());
    EXPECT_EQ(rich->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    CDialog download(res::IDD_DOWNLOAD);
    ASSERT_TRUE(download.Create());
    EXPECT_FALSE(download.GetDlgItem(1063)->isEnabled());
    EXPECT_FALSE(download.GetDlgItem(1)->isEnabled());
    EXPECT_TRUE(download.item<QLineEdit>(1061)->isReadOnly());
    download.setProgressRange(1065, 0, 70000);  // wider than the 16-bit range: clamped, not wrapped
    EXPECT_EQ(download.item<QProgressBar>(1065)->maximum(), 65535);
    download.setProgressPos(1065, 80000);
    EXPECT_EQ(download.item<QProgressBar>(1065)->value(), 65535);

    // Clearing the checked radio of an exclusive pair works (the toolkit alone would refuse).
    CDialog verify(res::IDD_VERIFY);
    ASSERT_TRUE(verify.Create());
    verify.CheckDlgButton(1027, BST_CHECKED);
    verify.CheckDlgButton(1027, BST_UNCHECKED);
    EXPECT_EQ(verify.IsDlgButtonChecked(1027), BST_UNCHECKED);
    EXPECT_EQ(verify.IsDlgButtonChecked(1028), BST_UNCHECKED);
}

class CountingDialog : public CDialog {
public:
    CountingDialog() : CDialog(res::IDD_VERIFY) {}
    void OnPaint() override { ++paints; }
    int paints = 0;
};

TEST_F(DialogFramework, RepaintRunsOnShowAndInvalidateButNotWhenAControlRedraws)
{
    CountingDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    pumpEvents();
    const int afterShow = dlg.paints;
    EXPECT_GE(afterShow, 1);

    QTest::mouseClick(dlg.GetDlgItem(1028), Qt::LeftButton);
    dlg.GetDlgItem(1027)->update();
    dlg.repaint();
    pumpEvents();
    EXPECT_EQ(dlg.paints, afterShow);

    dlg.invalidate();
    dlg.invalidate();  // coalesced
    EXPECT_EQ(dlg.paints, afterShow);  // queued, not immediate
    pumpEvents();
    EXPECT_EQ(dlg.paints, afterShow + 1);

    CDialog::invalidateAll();
    pumpEvents();
    EXPECT_EQ(dlg.paints, afterShow + 2);

    dlg.hide();
    dlg.invalidate();
    pumpEvents();
    EXPECT_EQ(dlg.paints, afterShow + 2);  // a hidden dialog does not paint
}

class HookDialog : public CDialog {
public:
    HookDialog() : CDialog(res::IDD_DOWNLOAD) {}
    bool OnInitDialog() override
    {
        initSawControls = GetDlgItem(1061) != nullptr;
        return true;
    }
    // Each hook counts its call and does the default handling only when allowed.
    void OnOK() override { hook(oks, [this] { CDialog::OnOK(); }); }
    void OnCancel() override { hook(cancels, [this] { CDialog::OnCancel(); }); }
    void OnClose() override { hook(closes, [this] { CDialog::OnClose(); }); }
    template <class Default>
    void hook(int& count, Default byDefault)
    {
        ++count;
        if (allowClose)
            byDefault();
    }
    bool initSawControls = false;
    bool allowClose = false;
    int oks = 0, cancels = 0, closes = 0;
};

TEST_F(DialogFramework, EnterEscapeAndCloseBoxReachTheHooksEvenWithOkDisabled)
{
    HookDialog dlg;
    later([&] {
        EXPECT_TRUE(dlg.initSawControls);
        QTest::keyClick(&dlg, Qt::Key_Return);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        dlg.close();
        EXPECT_TRUE(dlg.isVisible());  // every hook refused
        EXPECT_EQ(dlg.oks, 1);
        EXPECT_EQ(dlg.cancels, 1);
        EXPECT_EQ(dlg.closes, 1);
        dlg.allowClose = true;
        dlg.close();  // the default close handling ends the dialog like Cancel
    });
    EXPECT_EQ(dlg.DoModal(), platform::IDCANCEL);
}

TEST_F(DialogFramework, ButtonOneEndsTheDialogWithOkAndAMissingTemplateFails)
{
    CDialog dlg(res::IDD_AGREEMENT);
    later([&] { QTest::mouseClick(dlg.GetDlgItem(1), Qt::LeftButton); });
    EXPECT_EQ(dlg.DoModal(), platform::IDOK);
    // Enter presses the push button with the focus; from the agreement text it means OK.
    const std::pair<int, int> enterOn[] = {{1, platform::IDOK}, {2, platform::IDCANCEL}, {1079, platform::IDOK}};
    for (const auto& [focus, result] : enterOn) {
        CDialog agreement(res::IDD_AGREEMENT);
        later([&, focus = focus] {
            agreement.GetDlgItem(focus)->setFocus();
            QTest::keyClick(agreement.focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(agreement.DoModal(), result) << focus;
    }
    CDialog missing(4242);
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(DialogFramework, SideBitmapIsA16ColourPictureOfTheFixedSize)
{
    const QImage img = res::loadBitmap(res::IDB_SIDE);
    EXPECT_EQ(img.size(), QSize(121, 261));
    EXPECT_LE(img.colorCount(), 16);
    EXPECT_GT(img.colorCount(), 2);
    EXPECT_TRUE(res::loadBitmap(1).isNull());
}

}  // namespace
