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
// Pacing (optional): the host's bytes are taken from the pty no faster than the line speed
// (the pty's buffer then holds the host back, like hardware flow control), and output bytes are
// spaced at least one character time apart, so that a run lasts what it would on a cable.
//
// Fault: the line can be hung up after a number of host bytes or a time (PtyRunnerOptions); the
// host's bytes beyond that count are not delivered to the peer.
//
// One thread runs run(); requestStop() may be called from any thread or a signal handler.

#include "platform/IClock.h"
#include "sim/ILinePeer.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace sim {

struct PtyRunnerOptions {
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
    bool speedsDiffer() const;
    void followHostSpeed(std::int64_t nowUs);
    bool takeInput(std::int64_t nowUs);
    void collectOutput(std::int64_t nowUs);
    bool writeOutput();
    std::int64_t usPerByte() const;

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
    std::int64_t nextInUs_ = 0;          // pacing: when the line can carry the next host byte
    std::int64_t nextOutUs_ = 0;         // pacing: when the next output byte may leave
};

}  // namespace sim
