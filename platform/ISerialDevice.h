#pragma once
// ISerialDevice: one open serial line, the stand-in for the Windows comm API that CSerialPort
// is written against (GetCommState/SetCommState, SetupComm, SetCommTimeouts, ReadFile/WriteFile,
// ClearCommError, CloseHandle). Implementations: PosixSerialDevice (termios), Win32SerialDevice
// (the Windows comm API itself, win32/) and, for tests, sim::SimSerialDevice (virtual line under a
// VirtualClock).
//
// Contract of read/write: synchronous; they honour the time-outs installed by the last
// setTimeouts call exactly as COMMTIMEOUTS does:
//  - read: total limit = readTotalMultiplier * size + readTotalConstant (0 = no total limit);
//    once the first byte has arrived, the read also ends when readInterval ms pass without a byte
//    (0 = no interval limit); it ends at once when size bytes have arrived. All three zero means
//    wait without limit for size bytes.
//  - write: total limit = writeTotalMultiplier * size + writeTotalConstant (0 = no limit).
// Both return false only when the call itself failed; a time-out is success with a short count.

#include "platform/ResolvedPort.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The line settings of a Windows DCB that this system reads and changes.
struct LineSettings {
    enum class Parity { None, Odd, Even };
    enum class DtrControl { Disable, Enable };
    enum class RtsControl { Disable, Enable, Handshake };

    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    Parity parity = Parity::None;
    std::uint8_t stopBits = 1;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    DtrControl dtrControl = DtrControl::Enable;
    RtsControl rtsControl = RtsControl::Enable;
    bool outX = false;
    bool inX = false;

    bool operator==(const LineSettings&) const = default;
};

// COMMTIMEOUTS, all in milliseconds.
struct SerialTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;

    bool operator==(const SerialTimeouts&) const = default;
};

class ISerialDevice {
public:
    virtual ~ISerialDevice() = default;

    virtual bool getState(LineSettings& out) = 0;
    virtual bool setState(const LineSettings& settings) = 0;
    // Driver queue sizes in bytes (SetupComm).
    virtual bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual bool setTimeouts(const SerialTimeouts& timeouts) = 0;
    virtual bool read(std::uint8_t* buffer, std::size_t size, std::size_t& received) = 0;
    virtual bool write(const std::uint8_t* data, std::size_t size, std::size_t& written) = 0;
    // Clears a pending line error; reports the number of bytes waiting in the input queue.
    virtual bool clearError(std::uint32_t* inQueue) = 0;
};

// Opens devices by port name ("COM1", "COM2" or a device path). Exclusive: a second open of a
// device that is already open, by this program or another, fails.
// describe() says, for the operator, which device a port name stands for now ("none found"
// when none); openFailure() says why this thread's last failed open of that name failed
// (empty when there is nothing to add to the failure itself).
// resolve() pins a port name to the device it stands for now (ResolvedPort); its openPath is
// itself a name that open() takes. Factories whose names are fixed keep the name.
class ISerialDeviceFactory {
public:
    virtual ~ISerialDeviceFactory() = default;
    virtual std::unique_ptr<ISerialDevice> open(const std::string& portName) = 0;
    virtual ResolvedPort resolve(const std::string& portName) { return {portName, portName, portName}; }
    virtual std::string describe(const std::string& portName) { return portName; }
    virtual std::string openFailure(const std::string& /*portName*/) { return {}; }
};

}  // namespace platform
