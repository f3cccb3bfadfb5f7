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
// While bytes are on the line the loop looks at the pty and hands bytes over this often; the
// line's schedule, not the wake-up, decides how many bytes are due.
constexpr std::int64_t kSliceUs = 2000;
// How soon after bytes arrive a waiting loop is taken to wake.
constexpr std::int64_t kWakeUs = 1000;
// Bytes handed to the peer in one call, stamped with the arrival of the last of them.
constexpr std::size_t kDeliverBatch = 64;

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

std::int64_t PtyModuleRunner::nsPerByte() const
{
    std::uint32_t baud = hostBaud_.load();
    if (baud == 0)
        baud = peer_.baudRate();
    return baud ? std::int64_t{10'000'000'000} / baud : 0;
}

std::int64_t PtyModuleRunner::stamp(std::int64_t us)
{
    lastStampUs_ = std::max(lastStampUs_, us);
    return lastStampUs_;
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
    const std::int64_t at = stamp(nowUs);
    peer_.advance(at);
    peer_.hostLineChanged(true, baud, at);
}

bool PtyModuleRunner::takeInput(std::int64_t nowUs)
{
    const bool pace = options_.pace;
    std::size_t limit = pace ? std::min(kChunk, PtyRunnerOptions::kLineQueue - inbound_.size()) : kChunk;
    if (options_.hangupAfterBytes >= 0)
        limit = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(limit), std::max<std::int64_t>(1, options_.hangupAfterBytes - hostBytes_.load())));
    if (limit == 0)
        return true;
    std::uint8_t buffer[kChunk];
    ssize_t n;
    do {
        n = ::read(master_, buffer, limit);
    } while (n < 0 && errno == EINTR);
    // EIO: no slave is open at the moment; that is not the end of the simulation.
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO)
        return false;
    const std::int64_t emptyBefore = emptySeenUs_;
    if (pace) {
        lookedUs_ = nowUs;
        if (n < static_cast<ssize_t>(limit))
            emptySeenUs_ = nowUs;
    }
    if (n <= 0)
        return true;
    if (speedsDiffer())
        for (ssize_t i = 0; i < n; ++i)
            buffer[i] = SimSerialDevice::garble(buffer[i]);
    hostBytes_ += n;
    const std::int64_t perByte = pace ? nsPerByte() : 0;
    if (perByte == 0) {
        const std::int64_t t = stamp(nowUs);
        peer_.advance(t);
        peer_.receive(buffer, static_cast<std::size_t>(n), t);
        return true;
    }
    // These bytes were written after the pty was last found empty and no later than now. The
    // line carries them back to back from the later of that moment and the end of the bytes
    // before them; counting from now instead would lose the time the runner overslept.
    std::int64_t atNs = std::max({lineFreeNs_, emptyBefore * 1000, nowUs * 1000 - n * perByte});
    for (ssize_t i = 0; i < n; ++i) {
        atNs += perByte;
        inbound_.push_back({atNs, buffer[i]});
    }
    lineFreeNs_ = atNs;
    return true;
}

void PtyModuleRunner::deliverInput(std::int64_t nowUs)
{
    const std::int64_t nowNs = nowUs * 1000;
    std::uint8_t batch[kDeliverBatch];
    while (!inbound_.empty() && inbound_.front().atNs <= nowNs) {
        std::size_t k = 0;
        std::int64_t lastNs = 0;
        while (k < kDeliverBatch && !inbound_.empty() && inbound_.front().atNs <= nowNs) {
            batch[k++] = inbound_.front().value;
            lastNs = inbound_.front().atNs;
            inbound_.pop_front();
        }
        const std::int64_t t = stamp(lastNs / 1000);
        peer_.advance(t);
        peer_.receive(batch, k, t);
    }
}

void PtyModuleRunner::collectOutput(std::int64_t nowUs)
{
    // The peer has stamped every byte with the time it reaches the host, spaced at its line
    // speed; a byte whose time has passed goes at once, however late the loop woke.
    TimedByteQueue& out = peer_.output();
    const bool garbled = speedsDiffer();
    while (pending_.size() < kChunk && !out.empty() && out.nextAtUs() <= nowUs) {
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
    const bool pace = options_.pace;
    const std::int64_t startUs = clock_.nowUs();
    const std::int64_t hangupAtUs = options_.hangupAfterMs < 0 ? -1 : startUs + options_.hangupAfterMs * 1000;
    while (!stop_.load()) {
        std::int64_t now = clock_.nowUs();
        if ((options_.hangupAfterBytes >= 0 && hostBytes_.load() >= options_.hangupAfterBytes) ||
            (hangupAtUs >= 0 && now >= hangupAtUs)) {
            hungUp_ = true;
            return true;
        }
        deliverInput(now);
        followHostSpeed(now);
        peer_.advance(stamp(now));
        collectOutput(now);
        if (!writeOutput())
            return false;

        // Wake for the earliest of: the peer's next event, its next output byte, the next
        // slice of a paced line, the pty taking more output, and at the latest after maxWaitMs.
        std::int64_t wakeAt = now + std::int64_t{options_.maxWaitMs} * 1000;
        if (hangupAtUs >= 0)
            wakeAt = std::min(wakeAt, hangupAtUs);
        wakeAt = std::min(wakeAt, peer_.nextEventUs());
        if (pending_.empty() && !peer_.output().empty())
            wakeAt = std::min(wakeAt, peer_.output().nextAtUs());
        bool wantInput = true;
        if (pace) {
            if (!inbound_.empty())
                wakeAt = std::min(wakeAt, std::max((inbound_.front().atNs + 999) / 1000, now + kSliceUs));
            const bool room = inbound_.size() < PtyRunnerOptions::kLineQueue;
            // Between two looks a slice passes, so that a host writing byte by byte does not
            // wake the loop once per byte; the schedule makes up for the wait.
            wantInput = room && now >= lookedUs_ + kSliceUs;
            if (room && !wantInput)
                wakeAt = std::min(wakeAt, lookedUs_ + kSliceUs);
        }
        const std::int64_t waitUs = std::max<std::int64_t>(0, wakeAt - now);

        pollfd fds[2] = {{master_, 0, 0}, {wake_[0], POLLIN, 0}};
        if (wantInput)
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
        if (pace && wantInput) {
            // When the pty was last seen empty bounds how early the bytes found next can have
            // come: not readable at the return, it was empty then; readable after a wait, it was
            // empty when the wait began, and the wake-up follows the bytes' arrival closely.
            const std::int64_t back = clock_.nowUs();
            if (!(fds[0].revents & POLLIN))
                emptySeenUs_ = back;
            else if (back - now >= kWakeUs)
                emptySeenUs_ = std::max(emptySeenUs_, back - kWakeUs);
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
