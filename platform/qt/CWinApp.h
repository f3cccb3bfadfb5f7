#pragma once
// CWinApp: the application object stand-in. A program derives one class, constructs one
// instance, and main() calls run() once a QApplication exists: run() calls InitInstance(), and
// because InitInstance returns false when the whole program has taken place inside it, run()
// then ends (no further message loop). AfxGetMainWnd() is the main window (m_pMainWnd): windows
// constructed without a parent are owned by it. It is a QPointer, so it clears itself when the
// main window is destroyed. main() hands the arguments over with setCommandLine().

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

class CCommandLineInfo;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns true to enter a message loop afterwards, false to end the program.
    virtual bool InitInstance() { return false; }

    // Calls InitInstance; with true, runs the application's event loop. Returns the exit code.
    int run();

    // The three-dimensional control look: the toolkit's styles have it already.
    void Enable3dControls() {}

    // The program's arguments (argv, program name first), kept for ParseCommandLine.
    void setCommandLine(int argc, const char* const* argv);
    void setCommandLine(std::vector<std::string> argv) { argv_ = std::move(argv); }
    // Hands every argument after the program name to info.ParseParam (app/CommandLineParser.h).
    void ParseCommandLine(CCommandLineInfo& info);

    QPointer<QWidget> m_pMainWnd;

    static CWinApp* instance();

private:
    std::vector<std::string> argv_;
};

// The application's main window, or nullptr.
QWidget* AfxGetMainWnd();
// Makes the rich-edit control available; QTextEdit needs no registration, so this only marks
// the point in start-up where it must have happened.
void AfxInitRichEdit();
