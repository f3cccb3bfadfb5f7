#pragma once
// CDialog::Impl for the Win32 backend: the dialog's window and what the backend made for it,
// plus the helpers the backend's files share. Every dialog window of the program carries its
// CDialog in the window property "TarvelDialog", so that the message loops find the dialog a
// key belongs to and the report can tell the program's controls from the system's.
// Include it after every other header of the framework (it brings in the Win32 headers).

#include "platform/ui/CDialog.h"
#include "platform/ui/CPropertySheet.h"
#include "platform/ui/UiReport.h"
#include "platform/win32/ui/InMemoryTemplate.h"
#include "platform/win32/ui/WindowsHeaders.h"

#include <memory>
#include <utility>
#include <vector>

struct CDialog::Impl {
    HWND hwnd = nullptr;
    bool isPage = false;
    bool isSheet = false;
    bool ended = false;   // EndDialog was called during DoModal
    int result = 0;
    std::unique_ptr<ui::win32::InMemoryTemplate> binary;
    std::vector<std::pair<ui::Font, HFONT>> fonts;  // made by setItemFont, one per font, deleted with the dialog
    std::vector<HBITMAP> bitmaps;  // pictures' bitmaps, deleted with the dialog

    // The sheet's own state (isSheet).
    std::vector<PROPSHEETPAGEA> pageSheets;
    int activeIndex = -1;        // the page the sheet shows
    int activated = -1;          // a page activated since the last look (report, focus, callback)
    HWND focusBefore = nullptr;  // the focus when that activation began
    bool focusWasOnPage = false; // ... on the old page or nowhere
    bool finished = false;       // Finish was accepted

    // Becomes created and runs OnInitDialog (WM_INITDIALOG, or Create of a window-less dialog).
    static void initialise(CDialog& dialog)
    {
        dialog.markCreated();
        dialog.OnInitDialog();
    }
};

struct CPropertySheet::Backend {
    // After anything that may have changed the sheet's page: the active index, and for a page
    // just activated the focus, the report and pageActivated.
    static void settle(CPropertySheet& sheet);
};

namespace ui::win32 {

// The dialog that owns window hwnd (the window itself or its nearest dialog ancestor), or nullptr.
CDialog* dialogOf(HWND hwnd);
// Ties a created dialog window to its dialog (WM_INITDIALOG): property, pictures, created state.
void attachWindow(CDialog& dialog, HWND hwnd);
// Unties it again (the window is being destroyed).
void detachWindow(CDialog& dialog);
// The dialog procedure of every dialog and page of the program.
INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The top-level window of a dialog (its own window, or for a page the sheet's), or nullptr.
HWND topWindowOf(const CDialog* dialog);

// One message of any of the program's loops: Enter and Escape as the framework defines them,
// the dialog manager's keys (Tab, arrows, mnemonics) for the dialog the message is for, else
// translated and dispatched.
void dispatchMessage(MSG& msg);

// A property page's notifications from its sheet (WM_NOTIFY); the value for DWLP_MSGRESULT.
LONG_PTR pageNotification(CDialog& page, const NMHDR& note);

// The report's description of a control window.
ui::UiReport::Control describeControl(HWND control);
// "control" lines for the visible buttons of a top-level window.
void reportButtons(HWND top);
// A window just shown: its buttons, and where the focus is (the dialog manager put it there
// while the window was still hidden).
void reportShown(HWND top);

}  // namespace ui::win32
