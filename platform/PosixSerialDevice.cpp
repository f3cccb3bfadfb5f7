#include "platform/PosixSerialDevice.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

template <typename F>
int retryEintr(F f)
{
    int r;
    do {
        r = f();
    } while (r < 0 && errno == EINTR);
    return r;
}

struct SpeedEntry {
    std::uint32_t baud;
    speed_t speed;
};

// A writer held back by a full output queue is woken when this much line time has freed room.
constexpr std::int64_t kRefillNs = 4'000'000;

constexpr SpeedEntry kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

}  // namespace

speed_t PosixSerialDevice::speedFor(std::uint32_t baud)
{
    for (const auto& e : kSpeeds)
        if (e.baud == baud)
            return e.speed;
    return B0;
}

std::uint32_t PosixSerialDevice::baudFor(speed_t speed)
{
    for (const auto& e : kSpeeds)
        if (e.speed == speed)
            return e.baud;
    return 0;
}

std::unique_ptr<PosixSerialDevice> PosixSerialDevice::open(const std::string& path, IClock& clock, int* error)
{
    auto fail = [&](int fd) -> std::unique_ptr<PosixSerialDevice> {
        const int cause = errno;
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = cause;
        return nullptr;
    };
    const int fd = retryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return fail(-1);
    // flock refuses a second opener even in this process (a new open file description),
    // and other programs that lock their ports; TIOCEXCL keeps out the ones that do not.
    if (retryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0 || !isatty(fd))
        return fail(fd);
    ::ioctl(fd, TIOCEXCL);
    termios saved{};
    const bool haveSaved = retryEintr([&] { return ::tcgetattr(fd, &saved); }) == 0;
    return std::unique_ptr<PosixSerialDevice>(new PosixSerialDevice(fd, clock, saved, haveSaved));
}

PosixSerialDevice::PosixSerialDevice(int fd, IClock& clock, const termios& saved, bool haveSaved)
    : fd_(fd), clock_(clock), saved_(saved), haveSaved_(haveSaved)
{
}

PosixSerialDevice::~PosixSerialDevice()
{
    if (haveSaved_) {
        drainOutput();
        retryEintr([&] { return ::tcsetattr(fd_, TCSANOW, &saved_); });
    }
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
}

void PosixSerialDevice::drainOutput()
{
    // Bytes still queued for the line would leave at the restored speed, garbled (a reopen at
    // another speed closes right after its last command). tcdrain could wait for ever on a line
    // whose CTS never comes, so wait only as long as the queue needs at this speed, plus a margin.
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0)
        return;
    termios t{};
    std::uint32_t baud = 0;
    if (retryEintr([&] { return ::tcgetattr(fd_, &t); }) == 0)
        baud = baudFor(cfgetospeed(&t));
    if (baud == 0)
        baud = 9600;
    const std::int64_t charUs = 10'000'000 / baud;
    const std::int64_t deadline =
        clock_.nowUs() + std::min<std::int64_t>(queued * charUs + 250'000, 10'000'000);
    while (clock_.nowUs() < deadline) {
        clock_.sleepMs(2);
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            // The queue does not count the UART's transmit FIFO; give it time to empty too.
            clock_.sleepMs((20 * charUs + 999) / 1000);
            return;
        }
    }
}

bool PosixSerialDevice::getState(LineSettings& out)
{
    termios t{};
    if (retryEintr([&] { return ::tcgetattr(fd_, &t); }) != 0)
        return false;
    out.baudRate = baudFor(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5: out.byteSize = 5; break;
    case CS6: out.byteSize = 6; break;
    case CS7: out.byteSize = 7; break;
    default: out.byteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        out.parity = LineSettings::Parity::None;
    else
        out.parity = (t.c_cflag & PARODD) ? LineSettings::Parity::Odd : LineSettings::Parity::Even;
    out.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    const bool rtscts = (t.c_cflag & CRTSCTS) != 0;
    out.outxCtsFlow = rtscts;
    out.outxDsrFlow = false;
    out.rtsControl = rtscts ? LineSettings::RtsControl::Handshake : LineSettings::RtsControl::Enable;
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) == 0)
        out.dtrControl = (bits & TIOCM_DTR) ? LineSettings::DtrControl::Enable : LineSettings::DtrControl::Disable;
    else
        out.dtrControl = LineSettings::DtrControl::Enable;
    out.outX = (t.c_iflag & IXON) != 0;
    out.inX = (t.c_iflag & IXOFF) != 0;
    return true;
}

bool PosixSerialDevice::setState(const LineSettings& s)
{
    const speed_t speed = speedFor(s.baudRate);
    if (speed == B0)
        return false;
    termios t{};
    if (retryEintr([&] { return ::tcgetattr(fd_, &t); }) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (s.byteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    if (s.parity != LineSettings::Parity::None)
        t.c_cflag |= PARENB | (s.parity == LineSettings::Parity::Odd ? PARODD : 0);
    if (s.stopBits == 2)
        t.c_cflag |= CSTOPB;
    else
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    // termios has one switch for both directions of hardware flow control.
    if (s.outxCtsFlow || s.rtsControl == LineSettings::RtsControl::Handshake)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (s.outX)
        t.c_iflag |= IXON;
    if (s.inX)
        t.c_iflag |= IXOFF;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (retryEintr([&] { return ::tcsetattr(fd_, TCSANOW, &t); }) != 0)
        return false;
    charNs_ = (std::int64_t{1} + s.byteSize + (s.parity != LineSettings::Parity::None ? 1 : 0) +
               (s.stopBits == 2 ? 2 : 1)) *
              1'000'000'000 / s.baudRate;
    // Modem control: a pseudo-terminal has none, so a failure here is not the line's failure.
    const int dtr = TIOCM_DTR;
    ::ioctl(fd_, s.dtrControl == LineSettings::DtrControl::Enable ? TIOCMBIS : TIOCMBIC, &dtr);
    if (s.rtsControl != LineSettings::RtsControl::Disable) {
        const int rts = TIOCM_RTS;
        ::ioctl(fd_, TIOCMBIS, &rts);
    }
    return true;
}

bool PosixSerialDevice::setupQueues(std::uint32_t, std::uint32_t outQueue)
{
    // The kernel's tty buffers have a fixed size; nothing to allocate. The output queue's size
    // is what the write path lets the program get ahead of the line.
    if (outQueue > 0)
        outQueue_ = outQueue;
    return true;
}

bool PosixSerialDevice::setTimeouts(const SerialTimeouts& timeouts)
{
    timeouts_ = timeouts;
    return true;
}

int PosixSerialDevice::waitFor(short events, std::int64_t timeoutUs)
{
    pollfd p{fd_, events, 0};
    // Round up so that a wait never ends before its time-out.
    int ms = -1;
    if (timeoutUs >= 0)
        ms = static_cast<int>(std::min<std::int64_t>((timeoutUs + 999) / 1000, INT_MAX));
    const int r = ::poll(&p, 1, ms);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    if (r == 0)
        return 0;
    if (p.revents & (POLLERR | POLLNVAL))
        return -1;
    // A hung-up line stays "ready" for ever; only bytes still buffered before the hang-up are
    // worth another read, otherwise waiting again would spin.
    if ((p.revents & POLLHUP) && !(p.revents & events & POLLIN))
        return -1;
    return 1;
}

std::int64_t PosixSerialDevice::totalLimitUs(std::uint32_t multiplierMs, std::uint32_t constantMs,
                                             std::size_t size)
{
    // Far beyond any real wait, and far from overflowing when added to a clock reading.
    constexpr std::uint64_t kMaxMs = std::uint64_t{1} << 40;
    std::uint64_t ms = constantMs;
    if (multiplierMs != 0 && size > (kMaxMs - ms) / multiplierMs)
        ms = kMaxMs;
    else
        ms += std::uint64_t{multiplierMs} * size;
    return ms == 0 ? -1 : static_cast<std::int64_t>(ms) * 1000;
}

bool PosixSerialDevice::read(std::uint8_t* buffer, std::size_t size, std::size_t& received)
{
    received = 0;
    if (size == 0)
        return true;
    const std::int64_t start = clock_.nowUs();
    const std::int64_t totalUs = totalLimitUs(timeouts_.readTotalMultiplier, timeouts_.readTotalConstant, size);
    const std::int64_t totalDeadline = totalUs < 0 ? -1 : start + totalUs;
    const std::int64_t intervalUs = static_cast<std::int64_t>(timeouts_.readInterval) * 1000;
    std::int64_t lastByteAt = 0;
    bool pollSaidReady = false;

    while (received < size) {
        const ssize_t n = ::read(fd_, buffer + received, size - received);
        if (n > 0) {
            received += static_cast<std::size_t>(n);
            lastByteAt = clock_.nowUs();
            pollSaidReady = false;
            // A steady stream must not stretch the read past its total limit.
            if (totalDeadline >= 0 && lastByteAt >= totalDeadline)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return received > 0;  // EIO: the other side has gone; report what came before it
        // With VMIN = VTIME = 0 an empty queue reads as 0 bytes; right after poll() reported
        // the line readable it means end of file (a hang-up).
        if (n == 0 && pollSaidReady)
            return received > 0;
        // Nothing waiting: how long may we wait for the next byte?
        const std::int64_t now = clock_.nowUs();
        std::int64_t limit = -1;  // no limit
        if (totalDeadline >= 0)
            limit = std::max<std::int64_t>(0, totalDeadline - now);
        if (received > 0 && intervalUs > 0) {
            const std::int64_t gap = std::max<std::int64_t>(0, lastByteAt + intervalUs - now);
            limit = limit < 0 ? gap : std::min(limit, gap);
        }
        if (limit == 0)
            break;
        // A time-out or EINTR simply goes round again; the limits are computed afresh.
        const int w = waitFor(POLLIN, limit);
        if (w < 0)
            return received > 0;
        pollSaidReady = w > 0;
    }
    return true;
}

std::size_t PosixSerialDevice::queueRoom(std::int64_t nowNs, std::size_t size) const
{
    if (!paced_ || charNs_ <= 0)
        return size;
    const std::int64_t aheadNs = lineFreeNs_ - nowNs;
    if (aheadNs <= 0)
        return std::min<std::size_t>(size, outQueue_);
    // A character still partly on the line occupies its place in the queue.
    const std::int64_t queued = (aheadNs + charNs_ - 1) / charNs_;
    if (queued >= static_cast<std::int64_t>(outQueue_))
        return 0;
    return std::min<std::size_t>(size, outQueue_ - static_cast<std::size_t>(queued));
}

std::int64_t PosixSerialDevice::roomWaitNs(std::int64_t nowNs, std::size_t want) const
{
    want = std::min<std::size_t>(want, outQueue_);
    // The queue may hold outQueue - want characters when the wait is over.
    const std::int64_t allowedAheadNs = static_cast<std::int64_t>(outQueue_ - want) * charNs_;
    return std::max<std::int64_t>(0, lineFreeNs_ - nowNs - allowedAheadNs);
}

bool PosixSerialDevice::write(const std::uint8_t* data, std::size_t size, std::size_t& written)
{
    written = 0;
    if (size == 0)
        return true;
    const std::int64_t totalUs = totalLimitUs(timeouts_.writeTotalMultiplier, timeouts_.writeTotalConstant, size);
    std::int64_t nowUs = clock_.nowUs();
    const std::int64_t deadline = totalUs < 0 ? -1 : nowUs + totalUs;
    bool pollSaidReady = false;
    while (written < size) {
        const std::size_t room = queueRoom(nowUs * 1000, size - written);
        if (room == 0) {
            // The queue is full: wait for the line to take bytes. Waking for a few
            // milliseconds' worth at a time (a driver's wake-up threshold) keeps single-byte
            // writers from waking once per character, and the queue never runs dry meanwhile.
            const std::size_t wakeRoom = static_cast<std::size_t>(kRefillNs / charNs_) + 1;
            std::int64_t waitUs = (roomWaitNs(nowUs * 1000, std::max(size - written, wakeRoom)) + 999) / 1000;
            if (deadline >= 0) {
                const std::int64_t left = deadline - nowUs;
                if (left <= 0)
                    break;
                waitUs = std::min(waitUs, left);
            }
            clock_.sleepMs(std::max<std::int64_t>(1, (waitUs + 999) / 1000));
            nowUs = clock_.nowUs();
            continue;
        }
        const ssize_t n = ::write(fd_, data + written, room);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            if (charNs_ > 0)
                lineFreeNs_ = std::max(lineFreeNs_, nowUs * 1000) + n * charNs_;
            pollSaidReady = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        // Writable by poll() yet nothing taken: the device will not move.
        if (n == 0 && pollSaidReady)
            return false;
        // The device itself holds us back (CTS low, its buffer full).
        nowUs = clock_.nowUs();
        std::int64_t limit = -1;
        if (deadline >= 0) {
            limit = deadline - nowUs;
            if (limit <= 0)
                break;
        }
        const int w = waitFor(POLLOUT, limit);
        if (w < 0)
            return false;
        pollSaidReady = w > 0;
        nowUs = clock_.nowUs();
    }
    return true;
}

bool PosixSerialDevice::clearError(std::uint32_t* inQueue)
{
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0)
        return false;
    if (inQueue)
        *inQueue = static_cast<std::uint32_t>(n < 0 ? 0 : n);
    return true;
}

}  // namespace platform
