#pragma once
// CPropertyPage: one page of a CPropertySheet, built from a dialog template (Construct(id)).
// The sheet creates the page's controls the first time it shows the page (then OnInitDialog).
// Override, as needed:
//   OnSetActive()   the page is about to be shown; set the wizard buttons here
//                   (sheet()->SetWizardButtons) and fill the controls; return true.
//   OnWizardNext()  Next pressed: 0 = the next page in table order, -1 = stay, a template id =
//                   that page. Default 0.
//   OnWizardBack()  Back pressed: 0 = the previous page, -1, or a template id. Default 0.
//   OnWizardFinish() Finish pressed: true ends the sheet. Default true.
//   OnPaint()       as for CDialog: the page's area is drawn anew (the sheet shows the page,
//                   uncovering, after a message box or file dialog, invalidate()).
// The page's parent window is the sheet (from AddPage on); sheet() returns it. Enter and Escape
// go to the sheet. The constructors are the backend's (a page is a child window, not a dialog
// of its own).

#include "platform/ui/CDialog.h"

#include <string>

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    CPropertyPage();                       // backend
    explicit CPropertyPage(int templateId);  // backend

    // Binds the page to its template (before it is added to a sheet).
    void Construct(int templateId) { bindTemplate(templateId); }

    virtual bool OnSetActive() { return true; }
    virtual bool OnKillActive() { return true; }
    virtual int OnWizardNext() { return 0; }
    virtual int OnWizardBack() { return 0; }
    virtual bool OnWizardFinish() { return true; }

    CPropertySheet* sheet() const;
    // The caption of the page's template (the sheet's title while the page is shown).
    std::string caption() const { return dialogTemplate() ? dialogTemplate()->caption : std::string(); }

    // A page never ends itself; the sheet does.
    void OnOK() override {}
    void OnCancel() override {}
};
