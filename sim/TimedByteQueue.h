#pragma once
// TimedByteQueue: bytes on their way along one direction of a simulated line, each with the
// time (microseconds) at which it reaches the far end. Times never decrease: a byte pushed
// with an earlier time than the last one queued arrives right after it. With a line speed set,
// bytes are spaced by the time one 10-bit character takes at that speed.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>

namespace sim {

class TimedByteQueue {
public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    // usPerByte 0 = no spacing (the bytes arrive together).
    void push(const std::uint8_t* data, std::size_t n, std::int64_t atUs, std::int64_t usPerByte = 0);
    void push(std::uint8_t b, std::int64_t atUs, std::int64_t usPerByte = 0) { push(&b, 1, atUs, usPerByte); }

    bool empty() const { return q_.empty(); }
    std::size_t size() const { return q_.size(); }
    // Arrival time of the first byte, or kNever.
    std::int64_t nextAtUs() const { return q_.empty() ? kNever : q_.front().atUs; }
    // Bytes that have arrived by time t.
    std::size_t readyAt(std::int64_t t) const;
    std::uint8_t pop();
    void clear() { q_.clear(); }
    // Time at which the last queued byte arrives (the line is busy until then), or 0.
    std::int64_t lastAtUs() const { return last_; }

    static std::int64_t usPerByteAt(std::uint32_t baud) { return baud ? 10'000'000 / baud : 0; }

private:
    struct Entry {
        std::int64_t atUs;
        std::uint8_t value;
    };
    std::deque<Entry> q_;
    std::int64_t last_ = 0;
};

}  // namespace sim
