#include "platform/ui/CPropertySheet.h"

#include "platform/ui/CPropertyPage.h"
#include "platform/ui/UiReport.h"
#include "platform/win32/ui/DialogImpl.h"

// The sheet is the system's property sheet in wizard mode, created modeless (PSH_MODELESS) so
// that DoModal runs a loop of ours: the system's modal PropertySheet() loop knows nothing of the
// idle notification. Pages come from in-memory templates (PSP_DLGINDIRECT); a page's Next or
// Back handler that names a template goes there by index (PSM_SETCURSEL), because a template id
// returned from PSN_WIZNEXT only finds pages made from resources.

namespace {

constexpr int kBackId = 0x3023;
constexpr int kNextId = 0x3024;
constexpr int kFinishId = 0x3025;

int controlIdOf(int psbtn)
{
    switch (psbtn) {
    case PSBTN_BACK: return kBackId;
    case PSBTN_NEXT: return kNextId;
    case PSBTN_FINISH: return kFinishId;
    case PSBTN_CANCEL: return IDCANCEL;
    default: return 0;
    }
}

HWND sheetButton(const CPropertySheet& sheet, int psbtn)
{
    HWND h = sheet.impl().hwnd;
    const int id = controlIdOf(psbtn);
    return h && id ? ::GetDlgItem(h, id) : nullptr;
}

bool usable(HWND button)
{
    return button && ::IsWindowEnabled(button) && ::IsWindowVisible(button);
}

// The sheet's window is the system's: it is untied here, not by the dialog procedure.
void destroyWindow(CDialog& sheet)
{
    HWND h = sheet.impl().hwnd;
    ui::win32::detachWindow(sheet);
    if (h)
        ::DestroyWindow(h);
}

// Finish where it is shown, else Next; nullptr when that one is disabled.
HWND defaultButton(const CPropertySheet& sheet)
{
    HWND b = sheetButton(sheet, sheet.isButtonVisible(PSBTN_FINISH) ? PSBTN_FINISH : PSBTN_NEXT);
    return usable(b) ? b : nullptr;
}

INT_PTR CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        // The sheet's window exists from its first page's creation on, before PropertySheetA returns.
        if (CPropertySheet* sheet = page->sheet(); sheet && !sheet->impl().hwnd)
            ui::win32::attachWindow(*sheet, ::GetParent(hwnd));
        lParam = reinterpret_cast<LPARAM>(page);
    }
    return ui::win32::dialogProc(hwnd, message, wParam, lParam);
}

// Where Next or Back go: 0 the adjacent page (the sheet's own move), -1 stay, else the page of
// that template, moved to here (an unknown template stays).
LONG_PTR navigate(CPropertySheet& sheet, int where)
{
    if (where == 0 || where == -1)
        return where;
    const int index = sheet.pageIndexOfTemplate(where);
    if (index >= 0)
        PropSheet_SetCurSel(sheet.impl().hwnd, nullptr, index);
    return -1;
}

}  // namespace

namespace ui::win32 {

LONG_PTR pageNotification(CDialog& dialog, const NMHDR& note)
{
    auto& page = static_cast<CPropertyPage&>(dialog);
    CPropertySheet* sheet = page.sheet();
    if (!sheet)
        return 0;
    CDialog::Impl& s = sheet->impl();
    const bool locked = sheet->navigationLocked();
    switch (note.code) {
    case PSN_SETACTIVE: {
        // Where the focus is before anything of the change happens (the page's OnSetActive may
        // already disable the button that has it).
        HWND focus = ::GetFocus();
        const CPropertyPage* old = sheet->GetPage(s.activeIndex);
        s.focusBefore = focus;
        s.focusWasOnPage = !focus || !::IsChild(s.hwnd, focus) ||
                           (old && old->impl().hwnd && ::IsChild(old->impl().hwnd, focus));
        if (!page.OnSetActive())
            return -1;
        for (int i = 0; i < sheet->GetPageCount(); ++i)
            if (sheet->GetPage(i) == &page)
                s.activeIndex = s.activated = i;
        return 0;
    }
    case PSN_KILLACTIVE:
        return page.OnKillActive() ? FALSE : TRUE;
    case PSN_WIZNEXT:
        return locked ? -1 : navigate(*sheet, page.OnWizardNext());
    case PSN_WIZBACK:
        return locked ? -1 : navigate(*sheet, page.OnWizardBack());
    case PSN_WIZFINISH:
        if (locked || !page.OnWizardFinish())
            return TRUE;
        s.finished = true;
        return FALSE;
    case PSN_QUERYCANCEL:
        return locked ? TRUE : FALSE;
    default:
        return 0;
    }
}

}  // namespace ui::win32

CPropertyPage::CPropertyPage() : CPropertyPage(0) {}

CPropertyPage::CPropertyPage(int templateId) : CDialog(templateId, nullptr)
{
    impl_->isPage = true;
    setParent(nullptr);  // the sheet becomes the parent in AddPage
}

CPropertySheet::CPropertySheet() : CDialog(0, nullptr)
{
    impl_->isSheet = true;
}

CPropertySheet::~CPropertySheet()
{
    destroyWindow(*this);
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    page->setParent(this);
    pages_.push_back(page);
}

bool CPropertySheet::SetActivePage(int index)
{
    if (!GetPage(index))
        return false;
    prepare();
    PropSheet_SetCurSel(impl_->hwnd, nullptr, index);
    Backend::settle(*this);
    return active_ == index;
}

void CPropertySheet::prepare()
{
    if (impl_->hwnd)
        return;
    Create();
    if (pages_.empty())
        return;
    auto& sheets = impl_->pageSheets;
    sheets.clear();
    for (CPropertyPage* p : pages_) {
        CDialog::Impl& pi = p->impl();
        if (!pi.binary && p->dialogTemplate())
            pi.binary = std::make_unique<ui::win32::InMemoryTemplate>(*p->dialogTemplate(),
                                                                      ui::win32::InMemoryTemplate::Use::PropertyPage);
        PROPSHEETPAGEA psp{};
        psp.dwSize = sizeof psp;  // also the stride by which the sheet walks the array
        psp.dwFlags = PSP_DLGINDIRECT;
        psp.hInstance = ::GetModuleHandleA(nullptr);
        psp.pResource = pi.binary ? static_cast<LPCDLGTEMPLATEA>(pi.binary->data()) : nullptr;
        psp.pfnDlgProc = pageProc;
        psp.lParam = reinterpret_cast<LPARAM>(p);
        sheets.push_back(psp);
    }
    PROPSHEETHEADERA psh{};
    psh.dwSize = PROPSHEETHEADERA_V1_SIZE;
    psh.dwFlags = PSH_WIZARD | PSH_MODELESS | PSH_PROPSHEETPAGE;
    psh.hInstance = ::GetModuleHandleA(nullptr);
    const std::string title = pages_.front()->caption();
    psh.pszCaption = title.c_str();
    psh.nPages = static_cast<UINT>(sheets.size());
    psh.ppsp = sheets.data();
    HWND hwnd = reinterpret_cast<HWND>(::PropertySheetA(&psh));
    if (hwnd && !impl_->hwnd)
        ui::win32::attachWindow(*this, hwnd);
    Backend::settle(*this);
}

void CPropertySheet::Backend::settle(CPropertySheet& sheet)
{
    CDialog::Impl& s = sheet.impl();
    sheet.active_ = s.activeIndex;
    const int index = s.activated;
    if (index < 0)
        return;
    s.activated = -1;
    CPropertyPage* page = sheet.GetPage(index);
    if (!page || !s.hwnd)
        return;
    // A focus that was on the old page (hidden now) or nowhere goes to the new page's first tab
    // stop, else to the default button; a focus on a sheet button stays there (the system's
    // sheet may have moved it to the page) unless that button is no longer there to press.
    HWND target = nullptr;
    if (s.focusWasOnPage) {
        HWND pageWindow = page->impl().hwnd;
        target = pageWindow ? ::GetNextDlgTabItem(pageWindow, nullptr, FALSE) : nullptr;
        if (target && !::IsChild(pageWindow, target))
            target = nullptr;
    } else if (usable(s.focusBefore)) {
        target = s.focusBefore;
    }
    if (!target)
        target = defaultButton(sheet);
    if (target && ::GetFocus() != target)
        ::SendMessageA(s.hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    ui::UiReport::page(page->templateId());
    if (ui::UiReport::enabled())
        ui::win32::reportButtons(s.hwnd);
    if (sheet.pageActivated)
        sheet.pageActivated(page->templateId());
}

int CPropertySheet::DoModal()
{
    prepare();
    HWND hwnd = impl_->hwnd;
    if (!hwnd)
        return -1;
    impl_->finished = false;
    ui::UiReport::dialogOpen(0);
    ::ShowWindow(hwnd, SW_SHOW);
    if (ui::UiReport::enabled())
        ui::win32::reportShown(hwnd);
    // The idle notification comes once the queue is empty after something has happened, and
    // not again until something else has: the loop then waits in GetMessage.
    bool idleDue = true;
    MSG msg;
    while (PropSheet_GetCurrentPageHwnd(hwnd)) {
        if (idleDue && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            idleDue = false;
            ++idleCount_;
            OnKickIdle(0, 0);
            Backend::settle(*this);
            continue;
        }
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 1);
            break;
        }
        ui::win32::dispatchMessage(msg);
        Backend::settle(*this);
        if (msg.message != WM_PAINT && msg.message != WM_TIMER && msg.message != 0x0118 /* caret blink */)
            idleDue = true;
    }
    const int result = impl_->finished ? ID_WIZFINISH : IDCANCEL;
    ui::UiReport::dialogClose(0, result);
    destroyWindow(*this);
    active_ = impl_->activeIndex = -1;
    return result;
}

void CPropertySheet::SetWizardButtons(unsigned flags)
{
    buttons_ = flags;
    HWND hwnd = impl_->hwnd;
    if (!hwnd || locked_)
        return;  // a locked sheet shows them when it is unlocked
    HWND focus = ::GetFocus();
    // Sent, not posted as the PropSheet_SetWizButtons macro does: the buttons are as asked when
    // this returns, so that Enter and PressButton right after it find them so.
    ::SendMessageA(hwnd, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
    // A sheet button that had the focus and is gone or disabled now hands it to the default
    // button: Next to Finish when Finish takes its place, and back.
    if (focus && ::GetParent(focus) == hwnd && !usable(focus))
        if (HWND target = defaultButton(*this))
            ::SendMessageA(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void CPropertySheet::PressButton(int button)
{
    HWND b = sheetButton(*this, button);
    if (locked_ || !usable(b))
        return;
    // A click as the button itself reports it: the sheet handles it before SendMessage returns
    // (PSM_PRESSBUTTON may be queued instead).
    ::SendMessageA(impl_->hwnd, WM_COMMAND, MAKEWPARAM(controlIdOf(button), BN_CLICKED), reinterpret_cast<LPARAM>(b));
    Backend::settle(*this);
}

bool CPropertySheet::isButtonEnabled(int button) const
{
    HWND b = sheetButton(*this, button);
    return b && ::IsWindowEnabled(b);
}

bool CPropertySheet::isButtonVisible(int button) const
{
    HWND b = sheetButton(*this, button);
    return b && (::GetWindowLongA(b, GWL_STYLE) & WS_VISIBLE);
}

void CPropertySheet::setNavigationLocked(bool locked)
{
    // The buttons show that they do nothing now: all four disabled, and afterwards as the page
    // last asked (the system's sheet sets Back, Next and Finish; Cancel is always there).
    locked_ = locked;
    HWND hwnd = impl_->hwnd;
    if (!hwnd)
        return;
    if (locked) {
        for (int psbtn : {PSBTN_BACK, PSBTN_NEXT, PSBTN_FINISH, PSBTN_CANCEL})
            if (HWND b = sheetButton(*this, psbtn))
                ::EnableWindow(b, FALSE);
        return;
    }
    if (HWND cancel = sheetButton(*this, PSBTN_CANCEL))
        ::EnableWindow(cancel, TRUE);
    SetWizardButtons(buttons_);
}

void CPropertySheet::OnOK()
{
    PressButton(isButtonVisible(PSBTN_FINISH) ? PSBTN_FINISH : PSBTN_NEXT);
}

void CPropertySheet::OnCancel()
{
    PressButton(PSBTN_CANCEL);
}
