#include "sim/TimedByteQueue.h"

namespace sim {

void TimedByteQueue::push(const std::uint8_t* data, std::size_t n, std::int64_t atUs, std::int64_t usPerByte)
{
    std::int64_t t = atUs;
    for (std::size_t i = 0; i < n; ++i) {
        if (usPerByte > 0)
            t = (t > last_ ? t : last_) + usPerByte;
        else if (t < last_)
            t = last_;
        q_.push_back({t, data[i]});
        last_ = t;
    }
}

std::size_t TimedByteQueue::readyAt(std::int64_t t) const
{
    std::size_t n = 0;
    for (const auto& e : q_) {
        if (e.atUs > t)
            break;
        ++n;
    }
    return n;
}

std::uint8_t TimedByteQueue::pop()
{
    const std::uint8_t v = q_.front().value;
    q_.pop_front();
    return v;
}

}  // namespace sim
