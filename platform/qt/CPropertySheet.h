#pragma once
// CPropertySheet: the property sheet in wizard mode, the CPropertySheet stand-in. Use it by
// deriving, adding the pages in their order (AddPage) and running DoModal(), which shows the
// first page and returns ID_WIZFINISH (Finish) or IDCANCEL (Cancel, Escape, close box).
//
// Navigation: Back and Next call the active page's OnWizardBack/OnWizardNext and go exactly where
// it says: 0 = the adjacent page in AddPage order, -1 = stay, a template id = the page built on
// that template (an unknown id stays). There is no page history. Activating a page creates its
// controls on first use (OnInitDialog), calls its OnSetActive, shows it and puts its caption in
// the title bar. A focus that was on the old page (or nowhere) goes to the new page's first
// control that Tab reaches (else the default button); a focus on a sheet button stays there.
// Finish (when the page's OnWizardFinish agrees) and Cancel end the sheet at once.
//
// Buttons: "< Back", "Next >" / "Finish", "Cancel"; no Help, no Apply. SetWizardButtons takes
// PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH; with PSWIZB_FINISH, Finish takes Next's place.
// Enter presses the push button that has the focus (the sheet's or a page's); with the focus on
// no push button it presses the default button, Finish where shown, else Next (OnOK); Escape and
// the close box are Cancel. A focus on Next passes to Finish when Finish takes its place, and
// back. PressButton(PSBTN_...) acts as a click on that button (ignored when the button is
// disabled or hidden) and returns only when the click has been handled completely, nested modal
// windows included.
//
// Idle notification: while DoModal's loop runs, OnKickIdle() is called each time that loop has
// handled what was queued and is about to wait (not in nested loops such as message boxes). It is
// called from a queued call, never from inside the toolkit's notification.
//
// setNavigationLocked(true) refuses every button, Escape and the close box until unlocked (used
// while a page works in a local event loop). Everything runs on the GUI thread.

#include "platform/qt/CDialog.h"

#include <QMetaObject>
#include <QPointer>

#include <vector>

class CPropertyPage;
class QPushButton;
class QWidget;

enum WizardButtonFlags : unsigned { PSWIZB_BACK = 1, PSWIZB_NEXT = 2, PSWIZB_FINISH = 4 };
enum PressButtonId : int { PSBTN_BACK = 0, PSBTN_NEXT = 1, PSBTN_FINISH = 2, PSBTN_CANCEL = 5 };
inline constexpr int ID_WIZFINISH = 0x3025;
inline constexpr unsigned PSH_WIZARD = 0x20;

class CPropertySheet : public CDialog {
    Q_OBJECT
public:
    CPropertySheet();
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetActiveIndex() const { return active_; }
    CPropertyPage* GetActivePage() const { return GetPage(active_); }
    // Activates a page directly (OnSetActive, show), without any page's Next/Back handler.
    bool SetActivePage(int index);
    // Index of the page built on this template, or -1.
    int pageIndexOfTemplate(int templateId) const;

    void SetWizardMode() { flags_ |= PSH_WIZARD; }
    unsigned flags() const { return flags_; }

    // Builds the window and activates the first page (DoModal does this itself).
    void prepare();
    int DoModal() override;

    void SetWizardButtons(unsigned flags);
    unsigned wizardButtons() const { return buttons_; }
    void PressButton(int button);

    virtual long OnKickIdle(long wParam, long lParam);
    int idleCount() const { return idleCount_; }

    void setNavigationLocked(bool locked);
    bool navigationLocked() const { return locked_; }

    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* finishButton() const { return finish_; }
    QPushButton* cancelButton() const { return cancel_; }

    void OnOK() override;
    void OnCancel() override;

signals:
    // A page has just been activated (after its OnSetActive).
    void pageActivated(int templateId);

private:
    void activate(int index);
    void focusFirstControl(CPropertyPage* page);
    void goBack();
    void goNext();
    void finish();
    void cancel();
    void go(int result, int adjacent);
    void applyButtons();
    void layoutWindow();
    void onAboutToBlock();
    void kickIdle();

    std::vector<QPointer<CPropertyPage>> pages_;  // owned by the derived class
    int active_ = -1;
    unsigned flags_ = 0;
    unsigned buttons_ = PSWIZB_BACK | PSWIZB_NEXT;
    bool locked_ = false;
    bool laidOut_ = false;
    QWidget* pageArea_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    QPushButton* cancel_ = nullptr;

    friend class IdleWatcher;
    bool inModal_ = false;
    int modalLevel_ = 0;
    bool idleQueued_ = false;
    bool activity_ = true;  // an event other than the idle call itself arrived since the last idle
    int idleCount_ = 0;
    QObject* idleWatcher_ = nullptr;
    QMetaObject::Connection blockConnection_;
};
