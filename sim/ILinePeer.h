#pragma once
// ILinePeer: whatever sits at the far end of a simulated serial line (the virtual module, or a
// scripted peer in a test). It is driven by bytes in and time: the driver (SimSerialDevice under
// a VirtualClock, or the pseudo-terminal loop of tarvel-sim in real time) first calls advance()
// with the current time, then hands over what the host wrote with receive(), and takes what the
// peer says from output(), each byte stamped with the time it reaches the host.
// A peer never blocks and never reads a clock of its own.

#include "sim/TimedByteQueue.h"

#include <cstddef>
#include <cstdint>

namespace sim {

class ILinePeer {
public:
    virtual ~ILinePeer() = default;

    // Runs internal timers whose time has come, up to nowUs. Called with non-decreasing times.
    virtual void advance(std::int64_t nowUs) = 0;
    // Bytes from the host, all arriving at nowUs (after advance(nowUs)).
    virtual void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) = 0;
    // Time of the next internal event, TimedByteQueue::kNever when none is pending.
    virtual std::int64_t nextEventUs() const = 0;
    // Bytes to the host.
    virtual TimedByteQueue& output() = 0;
    // The speed the peer's side of the line runs at now; bytes cross the line intact only when
    // both ends agree. 0 means "whatever the host uses".
    virtual std::uint32_t baudRate() const { return 0; }
    // The host opened (open = true, at baudRate) or closed the line.
    virtual void hostLineChanged(bool /*open*/, std::uint32_t /*baudRate*/, std::int64_t /*nowUs*/) {}
};

}  // namespace sim
