#include "zmodem/CFileTransfer.h"

#include "platform/Platform.h"

#include <cstdio>

void CFileTransfer::reportError(std::string text)
{
    platform::notifier().messageBox("Error:" + text, platform::MB_OK);
}

void CFileTransfer::reportProgress(std::int32_t bytesSent)
{
    if (!progressDlg)
        return;
    const int sentK = static_cast<int>(bytesSent / 1024);
    const int totalK = static_cast<int>(fileSize / 1024);
    char text[64];
    std::snprintf(text, sizeof text, "%dK of %dK", sentK, totalK);
    if (progressDlg->bootPhase) {
        progressDlg->bootSentK = sentK;
        progressDlg->bootTotalK = totalK;
        progressDlg->bootProgressText = text;
    } else {
        progressDlg->codeSentK = sentK;
        progressDlg->codeTotalK = totalK;
        progressDlg->codeProgressText = text;
    }
    progressDlg->refresh();
}
