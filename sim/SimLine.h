#pragma once
// SimLine: one simulated serial line between the program (host side, through SimSerialDevice)
// and an ILinePeer. It records every byte the host wrote with its virtual time, carries the
// fault switches that tests use to make device calls fail, and knows whether a device holds it
// (the line, like a real port, can be opened by one device at a time).
// Thread-safe: the host side may run on a worker thread while a test inspects the records.

#include "platform/ISerialDevice.h"
#include "platform/VirtualClock.h"
#include "sim/ILinePeer.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct HostWrite {
    std::int64_t atUs;
    std::uint8_t value;
};

struct LineFaults {
    bool failOpen = false;        // the port is held by another program
    bool failGetState = false;
    bool failSetupQueues = false;
    bool failSetState = false;
    bool failSetTimeouts = false;
    bool failRead = false;
    bool failWrite = false;
    bool stallWrites = false;     // CTS never comes: writes time out having sent nothing
    // CTS held off from ctsOffFromUs until ctsOffUntilUs: a write in that time waits for it
    // (within its time-out) and goes on when it comes back.
    std::int64_t ctsOffFromUs = -1;
    std::int64_t ctsOffUntilUs = -1;
    // The line hangs up (an adapter pulled out) once the host has written this many bytes:
    // from then on reads, writes and opens fail. -1 = never.
    std::int64_t hangupAfterHostBytes = -1;
};

class SimLine {
public:
    SimLine(platform::VirtualClock& clock, ILinePeer& peer) : clock_(clock), peer_(&peer) {}

    platform::VirtualClock& clock() { return clock_; }
    ILinePeer& peer() { return *peer_; }
    void setPeer(ILinePeer& peer);

    // Host writes take the time a character takes at the host's line speed (default true), so
    // that a run on virtual time lasts what it would on a cable.
    void setPacing(bool on);
    bool pacing() const;

    LineFaults faults() const;
    void setFaults(const LineFaults& f);

    std::vector<HostWrite> hostWrites() const;
    // All host bytes as one string (for exact comparisons of console dialogue).
    std::string hostText() const;
    // Host bytes written at or after the given time.
    std::string hostTextSince(std::int64_t atUs) const;
    void clearRecords();
    // Number of times a device was opened on this line / speeds it was opened at, in order.
    std::vector<std::uint32_t> openSpeeds() const;

    // --- used by SimSerialDevice ---
    std::mutex& mutex() { return mutex_; }
    bool held = false;
    std::uint32_t hostBaud = 0;
    platform::LineSettings settings;
    std::uint32_t inQueue = 0, outQueue = 0;  // the driver queue sizes last asked for
    // Records one host byte; false when the line hangs up with it (see hangupAfterHostBytes).
    // Called with mutex() held.
    bool recordWrite(std::uint8_t b, std::int64_t atUs);
    void recordOpen(std::uint32_t baud) { opens_.push_back(baud); }

private:
    platform::VirtualClock& clock_;
    ILinePeer* peer_;
    mutable std::mutex mutex_;
    bool pacing_ = true;
    LineFaults faults_;
    std::vector<HostWrite> writes_;
    std::vector<std::uint32_t> opens_;
};

}  // namespace sim
