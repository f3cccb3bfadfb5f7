#pragma once
// CSerialPort: the one object through which the program touches the serial line to the module.
// open() applies the console's line settings (8N1, RTS/CTS, DTR raised, no XON/XOFF); every
// transfer installs its own time-outs just before it runs, so text and byte operations may be
// mixed freely. Open failures are shown to the operator in a message box (for a port that could
// not be had at all, followed by a note of the reason the device factory found) and returned as false;
// transfer failures are only results. An object is used by one thread at a time.
// Base of CUpgradeConsole and CDeviceVerifier; the ZModem sender works through it byte by byte.

#include "platform/ISerialDevice.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CSerialPort {
public:
    static constexpr const char* kAccessError = "Unable to gain access to the COM port.";
    static constexpr const char* kBufferError = "Failed to allocate COM port buffers.";
    static constexpr const char* kStateError = "Failed to set COM port state.";

    CSerialPort() = default;
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    bool open(const std::string& portName, std::uint32_t baudRate, std::uint32_t inQueueSize,
              std::uint32_t outQueueSize);
    void close();
    bool isOpen() const { return handle != nullptr; }

    // Writes all of text in one transfer (10 ms per byte + 10 ms).
    bool writeText(const std::string& text);
    // One read of up to size bytes: ends 200 ms after the last byte once one has arrived, when
    // size bytes are in, or after 3 ms * size + 500 ms. text receives the bytes up to the first
    // zero byte (empty on failure). True when at least one byte arrived.
    bool readText(std::string& text, std::size_t size = 4096);
    // One byte, 10 ms + 50 ms; a failure (or a byte not taken in time) is counted.
    bool writeByte(int byte);
    // Failed writeByte calls of every port in this process since it started: each is a byte
    // lost to the line. Never reset (writeErrorCount is); for benchmarks and diagnostics.
    static std::int64_t droppedBytes();
    // 0..255, or -2 when nothing arrived within timeoutMs or the call failed.
    int readByte(int timeoutMs);
    bool getState(platform::LineSettings& dcb);
    // Bytes waiting in the input queue; -2 (once, resetting the count) after more than 300
    // failed writeByte calls; 0 when the query fails.
    int bytesAvailable();

    // The last non-blank line of console output, trimmed (only CR separates lines).
    static std::string lastLine(const std::string& text);
    // True when line ends in '>' and a bare CR brings back exactly that line. The reply is consumed.
    bool confirmPrompt(const std::string& line);

    static std::string trim(const std::string& text);
    static bool isWhite(char c);

    std::int32_t writeErrorCount = 0;

protected:
    std::unique_ptr<platform::ISerialDevice> handle;
};
