#pragma once
// CDialog: a dialog built from a DialogTemplate (found by id in the linked-in resources), the
// CDialog stand-in. Use it by deriving and overriding the hooks:
//   OnInitDialog()  after the controls exist, before the window shows; return true.
//   OnOK()          button 1 (IDOK) or Enter;        default EndDialog(IDOK).
//   OnCancel()      button 2 (IDCANCEL) or Escape;   default EndDialog(IDCANCEL).
//   OnClose()       the close box;                   default OnCancel().
//   OnPaint()       the dialog's area is drawn anew (see "Repaint" below).
// Other buttons: register a handler with onCommand(id, fn) (the message-map entry).
// Data exchange: DoDataExchange + UpdateData, see CDataExchange.h.
// DoModal() builds the window (Create()), runs it modally and returns the EndDialog value
// (IDOK/IDCANCEL), or -1 when the template does not exist. A dialog constructed without a parent
// is owned by the application's main window (AfxGetMainWnd), if there is one: GetParent()
// returns the owner.
// Controls are reached by id: SetDlgItemText, GetDlgItemText, CheckDlgButton/IsDlgButtonChecked
// (BM_SETCHECK/BM_GETCHECK), setItemFont (WM_SETFONT with redraw), setProgressRange/Pos
// (PBM_SETRANGE with its 16-bit maximum, kept within 0..65535; PBM_SETPOS, kept within the
// range), enableItem/showItem and their queries, setItemFocus (an edit box gets its whole text
// selected). addControl adds a control after Create, built from a ControlTemplate in the
// dialog's units and font (a kMarquee progress bar moves by itself while shown). Calls naming
// an id that is not there do nothing (queries answer empty/false).
// Texts are byte strings in the program's code page (Latin-1).
// Enter presses the push button that has the focus; with the focus elsewhere (an edit box, a
// radio button, nowhere) it calls OnOK, the default button, even when the OK button is
// disabled. Escape calls OnCancel. As a dialog manager does.
//
// Repaint: OnPaint() runs, on the GUI thread and from the message loop (a queued call,
// coalesced), whenever the dialog's own area is drawn anew: when it is shown, when its window is
// exposed (uncovered, wholly or in part), after a message box or file dialog of this program
// has closed (invalidateAll(), called by the notifier and CFileDialog), and when code calls
// invalidate(). It does NOT run when the window merely becomes active or inactive, nor when a
// single control redraws itself (typing, clicking, focus), so a page that rewrites its controls
// from stored settings in OnPaint never undoes what the operator typed or clicked unless the
// page was really drawn again. Child dialogs (property pages) are invalidated with their parent.
// paintNow() runs a pending or due repaint at once (OnPaint when created and visible).
// SetDlgItemText on an edit box leaves it showing the text from its first character.
// All members must be used on the GUI thread; see GuiThread.h for calls from other threads.
//
// The members marked "backend" are defined by the window backend (platform/qt, or
// platform/win32/ui), which keeps its state in Impl; the rest is platform/ui/CDialog.cpp.

#include "platform/IUserNotifier.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/DialogUnits.h"
#include "platform/ui/Font.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

struct CDataExchange;

enum ButtonState : int { BST_UNCHECKED = 0, BST_CHECKED = 1 };

class CDialog {
public:
    struct Impl;

    explicit CDialog(int templateId, CDialog* parent = nullptr);  // backend
    virtual ~CDialog();                                           // backend
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    int templateId() const { return templateId_; }
    const ui::DialogTemplate* dialogTemplate() const { return template_; }
    // The owner (or, for a page, the sheet) given or taken at construction, or nullptr.
    CDialog* GetParent() const { return parent_; }

    // Builds the controls from the template (once) and runs OnInitDialog. False when the
    // template does not exist. A dialog with template id 0 has no controls of its own.
    bool Create();  // backend
    bool isCreated() const { return created_; }
    virtual int DoModal();        // backend
    void EndDialog(int result);   // backend

    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(platform::IDOK); }
    virtual void OnCancel() { EndDialog(platform::IDCANCEL); }
    virtual void OnClose() { OnCancel(); }
    virtual void OnPaint() {}

    void onCommand(int id, std::function<void()> handler);
    // What a click on button id does: its onCommand handler; else OnOK for IDOK, OnCancel for
    // IDCANCEL. Called by the backend for every push button.
    void handleCommand(int id);

    // DDX: override DoDataExchange with DDX_Text bindings (CDataExchange.h); UpdateData(true)
    // reads the controls into the members, UpdateData(false) writes the members to the controls.
    virtual void DoDataExchange(CDataExchange& dx);
    bool UpdateData(bool saveAndValidate = true);

    // Control access by id (backend).
    bool hasItem(int id) const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, int state);
    int IsDlgButtonChecked(int id) const;
    void setItemFont(int id, const ui::Font& font);
    void setProgressRange(int id, int low, int high);
    void setProgressPos(int id, int pos);
    void setItemFocus(int id);
    void enableItem(int id, bool enable);
    void showItem(int id, bool show);
    bool isItemEnabled(int id) const;
    bool isItemVisible(int id) const;
    bool addControl(const ui::ControlTemplate& control);

    const ui::DialogUnits& units() const { return *units_; }

    // Whether the dialog's window is shown (backend).
    bool isWindowVisible() const;

    // Queues OnPaint for this dialog and its visible child dialogs (backend).
    void invalidate();
    // Queues OnPaint for every visible top-level dialog of the program (backend).
    static void invalidateAll();
    // Runs the repaint now instead of from the queue.
    void paintNow();
    // How often OnPaint has run (for checks of the repaint rule).
    int paintCount() const { return paintCount_; }

    // The backend's state of this dialog (only the backend can use it).
    Impl& impl() const { return *impl_; }

protected:
    // Binds (or rebinds, before Create) the dialog to a template: caption, size, font (backend).
    void bindTemplate(int templateId);
    // Finds the template and its units; the backend's bindTemplate calls it first.
    void lookUpTemplate(int templateId);
    // Becomes created (the backend's Create, after building the controls, before OnInitDialog).
    void markCreated() { created_ = true; }
    void setParent(CDialog* parent) { parent_ = parent; }

    std::unique_ptr<Impl> impl_;

private:
    int templateId_ = 0;
    const ui::DialogTemplate* template_ = nullptr;
    std::unique_ptr<ui::DialogUnits> units_;
    CDialog* parent_ = nullptr;
    bool created_ = false;
    int paintCount_ = 0;
    std::map<int, std::function<void()>> commands_;

    friend class CPropertySheet;
};
