#pragma once
// CPropertySheet: the property sheet in wizard mode, the CPropertySheet stand-in. Use it by
// deriving, adding the pages in their order (AddPage) and running DoModal(), which shows the
// first page and returns ID_WIZFINISH (Finish) or IDCANCEL (Cancel, Escape, close box).
//
// Navigation: Back and Next call the active page's OnWizardBack/OnWizardNext and go exactly where
// it says: 0 = the adjacent page in AddPage order, -1 = stay, a template id = the page built on
// that template (an unknown id stays). There is no page history. Activating a page creates its
// controls on first use (OnInitDialog), calls its OnSetActive, shows it, puts its caption in
// the title bar and then calls pageActivated (when set). A focus that was on the old page (or
// nowhere) goes to the new page's first control that Tab reaches (else the default button); a
// focus on a sheet button stays there. Finish (when the page's OnWizardFinish agrees) and Cancel
// end the sheet at once.
//
// Buttons: "< Back", "Next >" / "Finish", "Cancel"; no Help, no Apply. SetWizardButtons takes
// PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH; with PSWIZB_FINISH, Finish takes Next's place.
// Enter presses the push button that has the focus (the sheet's or a page's); with the focus on
// no push button it presses the default button, Finish where shown, else Next (OnOK); Escape and
// the close box are Cancel. A focus on Next passes to Finish when Finish takes its place, and
// back. PressButton(PSBTN_...) acts as a click on that button (ignored when the button is
// disabled or hidden) and returns only when the click has been handled completely, nested modal
// windows included. isButtonEnabled/isButtonVisible answer for the sheet's own buttons by
// PSBTN id.
//
// Idle notification: while DoModal's loop runs, OnKickIdle() is called each time that loop has
// handled what was queued and is about to wait (not in nested loops such as message boxes or a
// LocalLoop). It is called from a queued call, never from inside the toolkit's notification.
//
// setNavigationLocked(true) refuses every button, Escape and the close box until unlocked (used
// while a page works in a LocalLoop). Everything runs on the GUI thread.
// The members marked "backend" are defined by the window backend.

#include "platform/ui/CDialog.h"

#include <functional>
#include <vector>

class CPropertyPage;

enum WizardButtonFlags : unsigned { PSWIZB_BACK = 1, PSWIZB_NEXT = 2, PSWIZB_FINISH = 4 };
enum PressButtonId : int { PSBTN_BACK = 0, PSBTN_NEXT = 1, PSBTN_FINISH = 2, PSBTN_CANCEL = 5 };
inline constexpr int ID_WIZFINISH = 0x3025;
inline constexpr unsigned PSH_WIZARD = 0x20;

class CPropertySheet : public CDialog {
public:
    CPropertySheet();             // backend
    ~CPropertySheet() override;   // backend

    void AddPage(CPropertyPage* page);  // backend
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetActiveIndex() const { return active_; }
    CPropertyPage* GetActivePage() const { return GetPage(active_); }
    // Activates a page directly (OnSetActive, show), without any page's Next/Back handler.
    bool SetActivePage(int index);  // backend
    // Index of the page built on this template, or -1.
    int pageIndexOfTemplate(int templateId) const;

    void SetWizardMode() { flags_ |= PSH_WIZARD; }
    unsigned flags() const { return flags_; }

    // Builds the window and activates the first page (DoModal does this itself).
    void prepare();          // backend
    int DoModal() override;  // backend

    void SetWizardButtons(unsigned flags);  // backend
    unsigned wizardButtons() const { return buttons_; }
    void PressButton(int button);            // backend
    bool isButtonEnabled(int button) const;  // backend
    bool isButtonVisible(int button) const;  // backend

    virtual long OnKickIdle(long /*wParam*/, long /*lParam*/) { return 0; }
    int idleCount() const { return idleCount_; }

    void setNavigationLocked(bool locked);  // backend
    bool navigationLocked() const { return locked_; }

    void OnOK() override;      // backend
    void OnCancel() override;  // backend

    // Called with the template id of each page just activated (after its OnSetActive).
    std::function<void(int templateId)> pageActivated;

    // The backend's helpers (navigation, layout, idle calls), defined with its .cpp files.
    struct Backend;

protected:
    std::vector<CPropertyPage*> pages_;  // owned by the derived class
    int active_ = -1;
    unsigned flags_ = 0;
    unsigned buttons_ = PSWIZB_BACK | PSWIZB_NEXT;
    bool locked_ = false;
    int idleCount_ = 0;
};
