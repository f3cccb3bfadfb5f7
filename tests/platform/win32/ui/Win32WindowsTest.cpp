// The Win32 window backend on the real window system (under Wine: run with a display).
#include "app/UsageText.h"
#include "app/ui/Resources.h"
#include "platform/ui/CPropertyPage.h"
#include "platform/ui/CPropertySheet.h"
#include "platform/ui/CWaitCursor.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/GuiThread.h"
#include "platform/ui/LocalLoop.h"
#include "platform/win32/ui/Win32Notifier.h"
#include "platform/win32/ui/GuiThreadWindow.h"
#include "upgrade/ProgressState.h"
#include "upgrade/UpgradeWorker.h"
#include "platform/win32/ui/DialogImpl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <set>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

class Win32Windows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&icc);
        AfxInitRichEdit();
        ui::win32::becomeGuiThread();
    }
};

std::string classOf(HWND h)
{
    char name[64] = {};
    ::GetClassNameA(h, name, sizeof name);
    return name;
}

TEST_F(Win32Windows, TemplateControlsAreTheSystemsControlsAtTheProgramsDialogUnits)
{
    using ui::ControlKind;
    ui::DialogTemplate t{7, "Caption", 200, 120, "MS Sans Serif", 8, {}};
    struct Row {
        ui::ControlTemplate c;
        const char* cls;
        LONG type;  // the style bits that tell the kind (a button's whole type)
    };
    const std::vector<Row> rows = {
        {{1, ControlKind::DefPushButton, {5, 5, 50, 14}, "&OK", ui::kTabStop}, "Button", BS_DEFPUSHBUTTON},
        {{2, ControlKind::PushButton, {60, 5, 50, 14}, "Cancel", ui::kDisabled}, "Button", BS_PUSHBUTTON},
        {{3, ControlKind::AutoRadio, {5, 25, 60, 10}, "Yes", ui::kGroup}, "Button", BS_AUTORADIOBUTTON},
        {{4, ControlKind::GroupBox, {3, 22, 120, 30}, "Group"}, "Button", BS_GROUPBOX},
        {{5, ControlKind::Edit, {5, 60, 80, 12}, "text", ui::kReadOnly | ui::kBorder}, "Edit", ES_READONLY},
        {{6, ControlKind::Static, {90, 60, 80, 8}, "label"}, "Static", SS_LEFT},
        {{7, ControlKind::ProgressBar, {5, 80, 100, 9}, ""}, PROGRESS_CLASSA, 0},
        {{9, ControlKind::ProgressBar, {110, 80, 80, 9}, "", ui::kMarquee | ui::kHidden}, PROGRESS_CLASSA, PBS_MARQUEE},
        {{8, ControlKind::RichEdit, {5, 92, 190, 24}, "rich", ui::kVScroll}, "RichEdit20A", ES_READONLY},
    };
    for (const Row& r : rows)
        t.controls.push_back(r.c);
    const ui::win32::InMemoryTemplate binary(t, ui::win32::InMemoryTemplate::Use::ModalDialog);
    HWND dlg = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), static_cast<LPCDLGTEMPLATEA>(binary.data()),
                                            nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dlg, nullptr);
    char caption[32] = {};
    ::GetWindowTextA(dlg, caption, sizeof caption);
    EXPECT_STREQ(caption, "Caption");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.c.id);
        HWND h = ::GetDlgItem(dlg, r.c.id);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(classOf(h), r.cls);
        const LONG style = ::GetWindowLongA(h, GWL_STYLE);
        EXPECT_EQ(style & (classOf(h) == "Button" ? BS_TYPEMASK : r.type), r.type);
        EXPECT_EQ((style & WS_TABSTOP) != 0, (r.c.style & ui::kTabStop) != 0);
        EXPECT_EQ((style & WS_VISIBLE) == 0, (r.c.style & ui::kHidden) != 0);
        EXPECT_EQ(::IsWindowEnabled(h) == FALSE, (r.c.style & ui::kDisabled) != 0);
        char text[32] = {};
        ::GetWindowTextA(h, text, sizeof text);
        EXPECT_EQ(text, r.c.text);
        // 7 x 14 pixels per 4 x 8 units at 96 dpi, whatever the face's own units (within the
        // rounding of the conversion into them: up to 2 px with 6 x 13).
        const ui::DuRect& du = r.c.rect;
        const int want[] = {ui::mulDiv(du.x, 7, 4), ui::mulDiv(du.y, 14, 8), ui::mulDiv(du.x + du.width, 7, 4),
                            ui::mulDiv(du.y + du.height, 14, 8)};
        RECT got{};
        ::GetWindowRect(h, &got);
        ::MapWindowPoints(HWND_DESKTOP, dlg, reinterpret_cast<POINT*>(&got), 2);
        const LONG edges[] = {got.left, got.top, got.right, got.bottom};
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(edges[i], want[i], 2) << "edge " << i;
    }
    ::DestroyWindow(dlg);
}

struct ScriptPage : CPropertyPage {
    explicit ScriptPage(int id) : CPropertyPage(id) {}
    int OnWizardNext() override { return next; }
    int OnWizardBack() override { return back; }
    int next = 0, back = 0;
};

struct ScriptSheet : CPropertySheet {
    long OnKickIdle(long, long) override
    {
        if (auto run = std::exchange(onIdle, nullptr))
            run();
        return 0;
    }
    std::function<void()> onIdle;
};

void pressEnter()
{
    MSG m{::GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    ui::win32::dispatchMessage(m);
}

// Back, Next and Cancel: enabled or not.
std::vector<bool> enabledButtons(const CPropertySheet& sheet)
{
    std::vector<bool> out;
    for (int id : {0x3023, 0x3024, IDCANCEL})
        out.push_back(::IsWindowEnabled(::GetDlgItem(sheet.impl().hwnd, id)) != FALSE);
    return out;
}

// The wait cursor outlasts every window's answer to a mouse move (its own class cursor).
TEST_F(Win32Windows, TheWaitCursorStaysWhileWindowsAnswerMouseMoves)
{
    HWND h = ::CreateWindowA("Button", "", WS_POPUP, 0, 0, 40, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    auto mouseMove = [h] {
        ::SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    };
    const HCURSOR wait = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    const HCURSOR arrow = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    {
        CWaitCursor busy;
        EXPECT_EQ(mouseMove(), wait);
        { CWaitCursor nested; }
        EXPECT_EQ(mouseMove(), wait);
    }
    EXPECT_EQ(mouseMove(), arrow);
    ::DestroyWindow(h);
}

TEST_F(Win32Windows, WizardGoesWhereThePagesSayAndEnterPressesTheDefaultOrFocusedButton)
{
    ScriptPage welcome(res::IDD_WELCOME), port(res::IDD_PORT), version(res::IDD_VERSION), verify(res::IDD_VERIFY);
    ScriptSheet sheet;
    for (ScriptPage* p : {&welcome, &port, &version, &verify})
        sheet.AddPage(p);
    std::vector<int> shown;
    sheet.pageActivated = [&](int id) { shown.push_back(id); };
    welcome.next = res::IDD_VERIFY;
    verify.back = -1;
    sheet.onIdle = [&] {
        // Each press is handled completely before PressButton returns.
        sheet.PressButton(PSBTN_NEXT);
        EXPECT_EQ(sheet.GetActiveIndex(), 3);
        sheet.setNavigationLocked(true);  // the buttons show it: all disabled, then as the page set them
        EXPECT_EQ(enabledButtons(sheet), (std::vector<bool>{false, false, false}));
        verify.back = 0;
        sheet.PressButton(PSBTN_BACK);
        EXPECT_EQ(sheet.GetActiveIndex(), 3);
        sheet.setNavigationLocked(false);
        EXPECT_EQ(enabledButtons(sheet), (std::vector<bool>{true, true, true}));
        verify.back = -1;
        sheet.PressButton(PSBTN_BACK);
        EXPECT_EQ(sheet.GetActiveIndex(), 3);
        verify.back = 0;
        sheet.PressButton(PSBTN_BACK);
        EXPECT_EQ(sheet.GetActiveIndex(), 2);
        version.setItemFocus(1020);  // Enter in an edit box: Next, the default button
        pressEnter();
        EXPECT_EQ(sheet.GetActiveIndex(), 3);
        HWND next = ::GetDlgItem(sheet.impl().hwnd, 0x3024), finish = ::GetDlgItem(sheet.impl().hwnd, 0x3025);
        ::SetFocus(next);
        sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
        EXPECT_EQ(::GetFocus(), finish);
        pressEnter();  // on the focused Finish: the sheet ends
    };
    EXPECT_EQ(sheet.DoModal(), ID_WIZFINISH);
    EXPECT_EQ(shown, (std::vector<int>{res::IDD_WELCOME, res::IDD_VERIFY, res::IDD_VERSION, res::IDD_VERIFY}));
    EXPECT_GE(sheet.idleCount(), 1);
}

TEST_F(Win32Windows, CallsFromAnotherThreadRunOnTheGuiThreadWhileALocalLoopWaits)
{
    ui::LocalLoop loop;
    std::vector<bool> onGui;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            runOnGuiThread([&] { onGui.push_back(onGuiThread()); });
        loop.quit();
    });
    loop.exec();
    worker.join();
    EXPECT_EQ(onGui, (std::vector<bool>{true, true, true}));
}

// Measures texts in the fonts the controls really have and notes each one that does not fit:
// "<dialog>/<control> "<text>" needs WxH px in WxH". One line by GetTextExtentPoint32; a
// word-wrapped static as DrawText breaks it for the control (at white space, tabs expanded).
struct TextFit {
    std::vector<std::string> bad;
    std::set<std::string> faces;  // those the window system chose for the fonts asked for

    void check(int dialog, HWND control, const std::string& text, SIZE need, SIZE room)
    {
        if (need.cx <= room.cx && need.cy <= room.cy)
            return;
        std::string shown;
        for (char c : text.substr(0, 40))
            shown += c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
        bad.push_back(std::to_string(dialog) + "/" + std::to_string(static_cast<short>(::GetDlgCtrlID(control))) +
                      " \"" + shown + "\" needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) +
                      " px in " + std::to_string(room.cx) + "x" + std::to_string(room.cy));
    }
    // One control with its text (or the given one, in its font).
    void control(int dialog, HWND h, const std::string* given = nullptr)
    {
        char raw[512] = {};
        ::GetWindowTextA(h, raw, sizeof raw);
        const std::string text = given ? *given : raw;
        const std::string cls = classOf(h);
        const LONG type = ::GetWindowLongA(h, GWL_STYLE) & (cls == "Button" ? BS_TYPEMASK : SS_TYPEMASK);
        RECT client{};
        ::GetClientRect(h, &client);
        SIZE room{client.right, client.bottom};
        HDC dc = ::GetDC(h);
        const auto font = reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
        HGDIOBJ old = ::SelectObject(dc, font);
        TEXTMETRICA tm{};
        ::GetTextMetricsA(dc, &tm);
        char face[LF_FACESIZE] = {};
        ::GetTextFaceA(dc, sizeof face, face);
        if (font)
            faces.insert(face);
        SIZE need{}, zero{};
        ::GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &need);
        ::GetTextExtentPoint32A(dc, "0", 1, &zero);
        need.cy = tm.tmHeight;
        if (cls == "Static" && type == SS_BITMAP) {  // a picture: inside its dialog
            RECT r{}, page{};
            ::GetWindowRect(h, &r);
            ::MapWindowPoints(HWND_DESKTOP, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
            ::GetClientRect(::GetParent(h), &page);
            check(dialog, h, "(picture)", {r.right, r.bottom}, {page.right, page.bottom});
        } else if (cls == "RichEdit20A") {  // its lines break inside what it shows
            RECT lines{};
            ::SendMessageA(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&lines));
            check(dialog, h, "(text area)", {lines.right, lines.bottom}, room);
        } else if (!text.empty() && cls == "Static") {
            const std::string shown = text.substr(0, text.find_last_not_of('\n') + 1);  // no blank lines at the end
            RECT lines{0, 0, room.cx, 0};
            ::DrawTextA(dc, shown.data(), static_cast<int>(shown.size()), &lines,
                        DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
            check(dialog, h, text, {lines.right, lines.bottom}, room);
        } else if (!text.empty() && cls == "Button") {
            if (type == BS_AUTORADIOBUTTON)  // the indicator, and half a digit's width before the text
                need.cx += ::GetSystemMetrics(SM_CXMENUCHECK) + zero.cx / 2;
            else if (type == BS_GROUPBOX)
                need.cx += 2 * tm.tmAveCharWidth;
            else  // the button's edge and focus rectangle on both sides
                need.cx += 2 * (::GetSystemMetrics(SM_CXEDGE) + 1);
            check(dialog, h, text, need, room);
        } else if (!text.empty() && cls == "Edit") {
            const LRESULT margins = ::SendMessageA(h, EM_GETMARGINS, 0, 0);
            room.cx -= LOWORD(margins) + HIWORD(margins);
            check(dialog, h, text, need, room);
        }
        ::SelectObject(dc, old);
        ::ReleaseDC(h, dc);
    }
};

// Every text of every window fits its box with the fonts this backend asks for: the templates'
// own texts, the titles in their bold serif font, every status line of a run (the verdicts in
// bold), and each side picture inside its page.
TEST_F(Win32Windows, EveryTextFitsItsBoxWithTheFontsAskedFor)
{
    // The pages' title font, which is also the verdict's (bold "Times New Roman", cell height 16).
    const ui::Font title = ui::createFontA(16, 0, 0, 0, 700, false, false, false, 0, 0, 0, 0, 0x10, "Times New Roman");
    TextFit fit;
    for (int id : res::kAllDialogs) {
        CDialog d(id);
        ASSERT_TRUE(d.Create()) << id;
        HWND dlg = d.impl().hwnd;
        d.setItemFont(1009, title);
        for (HWND h = ::GetWindow(dlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
            fit.control(id, h);
        if (id == res::IDD_DOWNLOAD) {
            HWND status = ::GetDlgItem(dlg, 1061);
            for (const std::string line : {ProgressState::kInitialStatus, kStatusErasing, kStatusPreparingFlash,
                                           kStatusBootDownload, kStatusBootDone, kStatusCodeDownload})
                fit.control(id, status, &line);
            d.setItemFont(1061, title);  // the verdict's bold face
            for (const std::string line : {ProgressState::kCompleted, ProgressState::kFailed})
                fit.control(id, status, &line);
        }
    }
    for (const auto& m : fit.bad)
        std::cout << "misfit: " << m << "\n";
    std::cout << "text fit (Win32,";
    for (const std::string& face : fit.faces)
        std::cout << " " << face;
    std::cout << "): " << fit.bad.size() << " misfits\n";
    EXPECT_TRUE(fit.bad.empty());
}

// The usage box: every line of the tab-laid text fits its field unbroken (widths measured here
// with the font's own extents and stops every eight average characters), and the OK button
// stays below the field, inside the box.
TEST_F(Win32Windows, TheUsageBoxShowsEachColumnLineUnbroken)
{
    const std::string caption = platform::Win32Notifier::caption();
    LONG need = 0, field = 0, lines = 1, lineHeight = 0, fieldHeight = 0, buttonTop = 0, fieldBottom = 0;
    bool buttonInside = false;
    std::thread watcher([&] {
        HWND box = nullptr;
        for (int i = 0; i < 500 && !box; ++i, ::Sleep(10))
            box = ::FindWindowA("#32770", caption.c_str());
        ASSERT_TRUE(box);
        HWND text = nullptr, ok = ::GetDlgItem(box, IDOK);
        for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            if (::GetWindowTextLengthA(c) == static_cast<int>(std::strlen(kUsageText)))
                text = c;
        ASSERT_TRUE(text && ok);
        HDC dc = ::GetDC(text);
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(text, WM_GETFONT, 0, 0)));
        TEXTMETRICA tm{};
        ::GetTextMetricsA(dc, &tm);
        const LONG stop = 8 * tm.tmAveCharWidth;
        LONG x = 0;
        for (const char* p = kUsageText; *p; ++p) {
            SIZE s{};
            if (*p == '\n')
                need = std::max(need, x), x = 0, ++lines;
            else if (*p == '\t')
                x = (x / stop + 1) * stop;
            else if (::GetTextExtentPoint32A(dc, p, 1, &s))
                x += s.cx;
        }
        need = std::max(need, x), lineHeight = tm.tmHeight;
        ::ReleaseDC(text, dc);
        RECT t, b, client;
        ::GetWindowRect(text, &t), ::GetWindowRect(ok, &b), ::GetClientRect(box, &client);
        ::MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&client), 2);
        field = t.right - t.left, fieldHeight = t.bottom - t.top, fieldBottom = t.bottom, buttonTop = b.top;
        buttonInside = b.bottom <= client.bottom && b.right <= client.right && t.right <= client.right;
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    platform::Win32Notifier().messageBox(kUsageText, 0);  // no icon asked: the exclamation
    watcher.join();
    EXPECT_GE(field, need) << "the widest line, tabs expanded";
    EXPECT_GE(fieldHeight, lines * lineHeight);
    EXPECT_LT(fieldHeight, (lines + 2) * lineHeight) << "no room left for wrapped lines";
    EXPECT_GE(buttonTop, fieldBottom);
    EXPECT_TRUE(buttonInside) << "the field and the OK button stay within the box";
}

}  // namespace
