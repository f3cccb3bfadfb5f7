#include "platform/qt/CWinApp.h"

#include <QApplication>

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

int CWinApp::run()
{
    if (!InitInstance())
        return 0;
    return QApplication::exec();
}

CWinApp* CWinApp::instance()
{
    return g_app;
}

QWidget* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd.data() : nullptr;
}

void AfxInitRichEdit() {}
