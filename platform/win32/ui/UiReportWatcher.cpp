// The Win32 backend's part of the report: the focus as the window system moves it (a CBT hook
// on the GUI thread sees every SetFocus, the dialog manager's and the system dialogs' too) and
// the description of a control window.
#include "platform/ui/UiReport.h"

#include "platform/win32/ui/DialogImpl.h"

namespace {

HHOOK g_hook = nullptr;

LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_SETFOCUS && wParam)
        ui::UiReport::focus(ui::win32::describeControl(reinterpret_cast<HWND>(wParam)));
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

BOOL CALLBACK reportIfButton(HWND hwnd, LPARAM)
{
    const ui::UiReport::Control c = ui::win32::describeControl(hwnd);
    if (::IsWindowVisible(hwnd) && (c.kind == ui::UiReport::Kind::Button || c.kind == ui::UiReport::Kind::Radio))
        ui::UiReport::control(c);
    return TRUE;
}

}  // namespace

namespace ui {

void UiReport::startWatching()
{
    if (!g_hook)
        g_hook = ::SetWindowsHookExA(WH_CBT, cbtProc, nullptr, ::GetCurrentThreadId());
}

}  // namespace ui

namespace ui::win32 {

UiReport::Control describeControl(HWND control)
{
    UiReport::Control c;
    char cls[32] = {};
    ::GetClassNameA(control, cls, sizeof cls);
    const LONG style = ::GetWindowLongA(control, GWL_STYLE);
    if (lstrcmpiA(cls, "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_GROUPBOX)
            c.kind = UiReport::Kind::Other;
        else
            c.kind = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ? UiReport::Kind::Radio
                                                                          : UiReport::Kind::Button;
    } else if (lstrcmpiA(cls, "Edit") == 0) {
        c.kind = UiReport::Kind::Edit;
    }
    // Template ids only: the sheet's own buttons and the system dialogs' controls are told by
    // their texts.
    const CDialog* owner = dialogOf(::GetParent(control));
    const int id = ::GetDlgCtrlID(control);
    if (owner && owner->templateId() != 0 && ::GetParent(control) == owner->impl().hwnd && id != 0xFFFF && id != -1)
        c.id = id;
    if (c.kind == UiReport::Kind::Button || c.kind == UiReport::Kind::Radio) {
        char text[256] = {};
        ::GetWindowTextA(control, text, sizeof text);
        c.text = text;
    }
    RECT r{};
    ::GetWindowRect(control, &r);
    HWND top = ::GetAncestor(control, GA_ROOT);
    ::MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    c.x = r.left;
    c.y = r.top;
    c.width = r.right - r.left;
    c.height = r.bottom - r.top;
    return c;
}

void reportButtons(HWND top)
{
    ::EnumChildWindows(top, reportIfButton, 0);
}

void reportShown(HWND top)
{
    reportButtons(top);
    if (HWND focus = ::GetFocus(); focus && (focus == top || ::IsChild(top, focus)))
        UiReport::focus(describeControl(focus));
}

}  // namespace ui::win32
