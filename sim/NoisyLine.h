#pragma once
// NoisyLine: an ILinePeer placed between a simulated line and its real peer that damages the
// bytes in transit, in either direction, at given byte counts: a bit flipped, a byte dropped or
// doubled, a burst of noise before a byte, or a stall (the bytes from that one on are held back
// for a while, as on a line that stops and starts again). Every fault is an event at a fixed
// byte count, and noise comes from its own seeded generator, so a run with the same events and
// seed is the same run. It never blocks and never reads a clock.

#include "sim/ILinePeer.h"
#include "sim/TimedByteQueue.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct LineEvent {
    enum class Kind { Flip, Drop, Double, Noise, Stall };
    Kind kind = Kind::Flip;
    bool toModule = true;       // the host's bytes (true) or the module's (false)
    std::int64_t atByte = 0;    // the event hits the byte with this count (from 0) in its direction
    int arg = 0;                // Flip: the bit (0-7); Noise: how many random bytes go before it
    std::int64_t stallUs = 0;   // Stall: how long that byte and the ones after it are held back
};

class NoisyLine final : public ILinePeer {
public:
    NoisyLine(ILinePeer& inner, std::vector<LineEvent> events, std::uint64_t seed);

    void advance(std::int64_t nowUs) override;
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) override;
    std::int64_t nextEventUs() const override;
    TimedByteQueue& output() override { return out_; }
    std::uint32_t baudRate() const override { return inner_.baudRate(); }
    void hostLineChanged(bool open, std::uint32_t baudRate, std::int64_t nowUs) override;

    // Events that have hit a byte so far.
    int eventsApplied() const { return applied_; }

private:
    // Passes one byte through the events of its direction; the bytes that come out of it go to
    // emit(byte, extraDelayUs).
    template <typename Emit>
    void pass(bool toModule, std::uint8_t b, std::int64_t count, Emit&& emit);
    void deliverHeld(std::int64_t nowUs);
    void pull(std::int64_t nowUs);
    std::uint8_t noise();

    ILinePeer& inner_;
    std::vector<LineEvent> events_;
    std::uint64_t state_;
    TimedByteQueue out_;           // the module's bytes as they reach the host
    TimedByteQueue held_;          // host bytes held back by a stall, with the time they arrive
    std::int64_t hostCount_ = 0, moduleCount_ = 0;
    std::int64_t hostHoldUntil_ = 0, moduleHoldUntil_ = 0;
    int applied_ = 0;
};

}  // namespace sim
