#pragma once
// PosixSerialDevice: ISerialDevice on a POSIX terminal device (termios). Raw mode, speed, data
// bits, parity, stop bits, RTS/CTS and XON/XOFF from the line settings; DTR raised where the
// device supports modem control (a pseudo-terminal does not, and that is not an error).
// The open is exclusive: a non-blocking flock (refused when another process, or this one, holds
// it) and TIOCEXCL. The terminal settings found at open are restored at close, once queued
// output has left the line (a bounded wait: a line without CTS cannot hold the close). Time-outs are
// kept with poll() against the platform clock; every call is retried on EINTR. A far end that
// has hung up ends a transfer at once (reported as failure when nothing was moved), never a
// busy wait.
// Writes keep the pace of a UART: the device never lets more than its output queue (the size
// given to setupQueues, 4,096 bytes unless told otherwise) get ahead of the line, which carries
// one character (10 bits) per 10/baud seconds at the speed last set. A write that finds the
// queue full waits, through the clock and within its time-out, for the line to take bytes. On a
// real port the driver holds the writer back the same way; on a pseudo-terminal, a network
// serial server or an adapter with a deep buffer it keeps the transfer at the cable's pace.
// setLinePaced(false) drops that model, for a pseudo-terminal that stands for no cable at all
// (a receiver program on its other side, run as fast as the machine allows).

#include "platform/IClock.h"
#include "platform/ISerialDevice.h"

#include <memory>
#include <string>
#include <termios.h>

namespace platform {

class PosixSerialDevice final : public ISerialDevice {
public:
    // nullptr when the device cannot be opened or is held by someone else; error (if given)
    // then holds the errno of the step that failed (EWOULDBLOCK: another holder's lock).
    static std::unique_ptr<PosixSerialDevice> open(const std::string& path, IClock& clock, int* error = nullptr);
    ~PosixSerialDevice() override;

    bool getState(LineSettings& out) override;
    bool setState(const LineSettings& settings) override;
    bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setTimeouts(const SerialTimeouts& timeouts) override;
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& received) override;
    bool write(const std::uint8_t* data, std::size_t size, std::size_t& written) override;
    bool clearError(std::uint32_t* inQueue) override;

    // Whether writes keep the line's pace (the default).
    void setLinePaced(bool paced) { paced_ = paced; }
    int fd() const { return fd_; }
    static speed_t speedFor(std::uint32_t baud);
    static std::uint32_t baudFor(speed_t speed);

private:
    PosixSerialDevice(int fd, IClock& clock, const termios& saved, bool haveSaved);
    // Waits for events on the descriptor for at most timeoutUs (-1 = no limit): 1 ready,
    // 0 time-out, -1 error.
    int waitFor(short events, std::int64_t timeoutUs);
    // Lets queued output leave the line before the saved settings come back (bounded wait).
    void drainOutput();
    // multiplier * size + constant in microseconds, saturated; -1 when both are 0 (no limit).
    static std::int64_t totalLimitUs(std::uint32_t multiplierMs, std::uint32_t constantMs, std::size_t size);
    // Bytes the output queue can take now (the UART model); size when the speed is unknown.
    std::size_t queueRoom(std::int64_t nowNs, std::size_t size) const;
    // How long until the queue has room for want bytes, in nanoseconds (0 = now).
    std::int64_t roomWaitNs(std::int64_t nowNs, std::size_t want) const;

    int fd_;
    IClock& clock_;
    termios saved_{};
    bool haveSaved_;
    SerialTimeouts timeouts_;
    // The UART model of the write path.
    bool paced_ = true;
    std::uint32_t outQueue_ = 4096;
    std::int64_t charNs_ = 0;      // one character at the line speed; 0 = speed unknown
    std::int64_t lineFreeNs_ = 0;  // when the line will have sent every byte written so far
};

}  // namespace platform
