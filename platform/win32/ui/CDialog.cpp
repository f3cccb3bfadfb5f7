#include "platform/ui/CDialog.h"

#include "platform/ui/CPropertySheet.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/DialogNavigation.h"
#include "platform/ui/Resources.h"
#include "platform/ui/UiReport.h"
#include "platform/win32/ui/DibSection.h"
#include "platform/win32/ui/DialogImpl.h"

#include <algorithm>
#include <utility>

namespace {

constexpr const char* kDialogProperty = "TarvelDialog";

// Every live dialog, for invalidateAll(); GUI thread only.
std::vector<CDialog*>& liveDialogs()
{
    static std::vector<CDialog*> all;
    return all;
}

// The dialog a window stands for, or null. The property alone is not trusted: the pointer must
// still be a live dialog of ours, so that a window we did not make (a message box, the file
// dialog) or one that outlived its dialog is never taken for one.
CDialog* ownDialog(HWND hwnd)
{
    auto* d = hwnd ? static_cast<CDialog*>(::GetPropA(hwnd, kDialogProperty)) : nullptr;
    if (!d)
        return nullptr;
    const auto& all = liveDialogs();
    return std::find(all.begin(), all.end(), d) != all.end() && d->impl().hwnd == hwnd ? d : nullptr;
}

HWND itemOf(const CDialog& d, int id)
{
    HWND h = d.impl().hwnd;
    return h ? ::GetDlgItem(h, id) : nullptr;
}

bool isPushButton(HWND h)
{
    char cls[16] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") != 0)
        return false;
    const LONG type = ::GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool sameFont(const ui::Font& a, const ui::Font& b)
{
    return a.height == b.height && a.width == b.width && a.escapement == b.escapement &&
           a.orientation == b.orientation && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.charset == b.charset &&
           a.outPrecision == b.outPrecision && a.clipPrecision == b.clipPrecision && a.quality == b.quality &&
           a.pitchAndFamily == b.pitchAndFamily && a.face == b.face;
}

// Rich-edit and multi-line edit boxes break lines at "\r\n"; the program's texts use "\n".
std::string withCarriageReturns(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// A control window as the dialog manager's rules see it.
ui::NavControl navControl(HWND h)
{
    ui::NavControl c;
    const LONG style = ::GetWindowLongA(h, GWL_STYLE);
    char cls[16] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_AUTORADIOBUTTON)
            c.kind = ui::ControlKind::AutoRadio;
        else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            c.kind = ui::ControlKind::PushButton;
    }
    c.style = ((style & WS_TABSTOP) ? ui::kTabStop : 0u) | ((style & WS_GROUP) ? ui::kGroup : 0u);
    c.usable = ::IsWindowVisible(h) && ::IsWindowEnabled(h);
    c.checked = c.kind == ui::ControlKind::AutoRadio && ::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return c;
}

// An arrow key with the focus on a button. The system's dialog manager would move the focus to
// the next control of the dialog's group whatever it is: from a page's last radio button onto a
// text, from Next onto Cancel (where the next Enter cancels). Here an arrow moves only between
// the radio buttons of one group, wrapping, and clicks the one it reaches as the system does;
// on a push button it does nothing. Returns false for any other focus (edits take arrows).
bool arrowKey(HWND focus, bool forward)
{
    HWND parent = focus ? ::GetParent(focus) : nullptr;
    if (!parent)
        return false;
    const ui::NavControl here = navControl(focus);
    if (here.kind == ui::ControlKind::PushButton)
        return true;
    if (here.kind != ui::ControlKind::AutoRadio)
        return false;
    std::vector<HWND> windows;
    std::vector<ui::NavControl> controls;
    for (HWND h = ::GetWindow(focus, GW_HWNDFIRST); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        windows.push_back(h);
        controls.push_back(navControl(h));
    }
    const auto at = std::find(windows.begin(), windows.end(), focus);
    const int to = ui::DialogNavigation::arrow(controls, static_cast<int>(at - windows.begin()), forward);
    if (to >= 0) {
        HWND target = windows[static_cast<std::size_t>(to)];
        ::SetFocus(target);
        if (::SendMessageA(target, BM_GETCHECK, 0, 0) != BST_CHECKED)
            ::SendMessageA(target, BM_CLICK, 0, 0);
    }
    return true;
}

}  // namespace

namespace ui::win32 {

CDialog* dialogOf(HWND hwnd)
{
    for (HWND h = hwnd; h; h = ::GetParent(h))
        if (CDialog* d = ownDialog(h))
            return d;
    return nullptr;
}

HWND topWindowOf(const CDialog* dialog)
{
    if (!dialog)
        return nullptr;
    HWND h = dialog->impl().hwnd;
    if (!h && dialog->GetParent())
        return topWindowOf(dialog->GetParent());
    return h ? ::GetAncestor(h, GA_ROOT) : nullptr;
}

void attachWindow(CDialog& dialog, HWND hwnd)
{
    dialog.impl().hwnd = hwnd;
    ::SetPropA(hwnd, kDialogProperty, &dialog);
    const ui::DialogTemplate* t = dialog.dialogTemplate();
    if (!t)
        return;
    // Children come in template order; a picture has no id of its own to be found by.
    HWND child = ::GetWindow(hwnd, GW_CHILD);
    for (const ui::ControlTemplate& c : t->controls) {
        if (!child)
            break;
        if (c.kind == ui::ControlKind::RichEdit) {
            // Lines break inside the client area, left of the scroll bar that is always there
            // (Wine's rich edit otherwise breaks them at the window's edge, under the bar), a
            // pixel clear of the frame on either side.
            RECT lines{};
            ::GetClientRect(child, &lines);
            ::InflateRect(&lines, -1, 0);
            ::SendMessageA(child, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&lines));
        }
        if (c.kind == ui::ControlKind::Picture) {
            const ui::Bitmap bitmap = res::loadBitmap(c.bitmapId);
            if (HBITMAP dib = makeDibSection(bitmap)) {
                dialog.impl().bitmaps.push_back(dib);
                ::SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(dib));
            }
        }
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
}

void detachWindow(CDialog& dialog)
{
    if (HWND h = std::exchange(dialog.impl().hwnd, nullptr))
        ::RemovePropA(h, kDialogProperty);
}

INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* d = reinterpret_cast<CDialog*>(lParam);
        attachWindow(*d, hwnd);
        CDialog::Impl::initialise(*d);
        return TRUE;  // the dialog manager puts the focus on the first tab stop
    }
    CDialog* d = ownDialog(hwnd);
    if (!d)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            d->handleCommand(LOWORD(wParam) == 0xFFFF ? ui::kStaticId : static_cast<int>(LOWORD(wParam)));
            return TRUE;
        }
        return FALSE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        ::BeginPaint(hwnd, &ps);
        d->paintNow();
        ::EndPaint(hwnd, &ps);
        return TRUE;
    }
    case WM_NOTIFY:
        if (const auto& note = *reinterpret_cast<const NMHDR*>(lParam);
            d->impl().isPage && note.code >= PSN_LAST && note.code <= PSN_FIRST) {
            ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, ui::win32::pageNotification(*d, note));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        d->OnClose();
        return TRUE;
    case WM_NCDESTROY:
        detachWindow(*d);
        return FALSE;
    default:
        return FALSE;
    }
}

void dispatchMessage(MSG& msg)
{
    const bool plainKey = msg.message == WM_KEYDOWN && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_MENU) >= 0;
    HWND top = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    CDialog* d = ownDialog(top);
    if (d && plainKey && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
        if (msg.wParam == VK_ESCAPE) {
            d->OnCancel();
            return;
        }
        // Enter presses the push button with the focus, as a click would; anywhere else it is
        // the default button, which OnOK stands for (even when that button is disabled, so that
        // a window that refuses to close says so).
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(top, focus) && isPushButton(focus) && ::IsWindowEnabled(focus) &&
            ::IsWindowVisible(focus))
            ::SendMessageA(::GetParent(focus), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(focus), BN_CLICKED),
                           reinterpret_cast<LPARAM>(focus));
        else
            d->OnOK();
        return;
    }
    const bool arrow = msg.wParam == VK_LEFT || msg.wParam == VK_UP || msg.wParam == VK_RIGHT || msg.wParam == VK_DOWN;
    // With Shift or Ctrl too: the dialog manager takes those as arrows as well.
    if (d && msg.message == WM_KEYDOWN && arrow &&
        arrowKey(::GetFocus(), msg.wParam == VK_RIGHT || msg.wParam == VK_DOWN))
        return;
    if (d && (d->impl().isSheet ? PropSheet_IsDialogMessage(top, &msg) : ::IsDialogMessageA(top, &msg)))
        return;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

}  // namespace ui::win32

CDialog::CDialog(int templateId, CDialog* parent) : impl_(std::make_unique<Impl>())
{
    setParent(parent ? parent : AfxGetMainWnd());
    bindTemplate(templateId);
    liveDialogs().push_back(this);
}

CDialog::~CDialog()
{
    auto& all = liveDialogs();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (impl_->hwnd && !impl_->isPage)
        ::DestroyWindow(impl_->hwnd);
    for (const auto& f : impl_->fonts)
        ::DeleteObject(f.second);
    for (HBITMAP b : impl_->bitmaps)
        ::DeleteObject(b);
    if (CWinApp* app = CWinApp::instance(); app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

void CDialog::bindTemplate(int templateId)
{
    lookUpTemplate(templateId);
    impl_->binary.reset();
}

bool CDialog::Create()
{
    if (impl_->hwnd)
        return true;
    if (!dialogTemplate()) {
        if (templateId() != 0)
            return false;
        Impl::initialise(*this);
        return true;
    }
    if (impl_->isPage)
        return isCreated();  // the sheet makes a page's window when it first shows the page
    if (!impl_->binary)
        impl_->binary = std::make_unique<ui::win32::InMemoryTemplate>(*dialogTemplate(),
                                                                      ui::win32::InMemoryTemplate::Use::ModalDialog);
    HWND owner = ui::win32::topWindowOf(GetParent());
    return ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                        static_cast<LPCDLGTEMPLATEA>(impl_->binary->data()), owner,
                                        ui::win32::dialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

int CDialog::DoModal()
{
    if (!Create())
        return -1;
    HWND hwnd = impl_->hwnd;
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    const bool disableOwner = owner && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);
    impl_->ended = false;
    ui::UiReport::dialogOpen(templateId());
    ::ShowWindow(hwnd, SW_SHOW);
    if (ui::UiReport::enabled())
        ui::win32::reportShown(hwnd);
    MSG msg;
    while (!impl_->ended) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 1);
            break;
        }
        ui::win32::dispatchMessage(msg);
    }
    const int result = impl_->ended ? impl_->result : IDCANCEL;
    ui::UiReport::dialogClose(templateId(), result);
    // The owner comes back before the dialog goes, so that it, not another program, is activated.
    if (disableOwner)
        ::EnableWindow(owner, TRUE);
    if (impl_->hwnd)
        ::DestroyWindow(impl_->hwnd);
    return result;
}

void CDialog::EndDialog(int result)
{
    // DoModal's loop ends on this and takes the window down, its owner enabled first.
    impl_->ended = true;
    impl_->result = result;
}

bool CDialog::hasItem(int id) const
{
    return itemOf(*this, id) != nullptr;
}

void CDialog::SetDlgItemText(int id, const std::string& text)
{
    HWND item = itemOf(*this, id);
    if (!item)
        return;
    if (ui::UiReport::enabled() && GetDlgItemText(id) != text)
        ui::UiReport::controlText(id, text);
    const LONG style = ::GetWindowLongA(item, GWL_STYLE);
    char cls[16] = {};
    ::GetClassNameA(item, cls, sizeof cls);
    const bool multiLine = (style & ES_MULTILINE) && lstrcmpiA(cls, "Static") != 0 && lstrcmpiA(cls, "Button") != 0;
    ::SetWindowTextA(item, multiLine ? withCarriageReturns(text).c_str() : text.c_str());
}

std::string CDialog::GetDlgItemText(int id) const
{
    HWND item = itemOf(*this, id);
    if (!item)
        return {};
    const int n = ::GetWindowTextLengthA(item);
    std::string raw(static_cast<std::size_t>(n) + 1, '\0');
    raw.resize(static_cast<std::size_t>(::GetWindowTextA(item, raw.data(), n + 1)));
    // Line breaks as the program writes them: "\r\n" and a lone "\r" (rich edit) become "\n".
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            text += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else {
            text += raw[i];
        }
    }
    return text;
}

void CDialog::CheckDlgButton(int id, int state)
{
    if (HWND item = itemOf(*this, id))
        ::SendMessageA(item, BM_SETCHECK, state == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED, 0);
}

int CDialog::IsDlgButtonChecked(int id) const
{
    HWND item = itemOf(*this, id);
    return item && ::SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::setItemFont(int id, const ui::Font& font)
{
    HWND item = itemOf(*this, id);
    if (!item || !font.valid())
        return;
    // Pages set their fonts again on every repaint: one system font per logical font.
    HFONT f = nullptr;
    for (const auto& [made, handle] : impl_->fonts)
        if (sameFont(made, font))
            f = handle;
    if (!f) {
        f = ::CreateFontA(font.height, font.width, font.escapement, font.orientation, font.weight, font.italic,
                          font.underline, font.strikeOut, font.charset, font.outPrecision, font.clipPrecision,
                          font.quality, font.pitchAndFamily, font.face.c_str());
        if (!f)
            return;
        impl_->fonts.emplace_back(font, f);
    }
    ::SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
}

void CDialog::setProgressRange(int id, int low, int high)
{
    // The range travels as two 16-bit halves: keep each within 0..65535 rather than wrapping.
    auto clamp16 = [](int v) { return static_cast<WORD>(std::clamp(v, 0, 65535)); };
    if (HWND item = itemOf(*this, id))
        ::SendMessageA(item, PBM_SETRANGE, 0, MAKELPARAM(clamp16(low), clamp16(high)));
}

void CDialog::setProgressPos(int id, int pos)
{
    // The bar keeps a position within its range itself.
    if (HWND item = itemOf(*this, id))
        ::SendMessageA(item, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void CDialog::setItemFocus(int id)
{
    HWND item = itemOf(*this, id);
    if (!item)
        return;
    ::SetFocus(item);
    if (::SendMessageA(item, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        ::SendMessageA(item, EM_SETSEL, 0, -1);
}

void CDialog::enableItem(int id, bool enable)
{
    if (HWND item = itemOf(*this, id))
        ::EnableWindow(item, enable);
}

void CDialog::showItem(int id, bool show)
{
    if (HWND item = itemOf(*this, id))
        ::ShowWindow(item, show ? SW_SHOWNA : SW_HIDE);
}

bool CDialog::isItemEnabled(int id) const
{
    HWND item = itemOf(*this, id);
    return item && ::IsWindowEnabled(item);
}

bool CDialog::isItemVisible(int id) const
{
    HWND item = itemOf(*this, id);
    return item && (::GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE);
}

bool CDialog::addControl(const ui::ControlTemplate& control)
{
    HWND hwnd = impl_->hwnd;
    if (!hwnd)
        return false;
    const ui::DuRect du = dialogTemplate() ? ui::win32::systemUnitsRect(*dialogTemplate(), control.rect) : control.rect;
    RECT r{du.x, du.y, du.x + du.width, du.y + du.height};
    ::MapDialogRect(hwnd, &r);
    const ui::win32::ControlClass cls = ui::win32::controlClass(control);
    HWND item = ::CreateWindowExA(0, cls.className, control.text.c_str(), cls.style, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, hwnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!item)
        return false;
    ::SendMessageA(item, WM_SETFONT, ::SendMessageA(hwnd, WM_GETFONT, 0, 0), FALSE);
    if (control.style & ui::kMarquee)
        ::SendMessageA(item, PBM_SETMARQUEE, TRUE, 30);
    return true;
}

bool CDialog::isWindowVisible() const
{
    return impl_->hwnd && ::IsWindowVisible(impl_->hwnd);
}

void CDialog::invalidate()
{
    // Child dialogs (pages) are drawn anew with their parent.
    if (impl_->hwnd)
        ::RedrawWindow(impl_->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CDialog::invalidateAll()
{
    for (CDialog* d : liveDialogs())
        if (d->impl().hwnd && !d->impl().isPage && ::IsWindowVisible(d->impl().hwnd))
            d->invalidate();
}

namespace ui {

namespace win32 {

DialogUnits systemDialogUnits(const std::string& face, int points)
{
    // The window system's rule: the average width of the 52 letters and the character height
    // of the dialog's font, on the screen.
    HDC dc = ::GetDC(nullptr);
    HFONT font = ::CreateFontA(-::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH, face.c_str());
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICA tm{};
    ::GetTextMetricsA(dc, &tm);
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    ::GetTextExtentPoint32A(dc, kLetters, 52, &size);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::ReleaseDC(nullptr, dc);
    const int baseX = static_cast<int>((size.cx / 26 + 1) / 2);
    return DialogUnits(baseX > 0 ? baseX : 6, tm.tmHeight > 0 ? static_cast<int>(tm.tmHeight) : 13);
}

}  // namespace win32

DialogUnits dialogUnits(const std::string& face, int points)
{
    // The templates' face at 8 points is laid out at 7 x 14 pixels per 4 x 8 units on a 96-dpi
    // screen, one pixel more each way than that face's own 6 x 13: at its own units several
    // labels need a few pixels more than their rectangles give (Wine's MS Sans Serif and the
    // faces it stands in alike), the agreement header's second line and the side picture are
    // cut at the bottom, and the bold verdict is wider than the status line. Other faces keep
    // the system's rule.
    if (!face.empty() && face != "MS Sans Serif" && face != "MS Shell Dlg")
        return win32::systemDialogUnits(face, points);
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    const int pt = points > 0 ? points : 8;
    return DialogUnits(std::max(1, ::MulDiv(7 * pt, dpi, 8 * 96)), std::max(1, ::MulDiv(14 * pt, dpi, 8 * 96)));
}

}  // namespace ui
