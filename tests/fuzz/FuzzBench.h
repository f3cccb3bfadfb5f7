#pragma once
// What the fuzz targets share. require(): a broken promise aborts, which libFuzzer reports with
// the input. ChunkedPeer: the far end of a simulated line, speaking the fuzz input. Bench: that
// line on virtual time as COM1, with a recording notifier, installed as the platform.
//
// ChunkedPeer's input is a series of chunks, each one byte of length L, one byte of delay D and
// L bytes. Each message of the host (a byte written more than 1 ms after the one before it)
// releases the next chunk, D x 10 ms after that byte, its bytes one character time (260 us)
// apart. So each thing the program sends can be answered by whatever the input holds, and a
// drained input leaves a silent line (on which output() may still carry bytes pushed directly).

#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "sim/ILinePeer.h"
#include "sim/SimSerialDevice.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace fuzz {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

class ChunkedPeer final : public sim::ILinePeer {
public:
    // A target may reshape each chunk before it plays: given its delay byte and its bytes, the
    // shape may change both (fuzz_sender turns recipes into framed headers this way).
    using Shape = void (*)(std::uint8_t& delay, std::string& bytes);

    ChunkedPeer(const std::uint8_t* data, std::size_t size, Shape shape = nullptr)
    {
        while (size >= 2) {
            const std::size_t n = std::min<std::size_t>(data[0], size - 2);
            std::uint8_t delay = data[1];
            std::string bytes(reinterpret_cast<const char*>(data + 2), n);
            if (shape)
                shape(delay, bytes);
            chunks_.push_back({delay * 10'000LL, std::move(bytes)});
            data += 2 + n;
            size -= 2 + n;
        }
    }

    void advance(std::int64_t) override {}
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) override
    {
        host.append(reinterpret_cast<const char*>(data), n);
        if (n > 0 && nowUs - lastHostUs_ > 1000)
            release(nowUs);
        lastHostUs_ = nowUs;
    }
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out_; }

    std::string host;  // every byte the host wrote

private:
    struct Chunk {
        std::int64_t delayUs;
        std::string bytes;
    };
    void release(std::int64_t nowUs)
    {
        if (next_ >= chunks_.size())
            return;
        const Chunk& c = chunks_[next_++];
        out_.push(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size(), nowUs + c.delayUs, 260);
    }

    std::vector<Chunk> chunks_;
    std::size_t next_ = 0;
    std::int64_t lastHostUs_ = -1'000'000;
    sim::TimedByteQueue out_;
};

struct Bench {
    explicit Bench(sim::ILinePeer& peer) : line(clock, peer) { factory.add("COM1", line); }
    platform::VirtualClock clock;
    sim::SimLine line;
    sim::SimSerialFactory factory;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
};

}  // namespace fuzz
