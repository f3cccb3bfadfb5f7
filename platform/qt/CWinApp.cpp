#include "platform/ui/CWinApp.h"

#include <QApplication>

int CWinApp::run()
{
    if (!InitInstance())
        return 0;
    return QApplication::exec();
}

// The toolkit's text control needs no registration: this only marks the point in start-up
// where the rich-edit control must have become available.
void AfxInitRichEdit() {}
