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
// is owned by the application's main window (AfxGetMainWnd), if there is one.
// Controls are reached by id: GetDlgItem(id), item<QLineEdit>(id), SetDlgItemText, GetDlgItemText,
// CheckDlgButton/IsDlgButtonChecked (BM_SETCHECK/BM_GETCHECK), setItemFont (WM_SETFONT with
// redraw), setProgressRange/setProgressPos (PBM_SETRANGE with its 16-bit maximum, PBM_SETPOS).
// Texts are byte strings in the program's code page (Latin-1 here).
//
// Repaint: OnPaint() runs, on the GUI thread and from the event loop (a queued call, coalesced),
// whenever the dialog's own area is drawn anew: when it is shown, when its window is exposed
// (uncovered, wholly or in part), after a message box or file dialog of this program has closed
// (invalidateAll(), called by QtNotifier and CFileDialog), and when code calls invalidate(). It
// does NOT run when the window merely becomes active or inactive (another window clicked that
// does not cover it), nor when a single control redraws itself (typing, clicking, focus), so a
// page that rewrites its controls from stored settings in OnPaint never undoes what the operator
// typed or clicked unless the page was really drawn again. Child dialogs (property pages) are
// invalidated with their parent.
// SetDlgItemText on an edit box leaves it showing the text from its first character.
// All members must be used on the GUI thread; see GuiThread.h for calls from other threads.

#include "platform/IUserNotifier.h"
#include "platform/qt/DialogTemplate.h"
#include "platform/qt/DialogUnits.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QFont;
struct CDataExchange;

enum ButtonState : int { BST_UNCHECKED = 0, BST_CHECKED = 1 };

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(int templateId, QWidget* parent = nullptr);
    ~CDialog() override;

    int templateId() const { return templateId_; }
    const ui::DialogTemplate* dialogTemplate() const { return template_; }

    // Builds the controls from the template (once) and runs OnInitDialog. False when the
    // template does not exist. A dialog with template id 0 has no controls of its own.
    bool Create();
    bool isCreated() const { return created_; }
    virtual int DoModal();
    void EndDialog(int result);

    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(platform::IDOK); }
    virtual void OnCancel() { EndDialog(platform::IDCANCEL); }
    virtual void OnClose() { OnCancel(); }
    virtual void OnPaint() {}

    void onCommand(int id, std::function<void()> handler);

    // DDX: override DoDataExchange with DDX_Text bindings (CDataExchange.h); UpdateData(true)
    // reads the controls into the members, UpdateData(false) writes the members to the controls.
    virtual void DoDataExchange(CDataExchange& dx);
    bool UpdateData(bool saveAndValidate = true);

    QWidget* GetDlgItem(int id) const;
    template <class W>
    W* item(int id) const { return qobject_cast<W*>(GetDlgItem(id)); }
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, int state);
    int IsDlgButtonChecked(int id) const;
    void setItemFont(int id, const QFont& font);
    void setProgressRange(int id, int low, int high);
    void setProgressPos(int id, int pos);
    void setItemFocus(int id);

    const ui::DialogUnits& units() const { return *units_; }
    QFont templateFont() const;

    // Queues OnPaint for this dialog and its visible child dialogs.
    void invalidate();
    // Queues OnPaint for every visible dialog of the program.
    static void invalidateAll();
    // How often OnPaint has run (for checks of the repaint rule).
    int paintCount() const { return paintCount_; }

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

protected:
    // Binds (or rebinds, before Create) the dialog to a template: caption, size, font.
    void bindTemplate(int templateId);

    void showEvent(QShowEvent* e) override;
    // Enter presses the push button that has the focus; with the focus elsewhere (an edit box, a
    // radio button, nowhere) it calls OnOK, the default button, even when the OK button is
    // disabled. Escape → OnCancel. As a dialog manager does.
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

    // Runs a queued paint now (OnPaint when the dialog is created and visible).
    virtual void deliverPaint();

private:
    void handleCommand(int id);

    int templateId_;
    const ui::DialogTemplate* template_;
    std::unique_ptr<ui::DialogUnits> units_;
    bool created_ = false;
    bool paintQueued_ = false;
    bool exposeFilterInstalled_ = false;
    int paintCount_ = 0;
    std::map<int, std::function<void()>> commands_;
};
