// libFuzzer target: arbitrary receiver bytes into CZModemSender::receiveHeader and readEscaped
// through a simulated line on virtual time. Nothing may crash, read out of bounds or hang: every
// wait is a virtual one, and a call on a drained line ends with a (virtual) time-out.
// The first input byte picks the reader and the spacing of the bytes (0, 50 or 150 ms, so that
// the 100 ms waits after CAN and after a hex header both expire and do not).
#include "FuzzBench.h"
#include "serial/CSerialPort.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];

    fuzz::ChunkedPeer peer(nullptr, 0);  // no chunks: it only carries the bytes pushed here
    fuzz::Bench bench(peer);
    bench.line.setPacing(false);
    const std::int64_t spacing[] = {0, 50'000, 150'000};
    peer.output().push(data + 1, size - 1, 0, spacing[(mode >> 1) % 3]);

    CSerialPort port;
    require(port.open("COM1", (mode & 0x40) ? 115200 : 38400, 4096, 4096));
    RecordingProgress progress;
    CZModemSender sender(&port, &progress);
    std::uint8_t header[4] = {};
    // Each call consumes at least one byte or times out on the drained line.
    for (std::size_t calls = 0; !peer.output().empty() && calls <= size; ++calls) {
        const int r = (mode & 1) ? sender.readEscaped() : sender.receiveHeader(header);
        require(r >= -3 && r <= 0x1FF);
    }
    // One more on the empty line: must end in a time-out, not hang.
    const std::int64_t before = bench.clock.nowUs();
    const int last = (mode & 1) ? sender.readEscaped() : sender.receiveHeader(header);
    require(last == -2 && bench.clock.nowUs() - before == 10'000'000);
    return 0;
}
