#include "platform/ui/CWinApp.h"

#include "platform/win32/ui/GuiThreadWindow.h"
#include "platform/win32/ui/DialogImpl.h"

int CWinApp::run()
{
    ui::win32::becomeGuiThread();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    if (!InitInstance())
        return 0;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ui::win32::dispatchMessage(msg);
    return static_cast<int>(msg.wParam);
}

void AfxInitRichEdit()
{
    // RichEdit20A is registered by the library when it loads; it stays loaded for the program.
    static const HMODULE richEdit = ::LoadLibraryA("riched20.dll");
    (void)richEdit;
}
