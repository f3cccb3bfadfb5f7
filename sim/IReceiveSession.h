#pragma once
// IReceiveSession: the module's ZModem receiver for one download. The virtual module creates a
// session when a download is announced ("AT{Z}\r" at 38,400 bps, "AT{.}\r" at 115,200 bps),
// hands it every byte the host sends while it lasts, and returns to its console once finished()
// is true. A session writes its answers into the queue it was created with, stamped with times,
// and never blocks; like ILinePeer it is driven by advance()/receive() with non-decreasing times.

#include "sim/TimedByteQueue.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace sim {

class IReceiveSession {
public:
    virtual ~IReceiveSession() = default;
    virtual void advance(std::int64_t nowUs) = 0;
    virtual void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) = 0;
    virtual std::int64_t nextEventUs() const = 0;
    // The transfer is over (ended with ZFIN/"OO", cancelled, or given up).
    virtual bool finished() const = 0;
};

// Makes the session for one download: out is the module's output queue, usPerByte the spacing
// of its bytes at the download's line speed, nowUs the time the download was announced.
using ReceiveSessionFactory = std::function<std::unique_ptr<IReceiveSession>(
    TimedByteQueue& out, std::int64_t usPerByte, std::int64_t nowUs)>;

}  // namespace sim
