#pragma once
// CZModemSender: the sending side of ZModem, one file per sendFile call, over the port's single
// byte operations. Opens with one hex ZRQINIT, offers the file with ZFILE (path exactly as given,
// size, zeros), streams 1024-byte subpackets within the receiver's window, follows ZRPOS
// resynchronisation, answers ZCRC, counts ZSKIP as success and ends with ZFIN/"OO".
// Failures are shown through reportError and returned as -1. The file is closed on every way
// out, exactly once. Receiver positions are untrusted input.

#include "zmodem/CFileTransfer.h"

#include <cstdint>
#include <string>

class CZModemSender : public CFileTransfer {
public:
    CZModemSender(CSerialPort* port, ProgressState* progressDlg);
    ~CZModemSender() override;

    int sendFile(const std::string& path) override;
    // Opens path as a transfer would and closes it again, sending nothing: 0 when it can be
    // sent; -1 after the messages its transfer would have ended with ("Failed to open/read
    // <path>", "ZModem transfer failed."), the cause (missing, permission, not a regular file)
    // as a note after the first.
    int checkFile(const std::string& path);

    // --- wire layer ---
    void storePosition(std::int32_t value);
    void sendEscaped(int byte);
    void sendHexByte(int byte);
    void sendHexHeader(int length, int type, const std::uint8_t* header);
    void sendBinaryHeader(int length, int type, const std::uint8_t* header);
    void sendDataSubpacket(const std::uint8_t* data, int length, int frameEnd);
    int readSevenBit();
    int readEscaped();
    int readHexByte();
    int readBinaryHeader16(std::uint8_t* header);
    int readBinaryHeader32(std::uint8_t* header);
    int readHexHeader(std::uint8_t* header);
    int receiveHeader(std::uint8_t* header);

    // --- transfer steps ---
    int waitReceiverInit();
    int offerFile(const std::string& path);
    int streamFileData();
    int waitSync(bool acceptAnyAck);
    void finishTransfer();

    // Test access to the protocol state.
    int lastSentByte() const { return lastSent; }
    void setLastSentByte(int b) { lastSent = b; }
    void setUseCrc32(bool on) { useCrc32 = on ? 1 : 0; }
    std::int32_t receivedPosition() const { return rxPosition; }
    std::int32_t receiverBufferLength() const { return rxBufferLength; }
    bool crc32Chosen() const { return useCrc32 != 0; }
    bool fileOpen() const { return file != nullptr; }
    std::int32_t currentFileSize() const { return fileSize; }

    // The garbage limit of receiveHeader when the line speed cannot be read: that of the
    // console's usual 38,400 bps.
    static constexpr std::uint32_t kFallbackBaud = 38400;

private:
    // Opens the file to be sent and takes its size from it; -1 after its message and cause.
    int openFile(const std::string& path);
    void sendRaw(int byte);
    void closeFile();
    // Seeks the file to a position the receiver asked for; false for a position outside the
    // file (it is not to be trusted) or a failed seek.
    bool seekTo(std::int32_t position);
    // CRC-32 of the file's first count bytes (all of it for a negative count); rewinds after.
    std::uint32_t fileCrc(std::int64_t count);
};
