// libFuzzer target: arbitrary receiver bytes into CZModemSender::receiveHeader and readEscaped
// through a simulated line on virtual time. Nothing may crash, read out of bounds or hang: every
// wait is a virtual one, and a call on a drained line ends with a (virtual) time-out.
// The first input byte picks the reader and the spacing of the bytes (0, 50 or 150 ms, so that
// the 100 ms waits after CAN and after a hex header both expire and do not).
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class BytesPeer final : public sim::ILinePeer {
public:
    void advance(std::int64_t) override {}
    void receive(const std::uint8_t*, std::size_t, std::int64_t) override {}
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out; }
    sim::TimedByteQueue out;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    platform::VirtualClock clock;
    BytesPeer peer;
    sim::SimLine line(clock, peer);
    line.setPacing(false);
    sim::SimSerialFactory factory;
    factory.add("COM1", line);
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope({&clock, &factory, &notifier, nullptr});

    const std::int64_t spacing[] = {0, 50'000, 150'000};
    peer.out.push(data, size, 0, spacing[(mode >> 1) % 3]);

    CSerialPort port;
    if (!port.open("COM1", (mode & 0x40) ? 115200 : 38400, 4096, 4096))
        std::abort();
    RecordingProgress progress;
    CZModemSender sender(&port, &progress);
    std::uint8_t header[4] = {};
    // Each call consumes at least one byte or times out on the drained line.
    for (std::size_t calls = 0; !peer.out.empty() && calls <= size + 1; ++calls) {
        const int r = (mode & 1) ? sender.readEscaped() : sender.receiveHeader(header);
        if (r < -3 || r > 0x1FF)
            std::abort();
    }
    // One more on the empty line: must end in a time-out, not hang.
    const std::int64_t before = clock.nowUs();
    const int last = (mode & 1) ? sender.readEscaped() : sender.receiveHeader(header);
    if (last != -2 || clock.nowUs() - before != 10'000'000)
        std::abort();
    return 0;
}
