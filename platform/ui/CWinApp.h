#pragma once
// CWinApp: the application object stand-in. A program derives one class, constructs one
// instance, and main() calls run() once the toolkit is set up: run() calls InitInstance(), and
// because InitInstance returns false when the whole program has taken place inside it, run()
// then ends (no further message loop). AfxGetMainWnd() is the main window (m_pMainWnd): windows
// constructed without a parent are owned by it; a dialog clears it when it is destroyed while
// being the main window. main() hands the arguments over with setCommandLine().
// run() and AfxInitRichEdit are the backend's; the rest is platform/ui/CWinApp.cpp.

#include <string>
#include <vector>

class CCommandLineInfo;
class CDialog;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns true to enter a message loop afterwards, false to end the program.
    virtual bool InitInstance() { return false; }

    // Calls InitInstance; with true, runs the application's message loop. Returns the exit code.
    int run();  // backend

    // The three-dimensional control look: the toolkits' styles have it already.
    void Enable3dControls() {}

    // The program's arguments (argv, program name first), kept for ParseCommandLine.
    void setCommandLine(int argc, const char* const* argv);
    void setCommandLine(std::vector<std::string> argv) { argv_ = std::move(argv); }
    // Hands every argument after the program name to info.ParseParam (app/CommandLineParser.h).
    void ParseCommandLine(CCommandLineInfo& info);

    CDialog* m_pMainWnd = nullptr;

    static CWinApp* instance();

private:
    std::vector<std::string> argv_;
};

// The application's main window, or nullptr.
CDialog* AfxGetMainWnd();
// Makes the rich-edit control available before the first dialog that has one (backend).
void AfxInitRichEdit();
