#pragma once
// CFileTransfer: the abstract file sender bound to an open serial port and a progress target.
// reportError shows "Error:" + text in a message box and waits for the operator;
// reportProgress writes the "%dK of %dK" counts of the current phase into the progress state
// and refreshes it. Neither pointer is owned.

#include "serial/CSerialPort.h"
#include "upgrade/ProgressState.h"

#include <cstdint>
#include <cstdio>
#include <string>

class CFileTransfer {
public:
    CFileTransfer(CSerialPort* serialPort, ProgressState* progress) : port(serialPort), progressDlg(progress) {}
    virtual ~CFileTransfer() = default;
    CFileTransfer(const CFileTransfer&) = delete;
    CFileTransfer& operator=(const CFileTransfer&) = delete;

    virtual void reportError(std::string text);
    // 0 sent (or skipped by the receiver), -1 failed after a message was shown.
    virtual int sendFile(const std::string& path) = 0;
    virtual void reportProgress(std::int32_t bytesSent);

protected:
    CSerialPort* port;
    ProgressState* progressDlg;
    std::FILE* file = nullptr;
    std::int32_t fileSize = -1;
    std::int32_t byteCount = -1;
    std::uint8_t txBuffer[1024] = {};
    int useCrc32 = 0;
    std::int32_t rxPosition = 0;
    std::int32_t txPosition = 0;
    std::int32_t lastSyncPosition = 0;
    std::int32_t rxBufferLength = 16384;
    int eofSeen = 0;
    std::uint8_t rxHeader[4] = {};
    std::uint8_t txHeader[4] = {};
    int lastSent = 0;
    std::string errorText;
};
