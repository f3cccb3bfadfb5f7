#pragma once
// CFileDialog: the file-open dialog stand-in. Construct with the arguments of the framework's
// dialog (open, default extension, initial file name, OFN_* flags, filter, parent), set the title
// with setTitle(), run DoModal() (IDOK or IDCANCEL), read GetPathName() (the full path chosen).
// The filter is the "Description|pattern|Description|pattern|" form; toQtFilters() turns it into
// Qt's "Description (pattern)" list, from which the dialog takes the patterns, while its list of
// file types shows each description exactly as given (the pattern is not appended to it). The
// default extension "*.dmf" or ".dmf" or "dmf" becomes the suffix added to a name typed without
// one. OFN_PATHMUSTEXIST: the folder of the chosen file must exist (the file itself need not,
// as with the original flag); a path in a missing folder is refused with a message and the
// dialog shown again.
// After the dialog has closed every dialog of the program is invalidated (it was covered).
//
// For tests: setScript() replaces the dialog by a function that gets the request and returns
// the chosen path, or nothing for Cancel. GUI thread only.

#include <QStringList>

#include <functional>
#include <optional>
#include <string>

class QWidget;

enum OpenFileFlags : unsigned { OFN_PATHMUSTEXIST = 0x800, OFN_FILEMUSTEXIST = 0x1000 };

class CFileDialog {
public:
    struct Request {
        std::string title;
        QStringList filters;
        QString defaultSuffix;
        std::string initialFile;
        unsigned flags = 0;
    };
    using Script = std::function<std::optional<std::string>(const Request&)>;

    CFileDialog(bool openFileDialog, const char* defaultExt, const char* fileName, unsigned flags,
                const char* filter, QWidget* parent = nullptr);

    void setTitle(const std::string& title) { request_.title = title; }
    int DoModal();
    std::string GetPathName() const { return path_; }
    const Request& request() const { return request_; }

    static QStringList toQtFilters(const std::string& filter);
    static void setScript(Script script);

private:
    Request request_;
    QWidget* parent_;
    std::string path_;
};
