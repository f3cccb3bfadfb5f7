#include "zmodem/CZModemSender.h"

#include "platform/ISerialDevice.h"
#include "platform/Platform.h"
#include "platform/PrintableText.h"
#include "platform/ReadableFile.h"
#include "zmodem/CCrc16.h"
#include "zmodem/CCrc32.h"
#include "zmodem/ZModemDefs.h"

#include <climits>
#include <cstdio>
#include <cstdint>

using namespace zmodem;

namespace {

constexpr int kByteMs = 10000;        // each byte of a header; the wait after an XOFF
constexpr int kShortMs = 100;         // after a CAN, after CAN 'k', the line end, data-phase reads
constexpr int kAfterZrinitMs = 5000;  // bytes after a ZRINIT that answered ZFILE
constexpr int kBlock = 1024;
constexpr int kHeaderLength = 4;
constexpr int kInitHeaders = 10;
// Answers in a row that move nothing on (a header answered with ZNAK, an offer, ZEOF or ZFIN
// sent again): a receiver that keeps repeating itself would otherwise hold the transfer for good.
constexpr int kMaxRepeats = 10;
constexpr int kMaxResyncs = 12;
constexpr std::int32_t kReportEvery = 4096;

bool isXoff(int c)
{
    return c == XOFF || c == (XOFF | 0x80);
}

}  // namespace

CZModemSender::CZModemSender(CSerialPort* serialPort, ProgressState* progress) : CFileTransfer(serialPort, progress)
{
    file = nullptr;
    fileSize = -1;
    rxBufferLength = 16384;
}

CZModemSender::~CZModemSender()
{
    closeFile();
}

// ------------------------------------------------------------------ wire layer

void CZModemSender::sendRaw(int byte)
{
    // A lost byte shows up as a damaged frame at the receiver, which asks again; the port
    // counts the failures for bytesAvailable.
    port->writeByte(byte & 0xFF);
}

void CZModemSender::storePosition(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    txHeader[0] = static_cast<std::uint8_t>(v);
    txHeader[1] = static_cast<std::uint8_t>(v >> 8);
    txHeader[2] = static_cast<std::uint8_t>(v >> 16);
    txHeader[3] = static_cast<std::uint8_t>(v >> 24);
}

void CZModemSender::sendEscaped(int byte)
{
    int c = byte & 0xFF;
    if (c & 0x60) {
        sendRaw(c);
        lastSent = c;
        return;
    }
    bool escape = false;
    switch (c) {
    case 0x10: case 0x11: case 0x13: case ZDLE:
    case 0x90: case 0x91: case 0x93:
        escape = true;
        break;
    case 0x0D: case 0x8D:
        // Some packet networks on the way take CR after an '@' as the start of a command.
        escape = (lastSent & 0x7F) == '@';
        break;
    default:
        break;
    }
    if (escape) {
        sendRaw(ZDLE);
        c ^= 0x40;
    }
    sendRaw(c);
    lastSent = c;
}

void CZModemSender::sendHexByte(int byte)
{
    static const char digits[] = "0123456789abcdef";
    sendRaw(digits[(byte >> 4) & 0x0F]);
    sendRaw(digits[byte & 0x0F]);
}

namespace {

// Sends the type and the header bytes through send, running each through crc.
template <typename Crc, typename Send>
void sendCovered(int type, const std::uint8_t* header, int length, Crc& crc, Send send)
{
    send(type);
    crc.update(static_cast<std::uint8_t>(type));
    for (int i = 0; i < length; ++i) {
        send(header[i]);
        crc.update(header[i]);
    }
}

}  // namespace

void CZModemSender::sendHexHeader(int length, int type, const std::uint8_t* header)
{
    sendRaw(ZPAD);
    sendRaw(ZPAD);
    sendRaw(ZDLE);
    sendRaw(ZHEX);
    CCrc16 crc(0);
    sendCovered(type, header, length, crc, [this](int b) { sendHexByte(b); });
    crc.update(0);
    crc.update(0);
    sendHexByte(crc.value() >> 8);
    sendHexByte(crc.value() & 0xFF);
    sendRaw(0x0D);
    sendRaw(0x8A);
    // After ZFIN and ZACK the receiver may already be gone; an XON would only be noise.
    if (type != ZFIN && type != ZACK)
        sendRaw(XON);
}

void CZModemSender::sendBinaryHeader(int length, int type, const std::uint8_t* header)
{
    sendRaw(ZPAD);
    sendRaw(ZDLE);
    auto escaped = [this](int b) { sendEscaped(b); };
    if (useCrc32) {
        sendRaw(ZBIN32);
        CCrc32 crc;
        sendCovered(type, header, length, crc, escaped);
        const std::uint32_t v = ~crc.value();
        for (int i = 0; i < 4; ++i)
            sendEscaped(static_cast<int>((v >> (8 * i)) & 0xFF));
    } else {
        sendRaw(ZBIN);
        CCrc16 crc(0);
        sendCovered(type, header, length, crc, escaped);
        crc.update(0);
        crc.update(0);
        sendEscaped(crc.value() >> 8);
        sendEscaped(crc.value() & 0xFF);
    }
}

void CZModemSender::sendDataSubpacket(const std::uint8_t* data, int length, int frameEnd)
{
    if (useCrc32) {
        CCrc32 crc;
        for (int i = 0; i < length; ++i) {
            sendEscaped(data[i]);
            crc.update(data[i]);
        }
        sendRaw(ZDLE);
        sendRaw(frameEnd);
        crc.update(static_cast<std::uint8_t>(frameEnd));
        const std::uint32_t v = ~crc.value();
        for (int i = 0; i < 4; ++i)
            sendEscaped(static_cast<int>((v >> (8 * i)) & 0xFF));
    } else {
        CCrc16 crc(0);
        for (int i = 0; i < length; ++i) {
            sendEscaped(data[i]);
            crc.update(data[i]);
        }
        sendRaw(ZDLE);
        sendRaw(frameEnd);
        crc.update(static_cast<std::uint8_t>(frameEnd));
        crc.update(0);
        crc.update(0);
        sendEscaped(crc.value() >> 8);
        sendEscaped(crc.value() & 0xFF);
    }
    if (frameEnd == ZCRCW)
        sendRaw(XON);
}

int CZModemSender::readSevenBit()
{
    for (;;) {
        int c = port->readByte(kByteMs);
        if (c < 0)
            return TIMEOUT;
        c &= 0x7F;
        if (c != XON && c != XOFF)
            return c;
    }
}

int CZModemSender::readEscaped()
{
    int c;
    do {
        c = port->readByte(kByteMs);
        if (c < 0)
            return TIMEOUT;
    } while (c == XON || c == XOFF || c == (XON | 0x80) || c == (XOFF | 0x80));
    if (c != ZDLE)
        return c;

    for (;;) {
        c = port->readByte(kByteMs);
        if (c < 0)
            return TIMEOUT;
        for (int more = 0; c == CAN && more < 3; ++more) {
            c = port->readByte(kByteMs);
            if (c < 0)
                return TIMEOUT;
        }
        switch (c) {
        case CAN:
            return CANCELLED;
        case ZCRCE: case ZCRCG: case ZCRCQ: case ZCRCW:
            return FRAME_END_BIT | c;
        case ZRUB0:
            return 0x7F;
        case ZRUB1:
            return 0xFF;
        case XON: case XOFF: case XON | 0x80: case XOFF | 0x80:
            continue;  // flow control between ZDLE and its byte
        default:
            if ((c & 0x60) == 0x40)
                return c ^ 0x40;
            return ERROR;
        }
    }
}

int CZModemSender::readHexByte()
{
    int value = 0;
    for (int digit = 0; digit < 2; ++digit) {
        const int c = readSevenBit();
        if (c < 0)
            return c;
        int n = c - '0';
        if (n > 9)
            n -= 'a' - '0' - 10;
        if (n < 0 || n > 15)
            return ERROR;
        value = value * 16 + n;
    }
    return value;
}

namespace {

// The body of a binary header after its kind letter: type, four header bytes and crcBytes
// check bytes, all escaped, all run through crc. A code outside 0..255 is handed back at once.
template <typename Crc, typename ReadEscaped>
int readBinaryBody(std::uint8_t* header, int crcBytes, Crc& crc, ReadEscaped readEscaped)
{
    const int type = readEscaped();
    if (type < 0 || type > 0xFF)
        return type;
    crc.update(static_cast<std::uint8_t>(type));
    for (int i = 0; i < kHeaderLength + crcBytes; ++i) {
        const int c = readEscaped();
        if (c < 0 || c > 0xFF)
            return c;
        if (i < kHeaderLength)
            header[i] = static_cast<std::uint8_t>(c);
        crc.update(static_cast<std::uint8_t>(c));
    }
    return type;
}

}  // namespace

int CZModemSender::readBinaryHeader16(std::uint8_t* header)
{
    CCrc16 crc(0);
    const int type = readBinaryBody(header, 2, crc, [this] { return readEscaped(); });
    if (type < 0 || type > 0xFF)
        return type;
    return crc.value() != 0 ? ERROR : type;
}

int CZModemSender::readBinaryHeader32(std::uint8_t* header)
{
    CCrc32 crc;
    const int type = readBinaryBody(header, 4, crc, [this] { return readEscaped(); });
    if (type < 0 || type > 0xFF)
        return type;
    return crc.value() != CRC32_RESIDUE ? ERROR : type;
}

int CZModemSender::readHexHeader(std::uint8_t* header)
{
    CCrc16 crc(0);
    const int type = readHexByte();
    if (type < 0)
        return type;
    crc.update(static_cast<std::uint8_t>(type));
    for (int i = 0; i < kHeaderLength; ++i) {
        const int c = readHexByte();
        if (c < 0)
            return c;
        header[i] = static_cast<std::uint8_t>(c);
        crc.update(header[i]);
    }
    for (int i = 0; i < 2; ++i) {
        const int c = readHexByte();
        if (c < 0)
            return c;
        crc.update(static_cast<std::uint8_t>(c));
    }
    if (crc.value() != 0)
        return ERROR;
    // Swallow the line end so that it is not taken for garbage before the next header.
    const int c = port->readByte(kShortMs);
    if (c == 0x0D || c == 0x8D)
        port->readByte(kShortMs);
    return type;
}

int CZModemSender::receiveHeader(std::uint8_t* header)
{
    std::uint32_t baud = kFallbackBaud;
    platform::LineSettings dcb;
    if (port->getState(dcb))
        baud = dcb.baudRate;
    if (baud < 19200)
        baud = 19200;
    std::int64_t garbageLeft = 1400 + static_cast<std::int64_t>(baud);
    // The garbage limit also ends a hunt that lasts twice as long as that many bytes take on the
    // line, plus one byte's wait: counted in bytes alone, a console that prints one line every few
    // seconds (the module back in its command mode) would hold one hunt for hours.
    const std::int64_t huntStartUs = platform::clock().nowUs();
    const std::int64_t huntLimitUs = 2 * garbageLeft * (10'000'000 / static_cast<std::int64_t>(baud)) + kByteMs * 1000LL;

    enum class Step { Restart, Hunt, Pad, Kind, Cancel, Garbage };
    Step step = Step::Restart;
    int cancels = 0;
    int result = ERROR;
    for (;;) {
        switch (step) {
        case Step::Restart:
            cancels = 0;
            step = Step::Hunt;
            break;
        case Step::Hunt: {
            const int c = port->readByte(kByteMs);
            if (c < 0)
                return TIMEOUT;
            if (c == CAN)
                step = Step::Cancel;
            else if (c == ZPAD || c == (ZPAD | 0x80))
                step = Step::Pad;
            else
                step = Step::Garbage;
            break;
        }
        case Step::Pad: {
            cancels = 0;
            const int c = readSevenBit();
            if (c == TIMEOUT)
                return TIMEOUT;
            if (c == ZPAD)
                break;
            step = c == ZDLE ? Step::Kind : Step::Garbage;
            break;
        }
        case Step::Kind: {
            const int c = readSevenBit();
            if (c == TIMEOUT)
                return TIMEOUT;
            if (c == ZBIN)
                result = readBinaryHeader16(header);
            else if (c == ZHEX)
                result = readHexHeader(header);
            else if (c == ZBIN32)
                result = readBinaryHeader32(header);
            else {
                step = c == CAN ? Step::Cancel : Step::Garbage;
                break;
            }
            rxPosition = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(header[0]) | static_cast<std::uint32_t>(header[1]) << 8 |
                static_cast<std::uint32_t>(header[2]) << 16 | static_cast<std::uint32_t>(header[3]) << 24);
            return result == CANCELLED ? ZCAN : result;
        }
        case Step::Cancel: {
            if (++cancels >= 5)
                return ZCAN;
            const int c = port->readByte(kShortMs);
            if (c < 0) {
                step = Step::Hunt;  // CAN bytes parted only by silence still add up
            } else if (c == CAN) {
                if (++cancels >= 5)
                    return ZCAN;
                step = Step::Hunt;
            } else if (c == ZCRCW) {
                if (port->readByte(kShortMs) < 0)
                    return ERROR;
                step = Step::Garbage;
            } else {
                step = Step::Garbage;
            }
            break;
        }
        case Step::Garbage:
            if (--garbageLeft <= 0 || platform::clock().nowUs() - huntStartUs > huntLimitUs)
                return GARBAGE_LIMIT;
            step = Step::Restart;
            break;
        }
    }
}

// ------------------------------------------------------------------ transfer

void CZModemSender::closeFile()
{
    if (file)
        std::fclose(file);
    file = nullptr;
}

bool CZModemSender::seekTo(std::int32_t position)
{
    if (!file || position < 0 || position > fileSize)
        return false;
    return std::fseek(file, static_cast<long>(position), SEEK_SET) == 0;
}

std::uint32_t CZModemSender::fileCrc(std::int64_t count)
{
    CCrc32 crc;
    std::rewind(file);
    std::uint8_t chunk[4096];
    std::int64_t left = count < 0 ? INT64_MAX : count;
    while (left > 0) {
        const std::size_t want = left < static_cast<std::int64_t>(sizeof chunk) ? static_cast<std::size_t>(left) : sizeof chunk;
        const std::size_t got = std::fread(chunk, 1, want, file);
        for (std::size_t i = 0; i < got; ++i)
            crc.update(chunk[i]);
        left -= static_cast<std::int64_t>(got);
        if (got < want)
            break;
    }
    std::rewind(file);
    return ~crc.value();
}

int CZModemSender::sendFile(const std::string& path)
{
    lastSent = 0;
    storePosition(0);
    sendHexHeader(kHeaderLength, ZRQINIT, txHeader);

    if (waitReceiverInit() == -1) {
        errorText = "Unable to initialize ZModem transfer.";
        reportError(errorText);
        return -1;
    }

    byteCount = -1;
    const int offered = offerFile(path);
    // Every way out of the offer closes the file here at the latest (closing is idempotent).
    closeFile();
    // A file the receiver declined (ZSKIP, at the offer or during the data) did not arrive: for a
    // firmware transfer that is a failure, however politely the receiver put it.
    if (offered != 0) {
        errorText = "ZModem transfer failed.";
        reportError(errorText);
        return -1;
    }
    finishTransfer();
    return 0;
}

int CZModemSender::waitReceiverInit()
{
    for (int n = 0; n < kInitHeaders; ++n) {
        const int type = receiveHeader(rxHeader);
        switch (type) {
        case ZRINIT:
            rxBufferLength = rxHeader[ZP0] + 256 * rxHeader[ZP1];
            useCrc32 = rxHeader[ZF0] & CANFC32;
            return 0;
        case TIMEOUT:
        case ZCAN:
            return -1;
        case ZCHALLENGE:
            storePosition(rxPosition);
            sendHexHeader(kHeaderLength, ZACK, txHeader);
            break;
        case ZCOMMAND:
            storePosition(0);
            sendHexHeader(kHeaderLength, ZRQINIT, txHeader);
            break;
        case ZRQINIT:
            if (rxHeader[ZF0] == ZCOMMAND)
                break;  // the other side wants to send a command: not answered
            sendHexHeader(kHeaderLength, ZNAK, txHeader);
            break;
        default:
            sendHexHeader(kHeaderLength, ZNAK, txHeader);
            break;
        }
    }
    return -1;
}

int CZModemSender::openFile(const std::string& path)
{
    platform::ReadableFile opened = platform::openReadable(path);
    file = opened.file;
    eofSeen = 0;
    // The size of the file that was opened, not of whatever the path names by now.
    const std::int64_t size = file ? platform::fileSize(file) : -1;
    if (!file || size < 0) {
        closeFile();
        const bool openFailed = opened.failure == platform::ReadableFile::Failure::Open;
        errorText = (openFailed ? "Failed to open " : "Failed to read ") + path;
        reportError(errorText);
        platform::notifier().note(opened.cause.empty() ? "The size of " + platform::printable(path) + " cannot be read."
                                                       : opened.cause);
        return -1;
    }
    // Positions and the size travel as 32-bit values.
    if (size > INT32_MAX) {
        closeFile();
        errorText = "File too large for ZModem transfer: " + path;
        reportError(errorText);
        return -1;
    }
    fileSize = static_cast<std::int32_t>(size);
    return 0;
}

int CZModemSender::checkFile(const std::string& path)
{
    const int opened = openFile(path);
    closeFile();
    fileSize = -1;
    if (opened == -1) {
        errorText = "ZModem transfer failed.";
        reportError(errorText);
    }
    return opened;
}

int CZModemSender::offerFile(const std::string& path)
{
    if (openFile(path) == -1)
        return -1;

    // The information text and its terminating zero must fit the buffer.
    const int infoLength = std::snprintf(reinterpret_cast<char*>(txBuffer), sizeof txBuffer, "%s%c%u 0 0 0 0 0",
                                         path.c_str(), 0, static_cast<unsigned>(fileSize));
    if (infoLength < 0 || infoLength >= static_cast<int>(sizeof txBuffer)) {
        closeFile();
        errorText = "File path too long for ZModem transfer.";
        reportError(errorText);
        return -1;
    }

    bool crcAnswered = false;
    std::int32_t crcPosition = 0;
    std::uint32_t crcValue = 0;
    for (int offers = 0;; ++offers) {
        if (offers > kMaxRepeats) {
            closeFile();
            return -1;
        }
        storePosition(0);
        sendBinaryHeader(kHeaderLength, ZFILE, txHeader);
        sendDataSubpacket(txBuffer, infoLength, ZCRCW);

        bool offerAgain = false;
        while (!offerAgain) {
            const int type = receiveHeader(rxHeader);
            switch (type) {
            case ZRINIT:
                // The receiver went back to its start: wait for a header, or offer again once
                // it has gone quiet.
                for (;;) {
                    const int c = port->readByte(kAfterZrinitMs);
                    if (c < 0 || c == 0) {
                        offerAgain = true;
                        break;
                    }
                    if (c == ZPAD)
                        break;
                }
                break;
            case ZSKIP:
                closeFile();
                return ZSKIP;
            case ZRPOS:
                if (!seekTo(rxPosition)) {
                    closeFile();
                    return -1;
                }
                txPosition = rxPosition;
                byteCount = rxPosition;
                lastSyncPosition = rxPosition - 1;
                return streamFileData();
            case ZCRC:
                if (!crcAnswered || rxPosition != crcPosition) {
                    // The first P - 1 bytes (P = 0: the whole file), as the module's receiver
                    // checks them; a position outside the file covers the whole file.
                    const std::int64_t count = rxPosition > 0 ? static_cast<std::int64_t>(rxPosition) - 1 : -1;
                    crcValue = fileCrc(count);
                    crcPosition = rxPosition;
                    crcAnswered = true;
                }
                storePosition(static_cast<std::int32_t>(crcValue));
                sendBinaryHeader(kHeaderLength, ZCRC, txHeader);
                break;
            case TIMEOUT:
            case ZABORT:
            case ZFIN:
            case ZCAN:
            case ZFERR:
                closeFile();
                return -1;
            default:
                offerAgain = true;
                break;
            }
        }
    }
}

int CZModemSender::streamFileData()
{
    int junk = 0;
    int eofRepeats = 0;
    bool eofSent = false;
    // Resends asked for at one position without any progress past it: a line that spoils every
    // frame the same way would otherwise be resent to for ever.
    std::int32_t resyncAt = -1;
    int resyncsThere = 0;
    auto stuck = [&] {
        if (txPosition != resyncAt) {
            resyncAt = txPosition;
            resyncsThere = 0;
        }
        return ++resyncsThere > kMaxResyncs;
    };
    std::int32_t lastReported = 0;
    std::int64_t windowLeft = 0;
    int r = 0;

    enum class Step { NewFrame, NextBlock, WaitAck, Act, EndOfFile };
    Step step = Step::NewFrame;
    for (;;) {
        switch (step) {
        case Step::NewFrame:
            windowLeft = rxBufferLength;
            storePosition(txPosition);
            sendBinaryHeader(kHeaderLength, ZDATA, txHeader);
            step = Step::NextBlock;
            break;

        case Step::NextBlock: {
            if (!file)
                return -1;
            const int n = static_cast<int>(std::fread(txBuffer, 1, kBlock, file));
            if (n < kBlock)
                eofSeen = 1;
            int frameEnd;
            if (eofSeen)
                frameEnd = ZCRCE;
            else if (junk > 3)
                frameEnd = ZCRCW;
            else if (byteCount == lastSyncPosition)
                frameEnd = ZCRCW;
            else if (rxBufferLength != 0 && (windowLeft -= n) <= 0)
                frameEnd = ZCRCW;
            else
                frameEnd = ZCRCG;
            sendDataSubpacket(txBuffer, n, frameEnd);
            txPosition += n;
            byteCount = txPosition;
            if (txPosition - lastReported >= kReportEvery) {
                reportProgress(txPosition);
                lastReported = txPosition;
            }
            if (frameEnd == ZCRCW) {
                step = Step::WaitAck;
                break;
            }
            // Listen for the receiver between subpackets without stopping the stream.
            bool answered = false;
            while (!answered && port->bytesAvailable() != 0) {
                const int c = port->readByte(kShortMs);
                if (isXoff(c)) {
                    port->readByte(kByteMs);  // wait for the XON
                    ++junk;
                } else if (c == CAN || c == ZPAD) {
                    r = waitSync(true);
                    if (r == ZACK)
                        continue;
                    sendDataSubpacket(txBuffer, 0, ZCRCE);
                    answered = true;
                } else {
                    ++junk;
                    // Nothing came although the port said there was (a line that hung up, or
                    // the write-failure signal): listening on would never end.
                    if (c < 0)
                        break;
                }
            }
            if (answered)
                step = Step::Act;
            else if (eofSeen)
                step = Step::EndOfFile;
            break;
        }

        case Step::WaitAck:
            junk = 0;
            r = waitSync(false);
            step = Step::Act;
            break;

        case Step::Act:
            switch (r) {
            case ZRINIT:
                // Before the ZEOF the file cannot be complete at the receiver: a receiver back at
                // its start (restarted, or a stale header) has not got it, so this is no success.
                closeFile();
                return -1;
            case ZACK:
            case ZRPOS: {
                if (r == ZRPOS && stuck()) {
                    closeFile();
                    return -1;
                }
                bool again = false;
                while (port->bytesAvailable() != 0) {
                    const int c = port->readByte(kShortMs);
                    if (c < 0)
                        break;  // nothing there after all: draining on would never end
                    if (isXoff(c)) {
                        port->readByte(kByteMs);
                    } else if (c == CAN || c == ZPAD) {
                        r = waitSync(true);
                        again = true;
                        break;
                    }
                }
                step = again ? Step::Act : Step::NewFrame;
                break;
            }
            case ZSKIP:
                return ZSKIP;
            default:
                closeFile();
                return -1;
            }
            break;

        case Step::EndOfFile:
            if (++eofRepeats > kMaxRepeats) {
                closeFile();
                return -1;
            }
            storePosition(txPosition);
            {
                // A ZEOF that did not wholly leave (CTS held off past the bytes' write time-out)
                // was not seen, so a ZRINIT cannot be its answer: the receiver restarted, or the
                // header is stale. Only a ZEOF that went out can be confirmed.
                const std::int32_t failedWrites = port->writeErrorCount;
                sendBinaryHeader(kHeaderLength, ZEOF, txHeader);
                eofSent = eofSent || port->writeErrorCount == failedWrites;
            }
            r = waitSync(false);
            switch (r) {
            case ZRINIT:
                if (!eofSent)
                    return -1;
                return 0;
            case ZACK:
                break;  // ZEOF again
            case ZRPOS:
                if (stuck()) {
                    closeFile();
                    return -1;
                }
                step = Step::NewFrame;
                break;
            case ZSKIP:
                return ZSKIP;
            default:
                closeFile();
                return -1;
            }
            break;
        }
    }
}

int CZModemSender::waitSync(bool acceptAnyAck)
{
    for (int unexpected = 0; unexpected <= kMaxRepeats;) {
        const int type = receiveHeader(rxHeader);
        switch (type) {
        case TIMEOUT:
        case ZABORT:
        case ZFIN:
        case ZCAN:
        case ZFERR:
            return -1;
        case ZRINIT:
        case ZSKIP:
            closeFile();
            return type;
        case ZACK:
            if (acceptAnyAck || rxPosition == txPosition)
                return ZACK;
            break;
        case ZRPOS:
            if (!seekTo(rxPosition))
                return -1;
            eofSeen = 0;
            txPosition = rxPosition;
            byteCount = rxPosition;
            lastSyncPosition = rxPosition;
            return ZRPOS;
        default:
            sendBinaryHeader(kHeaderLength, ZNAK, txHeader);
            ++unexpected;
            break;
        }
    }
    return -1;
}

void CZModemSender::finishTransfer()
{
    storePosition(0);
    sendHexHeader(kHeaderLength, ZFIN, txHeader);
    for (int repeats = 0; repeats < kMaxRepeats; ++repeats) {
        const int type = receiveHeader(rxHeader);
        if (type == TIMEOUT || type == ZCAN)
            return;
        if (type == ZFIN) {
            sendRaw('O');
            sendRaw('O');
            return;
        }
        sendHexHeader(kHeaderLength, ZFIN, txHeader);
    }
}
