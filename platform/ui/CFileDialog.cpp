#include "platform/ui/CFileDialog.h"

#include "platform/IUserNotifier.h"
#include "platform/ui/CDialog.h"
#include "platform/ui/CWinApp.h"

namespace {

CFileDialog::Script& script()
{
    static CFileDialog::Script s;
    return s;
}

}  // namespace

CFileDialog::CFileDialog(bool, const char* defaultExt, const char* fileName, unsigned flags, const char* filter,
                         CDialog* parent)
{
    std::string ext = defaultExt ? defaultExt : "";
    ext.erase(0, ext.find_first_not_of("*."));
    request_.defaultSuffix = ext;
    request_.initialFile = fileName ? fileName : "";
    request_.flags = flags;
    request_.fileTypes = parseFilter(filter ? filter : "");
    request_.owner = parent ? parent : AfxGetMainWnd();
}

std::vector<CFileDialog::FileType> CFileDialog::parseFilter(const std::string& filter)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t bar; (bar = filter.find('|', from)) != std::string::npos; from = bar + 1)
        parts.push_back(filter.substr(from, bar - from));
    std::vector<FileType> out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty())
            break;
        out.push_back({parts[i], parts[i + 1]});
    }
    return out;
}

void CFileDialog::setScript(Script s)
{
    script() = std::move(s);
}

int CFileDialog::DoModal()
{
    const std::optional<std::string> chosen = script() ? script()(request_) : runDialog(request_);
    CDialog::invalidateAll();
    if (!chosen)
        return platform::IDCANCEL;
    path_ = *chosen;
    return platform::IDOK;
}
