#include "sim/PtyModuleRunner.h"

#include "platform/PosixSerialDevice.h"
#include "sim/SimSerialDevice.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kChunk = 4096;
// How far pacing may catch up after a quiet spell: a wake-up comes at most this late.
constexpr std::int64_t kCatchUpUs = 10'000;

}  // namespace

PtyModuleRunner::PtyModuleRunner(int masterFd, ILinePeer& peer, platform::IClock& clock, PtyRunnerOptions options)
    : master_(masterFd), peer_(peer), clock_(clock), options_(options)
{
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (::pipe(wake_) == 0) {
        for (int fd : wake_) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
}

PtyModuleRunner::~PtyModuleRunner()
{
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

void PtyModuleRunner::requestStop()
{
    stop_.store(true);
    if (wake_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
    }
}

std::int64_t PtyModuleRunner::usPerByte() const
{
    std::uint32_t baud = hostBaud_.load();
    if (baud == 0)
        baud = peer_.baudRate();
    return TimedByteQueue::usPerByteAt(baud);
}

bool PtyModuleRunner::speedsDiffer() const
{
    if (!options_.followHostSpeed)
        return false;
    const std::uint32_t peerBaud = peer_.baudRate();
    const std::uint32_t host = hostBaud_.load();
    return peerBaud != 0 && host != 0 && peerBaud != host;
}

void PtyModuleRunner::followHostSpeed(std::int64_t nowUs)
{
    termios t{};
    if (::tcgetattr(master_, &t) != 0)
        return;
    const std::uint32_t baud = platform::PosixSerialDevice::baudFor(::cfgetospeed(&t));
    if (baud == hostBaud_.load())
        return;
    hostBaud_.store(baud);
    peer_.advance(nowUs);
    peer_.hostLineChanged(true, baud, nowUs);
}

bool PtyModuleRunner::takeInput(std::int64_t nowUs)
{
    std::size_t limit = kChunk;
    const std::int64_t perByte = options_.pace ? usPerByte() : 0;
    std::int64_t lineFrom = nowUs;
    if (perByte > 0) {
        lineFrom = std::max(nextInUs_, nowUs - kCatchUpUs);
        if (lineFrom > nowUs)
            return true;
        limit = std::min<std::size_t>(kChunk, static_cast<std::size_t>((nowUs - lineFrom) / perByte + 1));
    }
    if (options_.hangupAfterBytes >= 0)
        limit = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(limit), std::max<std::int64_t>(1, options_.hangupAfterBytes - hostBytes_.load())));
    std::uint8_t buffer[kChunk];
    ssize_t n;
    do {
        n = ::read(master_, buffer, limit);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        // EIO: no slave is open at the moment; that is not the end of the simulation.
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO;
    if (n == 0)
        return true;
    if (speedsDiffer())
        for (ssize_t i = 0; i < n; ++i)
            buffer[i] = SimSerialDevice::garble(buffer[i]);
    hostBytes_ += n;
    peer_.advance(nowUs);
    peer_.receive(buffer, static_cast<std::size_t>(n), nowUs);
    if (perByte > 0)
        nextInUs_ = lineFrom + n * perByte;
    return true;
}

void PtyModuleRunner::collectOutput(std::int64_t nowUs)
{
    TimedByteQueue& out = peer_.output();
    const std::int64_t perByte = options_.pace ? usPerByte() : 0;
    const bool garbled = speedsDiffer();
    while (pending_.size() < kChunk && !out.empty() && out.nextAtUs() <= nowUs) {
        if (perByte > 0) {
            const std::int64_t from = std::max(nextOutUs_, nowUs - kCatchUpUs);
            if (from > nowUs)
                break;
            nextOutUs_ = from + perByte;
        }
        const std::uint8_t b = out.pop();
        pending_.push_back(garbled ? SimSerialDevice::garble(b) : b);
    }
}

bool PtyModuleRunner::writeOutput()
{
    while (!pending_.empty()) {
        const ssize_t n = ::write(master_, pending_.data(), pending_.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO;
        }
        pending_.erase(pending_.begin(), pending_.begin() + n);
    }
    return true;
}

bool PtyModuleRunner::run()
{
    const std::int64_t startUs = clock_.nowUs();
    const std::int64_t hangupAtUs = options_.hangupAfterMs < 0 ? -1 : startUs + options_.hangupAfterMs * 1000;
    while (!stop_.load()) {
        std::int64_t now = clock_.nowUs();
        if ((options_.hangupAfterBytes >= 0 && hostBytes_.load() >= options_.hangupAfterBytes) ||
            (hangupAtUs >= 0 && now >= hangupAtUs)) {
            hungUp_ = true;
            return true;
        }
        followHostSpeed(now);
        peer_.advance(now);
        collectOutput(now);
        if (!writeOutput())
            return false;

        // Wake for the earliest of: the peer's next event, its next output byte, a paced input
        // slot, the pty taking more output, and at the latest after maxWaitMs.
        std::int64_t wakeAt = now + std::int64_t{options_.maxWaitMs} * 1000;
        if (hangupAtUs >= 0)
            wakeAt = std::min(wakeAt, hangupAtUs);
        wakeAt = std::min(wakeAt, peer_.nextEventUs());
        if (pending_.empty() && !peer_.output().empty())
            wakeAt = std::min(wakeAt, std::max(peer_.output().nextAtUs(), options_.pace ? nextOutUs_ : 0));
        const bool inputDue = !options_.pace || usPerByte() == 0 || nextInUs_ <= now;
        if (!inputDue)
            wakeAt = std::min(wakeAt, nextInUs_);
        const std::int64_t waitUs = std::max<std::int64_t>(0, wakeAt - now);

        pollfd fds[2] = {{master_, 0, 0}, {wake_[0], POLLIN, 0}};
        if (inputDue)
            fds[0].events |= POLLIN;
        if (!pending_.empty())
            fds[0].events |= POLLOUT;
        const timespec timeout{static_cast<time_t>(waitUs / 1'000'000), static_cast<long>(waitUs % 1'000'000) * 1000};
        const int r = ::ppoll(fds, 2, &timeout, nullptr);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
        }
        if ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN)) {
            // Nobody holds the slave: nothing can arrive; wait out the interval instead of
            // spinning on the hang-up.
            clock_.sleepMs(options_.maxWaitMs);
            continue;
        }
        now = clock_.nowUs();
        // The host sets a new speed before it writes at it: look again before taking its bytes.
        followHostSpeed(now);
        if ((fds[0].revents & POLLIN) && !takeInput(now))
            return false;
    }
    return true;
}

}  // namespace sim
