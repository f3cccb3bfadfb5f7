#include "sim/NoisyLine.h"

#include <algorithm>

namespace sim {

NoisyLine::NoisyLine(ILinePeer& inner, std::vector<LineEvent> events, std::uint64_t seed)
    : inner_(inner), events_(std::move(events)), state_(seed * 0x9E3779B97F4A7C15ull + 1)
{
}

std::uint8_t NoisyLine::noise()
{
    // xorshift64: the noise of one seed is always the same.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint8_t>(state_ >> 32);
}

template <typename Emit>
void NoisyLine::pass(bool toModule, std::uint8_t b, std::int64_t count, Emit&& emit)
{
    int copies = 1;
    std::int64_t delay = 0;
    for (const LineEvent& e : events_) {
        if (e.toModule != toModule || e.atByte != count)
            continue;
        ++applied_;
        switch (e.kind) {
        case LineEvent::Kind::Flip:
            b = static_cast<std::uint8_t>(b ^ (1u << (e.arg & 7)));
            break;
        case LineEvent::Kind::Drop:
            copies = 0;
            break;
        case LineEvent::Kind::Double:
            copies = copies ? 2 : 0;
            break;
        case LineEvent::Kind::Noise:
            for (int i = 0; i < e.arg; ++i)
                emit(noise(), delay);
            break;
        case LineEvent::Kind::Stall:
            delay = std::max(delay, e.stallUs);
            break;
        }
    }
    for (int i = 0; i < copies; ++i)
        emit(b, delay);
}

void NoisyLine::deliverHeld(std::int64_t nowUs)
{
    while (!held_.empty() && held_.nextAtUs() <= nowUs) {
        const std::int64_t at = held_.nextAtUs();
        const std::uint8_t b = held_.pop();
        inner_.advance(at);
        inner_.receive(&b, 1, at);
    }
}

void NoisyLine::pull(std::int64_t nowUs)
{
    TimedByteQueue& in = inner_.output();
    while (!in.empty() && in.nextAtUs() <= nowUs) {
        const std::int64_t at = in.nextAtUs();
        const std::uint8_t b = in.pop();
        pass(false, b, moduleCount_++, [&](std::uint8_t v, std::int64_t delay) {
            if (delay > 0)
                moduleHoldUntil_ = std::max(moduleHoldUntil_, at + delay);
            out_.push(v, std::max(at, moduleHoldUntil_));
        });
    }
}

void NoisyLine::advance(std::int64_t nowUs)
{
    deliverHeld(nowUs);
    inner_.advance(nowUs);
    pull(nowUs);
}

void NoisyLine::receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs)
{
    for (std::size_t i = 0; i < n; ++i) {
        pass(true, data[i], hostCount_++, [&](std::uint8_t v, std::int64_t delay) {
            if (delay > 0)
                hostHoldUntil_ = std::max(hostHoldUntil_, nowUs + delay);
            // Bytes keep their order: once one is held, the ones after it queue behind it.
            if (nowUs < hostHoldUntil_ || !held_.empty())
                held_.push(v, std::max(nowUs, hostHoldUntil_));
            else
                inner_.receive(&v, 1, nowUs);
        });
    }
    pull(nowUs);
}

std::int64_t NoisyLine::nextEventUs() const
{
    return std::min({inner_.nextEventUs(), inner_.output().nextAtUs(), held_.nextAtUs()});
}

void NoisyLine::hostLineChanged(bool open, std::uint32_t baudRate, std::int64_t nowUs)
{
    pull(nowUs);
    inner_.hostLineChanged(open, baudRate, nowUs);
    // What had reached the host's port when it was closed dies with the driver's buffer.
    if (!open)
        while (!out_.empty() && out_.nextAtUs() <= nowUs)
            out_.pop();
}

}  // namespace sim
