#include "platform/ui/CFileDialog.h"

#include "platform/ui/UiReport.h"
#include "platform/win32/ui/DialogImpl.h"

#include <vector>

std::optional<std::string> CFileDialog::runDialog(const Request& request)
{
    // The system's filter form: description and patterns, each ended by a NUL, and one more NUL.
    std::string filter;
    std::string shown;
    for (const FileType& t : request.fileTypes) {
        filter += t.description + '\0' + t.patterns + '\0';
        shown += (shown.empty() ? "" : ";;") + t.description;
    }
    filter += '\0';
    std::vector<char> file(32768, '\0');
    request.initialFile.copy(file.data(), file.size() - 1);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ui::win32::topWindowOf(request.owner);
    if (!ofn.hwndOwner)
        ofn.hwndOwner = ::GetActiveWindow();
    ofn.lpstrFilter = request.fileTypes.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.lpstrDefExt = request.defaultSuffix.empty() ? nullptr : request.defaultSuffix.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

    ui::UiReport::fileDialog(request.title, shown);
    const BOOL chosen = ::GetOpenFileNameA(&ofn);
    ui::UiReport::fileDialogClose();
    if (!chosen)
        return std::nullopt;
    return std::string(file.data());
}
