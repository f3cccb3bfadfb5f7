#pragma once
// PtyModuleRunner: runs an ILinePeer (normally the VirtualModule) on the master side of a
// pseudo-terminal in real time, so that a program opening the slave side talks to it as to a
// module on a serial cable. The loop waits on the master (poll) no longer than up to the peer's
// next event or output byte, hands what the host wrote to ILinePeer::receive stamped with the
// clock's time, and writes the peer's output bytes when their time has come.
//
// Line speed: the host's speed is what it last set on the slave (tcsetattr), read back through
// the master with tcgetattr, since both ends of a pty share one set of terminal settings. Each
// change is passed to ILinePeer::hostLineChanged, and while the host's speed and the peer's
// (ILinePeer::baudRate, 0 = any) differ, bytes cross garbled both ways, as on the simulated
// line. A host's close of the slave is not seen (the pty helper keeps a slave descriptor open),
// so output queued for a closed port waits in the pty for the next opener, as a real port's
// receive buffer would keep it.
//
// Pacing (optional), as the module's UART would see the line: the host's bytes are taken from
// the pty as they come, at most kLineQueue (4,096) of them in flight toward the peer at a time,
// and handed to the peer at exactly one character time (10 bits at the host's speed) each. The
// line's time is kept as a schedule, not as spacing from the last wake-up: a runner that wakes
// late hands over everything that has arrived by now, and bytes that waited in the pty while it
// slept count as having arrived back to back up to now, though never before the pty was last
// seen empty (never before they can have been written), so a busy machine does not slow the
// simulated line and a quick one does not speed it up. Output bytes leave when the time the peer stamped
// on them has come (the peer spaces them at its line speed).
// The loop wakes in slices of a couple of milliseconds while bytes are on the line, never once
// per character.
//
// Fault: the line can be hung up after a number of host bytes or a time (PtyRunnerOptions); the
// host's bytes beyond that count are not delivered to the peer.
//
// One thread runs run(); requestStop() may be called from any thread or a signal handler.

#include "platform/IClock.h"
#include "sim/ILinePeer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace sim {

struct PtyRunnerOptions {
    // Bytes in flight toward the peer while pacing: a UART's queue.
    static constexpr std::size_t kLineQueue = 4096;

    bool pace = false;
    bool followHostSpeed = true;
    // Longest single wait, so that speed changes are noticed promptly.
    int maxWaitMs = 20;
    // Pulling the cable: run() ends (hungUp() true) once the host has sent this many bytes, or
    // this long after run() began; -1 = never. The owner of the master then closes it, which
    // hangs up the host's side as an unplugged USB adapter does.
    std::int64_t hangupAfterBytes = -1;
    std::int64_t hangupAfterMs = -1;
};

class PtyModuleRunner {
public:
    // masterFd is not owned; it is made non-blocking.
    PtyModuleRunner(int masterFd, ILinePeer& peer, platform::IClock& clock, PtyRunnerOptions options = {});
    ~PtyModuleRunner();
    PtyModuleRunner(const PtyModuleRunner&) = delete;
    PtyModuleRunner& operator=(const PtyModuleRunner&) = delete;

    // Runs until requestStop() or the hang-up fault. False when the master failed (the error is
    // in errno).
    bool run();
    bool hungUp() const { return hungUp_.load(); }
    // Bytes taken from the host so far.
    std::int64_t hostBytes() const { return hostBytes_.load(); }
    // Async-signal-safe.
    void requestStop();

    // The host's line speed as last seen (0 before the first look or for an unknown speed).
    std::uint32_t hostBaud() const { return hostBaud_.load(); }

private:
    struct InByte {
        std::int64_t atNs;  // when the byte has fully arrived at the peer
        std::uint8_t value;
    };

    bool speedsDiffer() const;
    void followHostSpeed(std::int64_t nowUs);
    bool takeInput(std::int64_t nowUs);
    void deliverInput(std::int64_t nowUs);
    void collectOutput(std::int64_t nowUs);
    bool writeOutput();
    std::int64_t nsPerByte() const;
    // Peer calls with a stamp that never goes back in time.
    std::int64_t stamp(std::int64_t us);

    int master_;
    ILinePeer& peer_;
    platform::IClock& clock_;
    PtyRunnerOptions options_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<std::uint32_t> hostBaud_{0};
    std::atomic<bool> hungUp_{false};
    std::atomic<std::int64_t> hostBytes_{0};
    std::vector<std::uint8_t> pending_;  // taken from the peer, not yet accepted by the pty
    std::deque<InByte> inbound_;         // pacing: taken from the pty, not yet at the peer
    std::int64_t lineFreeNs_ = 0;        // pacing: when the last byte taken reaches the peer
    std::int64_t emptySeenUs_ = 0;       // pacing: the last time the pty was found empty
    std::int64_t lookedUs_ = -1'000'000; // pacing: the last read from the pty
    std::int64_t lastStampUs_ = 0;
};

}  // namespace sim
