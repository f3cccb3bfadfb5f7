#include "platform/ui/CWinApp.h"

#include "app/CommandLineParser.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::setCommandLine(int argc, const char* const* argv)
{
    argv_.clear();
    for (int i = 0; i < argc; ++i)
        argv_.emplace_back(argv[i] ? argv[i] : "");
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info)
{
    if (argv_.size() > 1)
        parseCommandLine(std::vector<std::string>(argv_.begin() + 1, argv_.end()), info);
}

CWinApp* CWinApp::instance()
{
    return g_app;
}

CDialog* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}
