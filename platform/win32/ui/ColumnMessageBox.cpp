#include "platform/win32/ui/ColumnMessageBox.h"

#include <algorithm>

namespace ui::win32 {

namespace {

// The box being shown on this thread: a box is modal, so there is one at a time per thread.
thread_local HHOOK t_hook = nullptr;
thread_local const std::string* t_text = nullptr;

struct TextSearch {
    const std::string* text;
    HWND found;
};

BOOL CALLBACK findTextField(HWND child, LPARAM lp)
{
    auto& search = *reinterpret_cast<TextSearch*>(lp);
    char cls[16] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    const int length = ::GetWindowTextLengthA(child);
    if (length != static_cast<int>(search.text->size()))
        return TRUE;
    std::string s(static_cast<std::size_t>(length) + 1, '\0');
    ::GetWindowTextA(child, s.data(), length + 1);
    s.resize(static_cast<std::size_t>(length));
    if (s != *search.text)
        return TRUE;
    search.found = child;
    return FALSE;
}

RECT rectIn(HWND parent, HWND child)
{
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void fit(HWND box, const std::string& text)
{
    TextSearch search{&text, nullptr};
    ::EnumChildWindows(box, findTextField, reinterpret_cast<LPARAM>(&search));
    HWND field = search.found;
    if (!field)
        return;
    // The size the text needs with its tabs expanded as the field expands them, and no line broken.
    HDC dc = ::GetDC(field);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(field, WM_GETFONT, 0, 0)));
    RECT need{0, 0, 0, 0};
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &need,
                DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT);
    ::SelectObject(dc, old);
    ::ReleaseDC(field, dc);

    const RECT f = rectIn(box, field);
    RECT window, work;
    ::GetWindowRect(box, &window);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int width = window.right - window.left, height = window.bottom - window.top;
    const int dx = std::clamp(static_cast<int>(need.right - (f.right - f.left)), 0,
                              std::max(0, static_cast<int>(work.right - work.left) - width));
    const int dy = std::clamp(static_cast<int>(need.bottom - (f.bottom - f.top)), static_cast<int>(-(f.bottom - f.top) / 2),
                              std::max(0, static_cast<int>(work.bottom - work.top) - height));
    if (dx == 0 && dy == 0)
        return;
    // What stands below the field (the buttons) moves down with its bottom and stays centred.
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        const RECT r = rectIn(box, c);
        if (c != field && r.top >= f.bottom)
            ::SetWindowPos(c, nullptr, r.left + dx / 2, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SetWindowPos(field, nullptr, 0, 0, f.right - f.left + dx, f.bottom - f.top + dy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int left = std::clamp(static_cast<int>(window.left) - dx / 2, static_cast<int>(work.left),
                                static_cast<int>(work.right) - (width + dx));
    const int top = std::clamp(static_cast<int>(window.top) - dy / 2, static_cast<int>(work.top),
                               static_cast<int>(work.bottom) - (height + dy));
    ::SetWindowPos(box, nullptr, left, top, width + dx, height + dy, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK watchInitialisation(int code, WPARAM wParam, LPARAM lParam)
{
    HHOOK hook = t_hook;
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    char cls[16] = {};
    if (code == HC_ACTION && t_text && call->message == WM_INITDIALOG && ::GetClassNameA(call->hwnd, cls, sizeof cls) &&
        lstrcmpA(cls, "#32770") == 0) {
        // The box has laid itself out (its text, icon and buttons) and is not shown yet. Not at
        // its activation: that comes while it still places its buttons (focus to the default one).
        ::UnhookWindowsHookEx(hook);
        t_hook = nullptr;
        fit(call->hwnd, *t_text);
        return 0;
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

int columnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style)
{
    if (text.find('\t') == std::string::npos || t_hook)
        return ::MessageBoxA(owner, text.c_str(), caption.c_str(), style);
    t_text = &text;
    t_hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, watchInitialisation, nullptr, ::GetCurrentThreadId());
    const int answer = ::MessageBoxA(owner, text.c_str(), caption.c_str(), style);
    if (t_hook)
        ::UnhookWindowsHookEx(t_hook);
    t_hook = nullptr;
    t_text = nullptr;
    return answer;
}

}  // namespace ui::win32
