#include "serial/CSerialPort.h"

#include "platform/Platform.h"

#include <atomic>
#include <cstring>
#include <vector>

using platform::LineSettings;
using platform::SerialTimeouts;

namespace {

constexpr SerialTimeouts kWriteTextTimeouts{0, 0, 0, 10, 10};
constexpr SerialTimeouts kReadTextTimeouts{200, 3, 500, 0, 0};
constexpr SerialTimeouts kWriteByteTimeouts{0, 0, 0, 10, 50};

std::atomic<std::int64_t> g_droppedBytes{0};

}  // namespace

CSerialPort::~CSerialPort()
{
    close();
}

bool CSerialPort::open(const std::string& portName, std::uint32_t baudRate, std::uint32_t inQueueSize,
                       std::uint32_t outQueueSize)
{
    // A second open on the same object would otherwise leak the first device (and keep it locked).
    close();

    platform::ISerialDeviceFactory& devices = *platform::services().serial;
    handle = devices.open(portName);
    if (!handle) {
        // Found before the box: what holds the port may let go while the operator reads it.
        const std::string cause = devices.openFailure(portName);
        platform::notifier().messageBox(kAccessError, platform::MB_OK);
        if (!cause.empty())
            platform::notifier().note(cause);
        return false;
    }

    LineSettings dcb;
    if (!handle->getState(dcb))
        return false;

    dcb.baudRate = baudRate;
    dcb.byteSize = 8;
    dcb.parity = LineSettings::Parity::None;
    dcb.stopBits = 1;
    dcb.outxCtsFlow = true;
    dcb.outxDsrFlow = false;
    dcb.dtrControl = LineSettings::DtrControl::Enable;
    dcb.rtsControl = LineSettings::RtsControl::Handshake;
    dcb.outX = false;
    dcb.inX = false;

    // The queue sizes go in before the new line settings are applied.
    if (!handle->setupQueues(inQueueSize, outQueueSize)) {
        platform::notifier().messageBox(kBufferError, platform::MB_OK);
        return false;
    }
    if (!handle->setState(dcb)) {
        platform::notifier().messageBox(kStateError, platform::MB_OK);
        return false;
    }
    handle->clearError(nullptr);
    return true;
}

void CSerialPort::close()
{
    handle.reset();
}

bool CSerialPort::writeText(const std::string& text)
{
    if (!handle || !handle->setTimeouts(kWriteTextTimeouts))
        return false;
    std::size_t written = 0;
    return handle->write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), written);
}

bool CSerialPort::readText(std::string& text, std::size_t size)
{
    text.clear();
    if (!handle || size == 0 || !handle->setTimeouts(kReadTextTimeouts))
        return false;
    std::vector<std::uint8_t> buffer(size, 0);
    std::size_t received = 0;
    if (!handle->read(buffer.data(), size, received))
        return false;
    if (received > size)
        received = size;
    // Text ends at the first zero byte, and never goes past what was received.
    const void* zero = std::memchr(buffer.data(), 0, received);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer.data()) : received;
    text.assign(reinterpret_cast<const char*>(buffer.data()), length);
    return received > 0;
}

bool CSerialPort::writeByte(int byte)
{
    const std::uint8_t b = static_cast<std::uint8_t>(byte & 0xFF);
    std::size_t written = 0;
    // A byte that the driver did not take within its time-out is as lost as one whose call
    // failed; counting both lets the sender notice a line that has stopped moving.
    if (!handle || !handle->setTimeouts(kWriteByteTimeouts) || !handle->write(&b, 1, written) ||
        written != 1) {
        ++writeErrorCount;
        g_droppedBytes.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}

std::int64_t CSerialPort::droppedBytes()
{
    return g_droppedBytes.load(std::memory_order_relaxed);
}

int CSerialPort::readByte(int timeoutMs)
{
    if (!handle)
        return -2;
    // All-zero time-outs would wait without limit.
    if (timeoutMs < 1)
        timeoutMs = 1;
    const SerialTimeouts t{0, static_cast<std::uint32_t>(timeoutMs), 0, 0, 0};
    if (!handle->setTimeouts(t))
        return -2;
    std::uint8_t b = 0;
    std::size_t received = 0;
    if (!handle->read(&b, 1, received) || received != 1)
        return -2;
    return static_cast<int>(b);
}

bool CSerialPort::getState(LineSettings& dcb)
{
    return handle && handle->getState(dcb);
}

int CSerialPort::bytesAvailable()
{
    if (writeErrorCount > 300) {
        writeErrorCount = 0;
        return -2;
    }
    std::uint32_t inQueue = 0;
    if (!handle || !handle->clearError(&inQueue))
        return 0;
    return static_cast<int>(inQueue);
}

bool CSerialPort::isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string CSerialPort::trim(const std::string& text)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && isWhite(text[b]))
        ++b;
    while (e > b && isWhite(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

std::string CSerialPort::lastLine(const std::string& text)
{
    std::size_t e = text.size();
    while (e > 0 && isWhite(text[e - 1]))
        --e;
    std::string line = text.substr(0, e);
    const std::size_t cr = line.rfind('\r');
    if (cr != std::string::npos)
        line = line.substr(cr + 1);
    std::size_t b = 0;
    while (b < line.size() && isWhite(line[b]))
        ++b;
    return line.substr(b);
}

bool CSerialPort::confirmPrompt(const std::string& line)
{
    if (line.empty() || line.back() != '>')
        return false;
    writeText("\r");
    platform::sleepMs(50);
    std::string reply;
    readText(reply, 4096);
    return trim(reply) == line;
}
