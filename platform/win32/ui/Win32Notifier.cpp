#include "platform/win32/ui/Win32Notifier.h"

#include "platform/ui/CDialog.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/GuiThread.h"
#include "platform/ui/UiReport.h"
#include "platform/win32/ui/DialogImpl.h"
#include "platform/win32/ui/ColumnMessageBox.h"

namespace platform {

std::string Win32Notifier::caption()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    if (const auto slash = name.find_last_of("\\/"); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() > 4 && lstrcmpiA(name.c_str() + name.size() - 4, ".exe") == 0)
        name.resize(name.size() - 4);
    return name;
}

int Win32Notifier::messageBox(const std::string& text, unsigned type)
{
    runOnGuiThread([&] {
        HWND owner = ::GetActiveWindow();
        if (!owner)
            owner = ui::win32::topWindowOf(AfxGetMainWnd());
        unsigned style = type | MB_OK;
        if ((type & MB_ICONMASK) == 0)
            style |= MB_ICONEXCLAMATION;
        ui::UiReport::messageBox(text);
        ui::win32::columnMessageBox(owner, text, caption(), style);
        ui::UiReport::messageBoxClose();
        CDialog::invalidateAll();
    });
    return IDOK;
}

void Win32Notifier::beep(unsigned type)
{
    ui::UiReport::beep();
    ::MessageBeep(type);
}

}  // namespace platform
