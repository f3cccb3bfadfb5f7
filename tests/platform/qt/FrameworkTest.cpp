// The window framework on Qt: dialogs from templates (ids, kinds, units, default button, run-time
// controls), the repaint rule and the hooks, the wizard sheet (routes, buttons, idle calls),
// palette bitmaps, message boxes from any thread, the local loop and the report's
// line text.
#include "app/UsageText.h"
#include "app/ui/Resources.h"
#include "platform/ui/CPropertyPage.h"
#include "platform/ui/LocalLoop.h"
#include "platform/ui/Resources.h"
#include "platform/ui/UiReport.h"
#include "support/WindowTest.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QMessageBox>
#include <QTest>
#include <QTextEdit>

#include <filesystem>

namespace {

using platform::QtNotifier;

struct Framework : ::testing::Test {
    void SetUp() override { guiApp(); }
};

TEST(DialogUnits, ConvertWithTheBaseUnitsAndRoundHalfAwayFromZero)
{
    const ui::DialogUnits u(6, 13);
    EXPECT_EQ(u.toPixels(ui::DuRect{85, 15, 235, 60}), (ui::PixelRect{128, 24, 353, 98}));
    EXPECT_EQ(u.toPixelsY(156), 254);  // 253.5
    EXPECT_EQ(u.toPixelsY(10), 16);    // 16.25
    EXPECT_EQ(u.toPixelsX(-1), -2);    // -1.5
}

TEST_F(Framework, EveryTemplateControlIsFoundByIdAtItsPlaceWithItsDefaultButton)
{
    for (int id : res::kAllDialogs) {
        const ui::DialogTemplate* t = res::findDialog(id);
        CDialog dlg(id);
        ASSERT_TRUE(dlg.Create());
        const ui::PixelSize size = dlg.units().toPixels(t->width, t->height);
        EXPECT_EQ(widgetOf(dlg)->size(), QSize(size.width, size.height)) << id;
        for (const auto& c : t->controls) {
            QWidget* w = itemWidget(dlg, c.id);
            const ui::PixelRect r = dlg.units().toPixels(c.rect);
            EXPECT_TRUE(c.id == ui::kStaticId || (w && (c.kind == ui::ControlKind::Picture || w->geometry() == QRect(r.x, r.y, r.width, r.height))))
                << id << " " << c.id;
            if (auto* b = qobject_cast<QPushButton*>(w)) {
                EXPECT_EQ(b->isDefault(), c.kind == ui::ControlKind::DefPushButton) << id << " " << c.id;
            }
        }
    }
    EXPECT_EQ(CDialog(4242).DoModal(), -1);
}

TEST_F(Framework, ControlsDoWhatTheirKindAndStyleSay)
{
    CDialog version(res::IDD_VERSION), agreement(res::IDD_AGREEMENT), download(res::IDD_DOWNLOAD), verify(res::IDD_VERIFY);
    ASSERT_TRUE(version.Create() && agreement.Create() && download.Create() && verify.Create());
    EXPECT_EQ(item<QLineEdit>(version, 1019)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(item<QLineEdit>(version, 1018)->echoMode(), QLineEdit::Normal);
    const std::string bytes = "caf\xe9 \"q\"";  // Latin-1 both ways
    version.SetDlgItemText(1018, bytes);
    EXPECT_EQ(version.GetDlgItemText(1018), bytes);
    version.setItemFocus(1018);
    EXPECT_EQ(item<QLineEdit>(version, 1018)->selectedText().size(), 8);
    EXPECT_TRUE(item<QTextEdit>(agreement, 1079)->isReadOnly());
    EXPECT_EQ(item<QTextEdit>(agreement, 1079)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(download.isItemEnabled(1));
    download.setProgressRange(1065, 0, 70000);  // wider than 16 bits: clamped, not wrapped
    download.setProgressPos(1065, 80000);
    EXPECT_EQ(item<QProgressBar>(download, 1065)->value(), 65535);
    verify.CheckDlgButton(1027, BST_CHECKED);
    verify.CheckDlgButton(1027, BST_UNCHECKED);  // the toolkit alone refuses to clear it
    EXPECT_EQ(verify.IsDlgButtonChecked(1027) + verify.IsDlgButtonChecked(1028), BST_UNCHECKED);
    // Run-time controls: hidden until shown, at their place, one per id. Showing them, and the
    // marquee bar, are the verification page's busy test.
    ASSERT_TRUE(verify.addControl({900, ui::ControlKind::ProgressBar, {85, 130, 150, 9}, "", ui::kMarquee | ui::kHidden, 0}));
    EXPECT_FALSE(verify.addControl({900, ui::ControlKind::Static, {0, 0, 9, 9}, "twice", ui::kNone, 0}));
    EXPECT_FALSE(verify.isItemVisible(900));
    EXPECT_EQ(itemWidget(verify, 900)->geometry(), QRect(149, 228, 263, 16));
}

class HookDialog : public CDialog {
public:
    explicit HookDialog(int id = res::IDD_DOWNLOAD, CDialog* parent = nullptr) : CDialog(id, parent) {}
    void OnPaint() override { ++paints; }
    void OnCancel() override { if (++cancels && allowClose) CDialog::OnCancel(); }
    void OnClose() override { if (++closes && allowClose) CDialog::OnClose(); }
    // Created and shown, its first paints done.
    HookDialog& show()
    {
        EXPECT_TRUE(Create());
        widgetOf(*this)->show();
        pumpEvents();
        return *this;
    }
    bool allowClose = false;
    int paints = 0, cancels = 0, closes = 0;
};

TEST_F(Framework, RepaintRunsOnShowAndInvalidateButNotWhenAControlRedraws)
{
    HookDialog dlg(res::IDD_VERIFY);
    const int shown = dlg.show().paints;
    EXPECT_GE(shown, 1);
    QTest::mouseClick(itemWidget(dlg, 1028), Qt::LeftButton);
    widgetOf(dlg)->repaint();
    dlg.invalidate();
    dlg.invalidate();  // coalesced, and queued rather than immediate
    EXPECT_EQ(dlg.paints, shown);
    pumpEvents();
    EXPECT_EQ(dlg.paints, shown + 1);
    CDialog::invalidateAll();
    pumpEvents();
    EXPECT_EQ(dlg.paintCount(), shown + 2);
    // A child dialog paints with its parent; the toolkit's own dialogs beside it (a message box
    // is a QDialog too) are never taken for ours, even while they are exposed.
    HookDialog child(res::IDD_VERIFY, &dlg);
    child.show();
    QMessageBox box(QMessageBox::Warning, "t", "x", QMessageBox::Ok, widgetOf(dlg));
    box.show();
    pumpEvents();
    const int childShown = child.paints;
    dlg.invalidate();
    box.move(box.pos() + QPoint(40, 30));
    pumpEvents();
    EXPECT_EQ(child.paints, childShown + 1);
    const int visiblePaints = dlg.paints;
    widgetOf(dlg)->hide();
    dlg.invalidate();
    pumpEvents();
    EXPECT_EQ(dlg.paints, visiblePaints);  // a hidden dialog does not paint
}

// Enter and Escape reaching OnOK and OnCancel (Enter even with OK disabled) is the progress
// window's test, which refuses both with a beep while its run lasts.
TEST_F(Framework, TheCloseBoxReachesItsHookAndEnterPressesTheFocusedButton)
{
    HookDialog dlg;
    later([&] {
        widgetOf(dlg)->close();
        EXPECT_EQ(std::make_pair(dlg.cancels, dlg.closes), std::make_pair(0, 1));
        dlg.allowClose = true;
        widgetOf(dlg)->close();  // by default like Cancel
    });
    EXPECT_EQ(dlg.DoModal(), platform::IDCANCEL);
    for (const auto& [focus, result] : {std::pair{1, platform::IDOK}, {2, platform::IDCANCEL}, {1079, platform::IDOK}}) {
        CDialog agreement(res::IDD_AGREEMENT);
        later([&, focus = focus] {
            itemWidget(agreement, focus)->setFocus();
            QTest::keyClick(widgetOf(agreement)->focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(agreement.DoModal(), result) << focus;
    }
}

// A page whose answers the test sets.
class ScriptedPage : public CPropertyPage {
public:
    explicit ScriptedPage(int templateId) : CPropertyPage(templateId) {}
    bool OnInitDialog() override { return ++inits, true; }
    bool OnSetActive() override
    {
        sheet()->SetWizardButtons(buttons);
        return true;
    }
    int OnWizardNext() override
    {
        if (++nexts && onNext)
            onNext();
        return next;
    }
    int OnWizardBack() override { return back; }
    unsigned buttons = PSWIZB_BACK | PSWIZB_NEXT;
    int next = 0, back = 0, inits = 0, nexts = 0;
    std::function<void()> onNext;
};

class TestSheet : public CPropertySheet {
public:
    TestSheet()
    {
        for (int i = 0; i < 5; ++i)
            AddPage(&pages[i]);
    }
    long OnKickIdle(long, long) override
    {
        if (onIdle)
            onIdle();
        return 1;
    }
    int at() const { return GetActivePage()->templateId(); }
    QWidget* window() const { return widgetOf(*this); }
    ScriptedPage pages[5] = {ScriptedPage(132), ScriptedPage(135), ScriptedPage(136), ScriptedPage(137), ScriptedPage(138)};
    std::function<void()> onIdle;
};

TEST_F(Framework, SheetGoesExactlyWhereThePageSaysAndIgnoresHiddenOrDisabledButtons)
{
    TestSheet s;
    s.prepare();
    const int steps[][5] = {
        // page, its Next, its Back, button, page reached
        {0, 0, 0, PSBTN_NEXT, 135},    // 0: adjacent
        {1, 137, 0, PSBTN_NEXT, 137},  // a template id
        {3, 0, 0, PSBTN_BACK, 136},    // 0 on Back: the previous in table order, not where we came from
        {2, -1, 0, PSBTN_NEXT, 136},   // stay
        {2, 999, 0, PSBTN_NEXT, 136},  // no page has it: stay
        {2, 0, 132, PSBTN_BACK, 132},
    };
    for (const auto& st : steps) {
        s.pages[st[0]].next = st[1];
        s.pages[st[0]].back = st[2];
        s.PressButton(st[3]);
        EXPECT_EQ(s.at(), st[4]);
    }
    EXPECT_EQ(s.pages[0].inits, 1);  // controls built once per page
    s.pages[1].buttons = PSWIZB_FINISH;
    s.pages[1].nexts = 0;
    s.SetActivePage(1);
    EXPECT_TRUE(s.isButtonVisible(PSBTN_FINISH) && !s.isButtonVisible(PSBTN_NEXT) && !s.isButtonEnabled(PSBTN_BACK));
    s.PressButton(PSBTN_NEXT);
    s.PressButton(PSBTN_BACK);
    EXPECT_EQ(s.pages[1].nexts, 0);
    EXPECT_EQ(s.at(), 135);
    EXPECT_EQ(s.window()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly).size(), 4);  // no Help, no Apply
}

TEST_F(Framework, IdleComesOncePerBurstFromTheSheetsLoopOnlyAndPressesAreHandledCompletely)
{
    TestSheet s;
    int idles = 0, nestedIdles = 0;
    bool inNested = false, movedWhenPressReturned = false, visibleAtFirstIdle = false;
    s.pages[0].onNext = [&] {
        // A local loop (a page waiting for its thread) gets no idle call of the sheet's.
        ui::LocalLoop nested;
        inNested = true;
        later([&] { nested.quit(); }, 30);
        nested.exec();
        inNested = false;
    };
    s.onIdle = [&] {
        nestedIdles += inNested;
        if (++idles == 1) {
            visibleAtFirstIdle = s.window()->isVisible() && widgetOf(*s.GetActivePage())->isVisible();
            s.PressButton(PSBTN_NEXT);
            movedWhenPressReturned = s.at() == 135;
            later([&] { s.PressButton(PSBTN_CANCEL); }, 50);
        }
    };
    EXPECT_EQ(s.DoModal(), platform::IDCANCEL);
    EXPECT_TRUE(visibleAtFirstIdle && movedWhenPressReturned);
    EXPECT_EQ(nestedIdles, 0);
    EXPECT_LT(idles, 20);  // not a busy loop
    EXPECT_EQ(s.idleCount(), idles);
}

TEST(Bitmap, DrawingClipsAndTheSidePictureIsAPaletteImageOfItsSize)
{
    ui::Bitmap b(8, 6, {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
    b.fillRect(-2, -2, 4, 3, 1);                         // clipped to (0,0)-(1,0)
    b.fillPolygon({{2, 2}, {6, 2}, {6, 5}, {2, 5}}, 1);  // pixel centres inside: x 2..5, y 2..4
    b.line(7, 5, 4, 2, 2);                               // both end points
    std::string rows;
    for (int y = 0; y < b.height; ++y, rows += '|')
        for (int x = 0; x < b.width; ++x)
            rows += char('0' + b.at(x, y));
    EXPECT_EQ(rows, "11000000|00000000|00112100|00111200|00111120|00000002|");
    const QImage side = ui::qt::toQImage(res::loadBitmap(res::IDB_SIDE));
    EXPECT_EQ(side.size(), QSize(121, 261));
    EXPECT_EQ(side.pixel(0, 0), qRgb(0, 0, 128));  // the dark top of the sky, from the 16-colour palette
    EXPECT_TRUE(res::loadBitmap(1).isNull());
}

TEST_F(Framework, BoxesFromAnyThreadAreShownOnTheGuiThreadWithTheirIconAndCaption)
{
    for (const auto& [type, icon] : {std::pair{platform::MB_OK, QMessageBox::Warning}, {platform::MB_ICONEXCLAMATION, QMessageBox::Warning},
                                     {platform::MB_ICONASTERISK, QMessageBox::Information}, {platform::MB_ICONHAND, QMessageBox::Critical},
                                     {platform::MB_ICONQUESTION, QMessageBox::Question}})
        EXPECT_EQ(QtNotifier::iconFor(type), icon) << type;
    // The file that runs, not argv[0] ("upgrade" here): what a renamed program shows.
    EXPECT_EQ(QtNotifier::caption().toStdString(), std::filesystem::read_symlink("/proc/self/exe").filename().string());
    QtNotifier n;
    n.setScript([](const QtNotifier::Box&) { return platform::IDOK; });
    HookDialog dlg(res::IDD_VERIFY);
    const int paints = dlg.show().paints;
    ui::LocalLoop loop;
    std::thread worker([&] {
        n.beep(platform::MB_ICONASTERISK);
        n.messageBox("from the worker", platform::MB_OK);
        n.messageBox("second", platform::MB_OK);
        loop.quit();
    });
    loop.exec();
    worker.join();
    pumpEvents();
    ASSERT_EQ(n.boxes().size(), 2u);
    EXPECT_EQ(n.boxes()[0].text, "from the worker");
    EXPECT_TRUE(n.boxes()[0].onGuiThread && !n.boxes()[0].calledOnGuiThread);
    EXPECT_EQ(n.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
    EXPECT_EQ(dlg.paints, paints + 2);  // covered by each box: one repaint after each
}

// The usage box as a person sees it: read from its pixels, every option's description starts
// three tab stops (24 average character widths) right of the text's edge, no line is wrapped,
// and a box with no owner is centred on the screen.
TEST_F(Framework, TheUsageBoxLinesUpItsTabStopsLikeTheSystemBox)
{
    QImage shot;
    QRect box, screen = QGuiApplication::primaryScreen()->availableGeometry();
    int average = 0, textLeft = 0, textBottom = 0;
    QTimer::singleShot(0, [&] {
        QWidget* mb = QApplication::activeModalWidget();
        ASSERT_TRUE(mb);
        shot = mb->grab().toImage();
        box = mb->frameGeometry();
        average = mb->fontMetrics().averageCharWidth();
        for (const QLabel* l : mb->findChildren<QLabel*>())
            if (l->isVisible() && !l->pixmap().isNull())
                textLeft = std::max(textLeft, l->geometry().right() + 1);
        textBottom = mb->findChild<QDialogButtonBox*>()->geometry().top();
        mb->close();
    });
    QtNotifier().messageBox(kUsageText, platform::MB_OK);
    ASSERT_FALSE(shot.isNull());
    EXPECT_LE((box.center() - screen.center()).manhattanLength(), 2);
    const QColor paper = shot.pixelColor(shot.width() - 1, textBottom - 1);
    auto ink = [&](int x, int y) { return qGray(shot.pixel(x, y)) < qGray(paper.rgb()) - 96; };
    // Bands of rows with ink are the text's lines; in each, the runs of inked columns split by
    // gaps wider than one character are its columns.
    std::vector<std::vector<int>> lines;
    std::vector<bool> columns(static_cast<std::size_t>(shot.width()));
    int left = shot.width();
    for (int y = 0; y <= textBottom; ++y) {
        bool any = false;
        for (int x = textLeft; y < textBottom && x < shot.width(); ++x)
            if (ink(x, y))
                columns[static_cast<std::size_t>(x)] = any = true;
        if (any || std::find(columns.begin(), columns.end(), true) == columns.end())
            continue;  // inside a band, or between two
        std::vector<int> starts;
        for (int x = textLeft, gap = 2 * average; x < shot.width(); ++x)
            if (columns[static_cast<std::size_t>(x)])
                (gap > average ? starts.push_back(x) : void()), gap = 0;
            else
                ++gap;
        left = std::min(left, starts.front());
        lines.push_back(starts);
        std::fill(columns.begin(), columns.end(), false);
    }
    ASSERT_EQ(lines.size(), 13u) << "three heading lines and ten options, none wrapped";
    for (std::size_t i = 3; i < lines.size(); ++i) {
        ASSERT_GE(lines[i].size(), 2u) << i;
        EXPECT_NEAR(lines[i][0] - left, 8 * average, 2) << i;
        EXPECT_NEAR(lines[i][1] - left, 24 * average, 2) << "description of option line " << i;
    }
}

TEST(UiReport, LinesAreFlatUtf8AndLabelsLoseTheirMnemonics)
{
    EXPECT_EQ(ui::UiReport::flat("&Next >\r\nSt\xe9p & go", true), "Next >\\nSt\xc3\xa9p  go");
    EXPECT_EQ(ui::UiReport::flat("a & b\n", false), "a & b\\n");
}

}  // namespace
