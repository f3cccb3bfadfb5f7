#pragma once
// CFileDialog: the file-open dialog stand-in. Construct with the arguments of the framework's
// dialog (open, default extension, initial file name, OFN_* flags, filter, parent), set the title
// with setTitle(), run DoModal() (IDOK or IDCANCEL), read GetPathName() (the full path chosen).
// The filter is the "Description|pattern|Description|pattern|" form; request().fileTypes holds
// its pairs in order (an empty pair ends the list). The dialog's list of file types shows each
// description exactly as given (the pattern is not appended to it). The default extension
// "*.dmf" or ".dmf" or "dmf" becomes the suffix "dmf" added to a name typed without one.
// OFN_PATHMUSTEXIST: the folder of the chosen file must exist (the file itself need not, as with
// the original flag); a path in a missing folder is refused with a message and the dialog shown
// again. After the dialog has closed every dialog of the program is invalidated (it was covered).
//
// For tests: setScript() replaces the dialog by a function that gets the request and returns
// the chosen path, or nothing for Cancel. GUI thread only. DoModal's dialog is the backend's
// (runDialog); the rest is platform/ui/CFileDialog.cpp.

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CDialog;

enum OpenFileFlags : unsigned { OFN_PATHMUSTEXIST = 0x800, OFN_FILEMUSTEXIST = 0x1000 };

class CFileDialog {
public:
    struct FileType {
        std::string description;
        std::string patterns;  // as given, ';' between patterns
        bool operator==(const FileType&) const = default;
    };
    struct Request {
        std::string title;
        std::vector<FileType> fileTypes;
        std::string defaultSuffix;  // without '*' and '.'
        std::string initialFile;
        unsigned flags = 0;
        CDialog* owner = nullptr;  // the parent given, else the main window
    };
    using Script = std::function<std::optional<std::string>(const Request&)>;

    CFileDialog(bool openFileDialog, const char* defaultExt, const char* fileName, unsigned flags,
                const char* filter, CDialog* parent = nullptr);

    void setTitle(const std::string& title) { request_.title = title; }
    int DoModal();
    std::string GetPathName() const { return path_; }
    const Request& request() const { return request_; }

    static std::vector<FileType> parseFilter(const std::string& filter);
    static void setScript(Script script);

private:
    // Shows the toolkit's dialog for the request; the chosen full path or nothing (backend).
    static std::optional<std::string> runDialog(const Request& request);

    Request request_;
    std::string path_;
};
