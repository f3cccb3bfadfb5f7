// libFuzzer target: one whole CZModemSender::sendFile, from its ZRQINIT to the end, against a
// receiver that answers with the fuzz input (ChunkedPeer: a chunk after each thing the sender
// writes), on virtual time. The first input byte picks the file's size (0, 1, 1023, 1024, 1025,
// 3000 bytes), the speed and a receiver that also holds CTS off now and then.
// A chunk whose delay byte has its top bit set holds header recipes instead of bytes: six bytes
// each (form, type, four header bytes), framed here as a hex, CRC-16 or CRC-32 binary header with
// a good check. A fuzzer seldom guesses a CRC; without them it would hardly get past the ZRINIT.
// Nothing may crash or hang; sendFile returns 0 or -1, closes its file, and reports a failure
// with exactly the texts the transfer has for it (none on success, which needs a ZEOF sent at the
// file's length).
#include "FuzzBench.h"
#include "tests/zmodem/support/ZModemFrames.h"
#include "serial/CSerialPort.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <cstdio>
#include <fstream>
#include <utility>
#include <unistd.h>

using fuzz::require;

namespace {

// Frames a chunk's header recipes (delay byte with its top bit set, see above): as many headers
// as fit in 255 bytes, a chunk's most. The top bit never counts towards the delay.
void frameRecipes(std::uint8_t& delay, std::string& bytes)
{
    const bool recipes = delay & 0x80;
    delay &= 0x7F;
    if (!recipes)
        return;
    std::string headers;
    for (std::size_t i = 0; i + 6 <= bytes.size(); i += 6) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(bytes.data() + i);
        const std::uint32_t v = r[2] | r[3] << 8 | r[4] << 16 | static_cast<std::uint32_t>(r[5]) << 24;
        const std::string h = r[0] % 3 == 0 ? zmtest::hexHeader(r[1], v) : zmtest::binHeader(r[1], v, r[0] % 3 == 2);
        if (headers.size() + h.size() > 255)
            break;
        headers += h;
    }
    bytes = std::move(headers);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    fuzz::ChunkedPeer peer(data + 1, size - 1, frameRecipes);
    fuzz::Bench bench(peer);
    sim::LineFaults faults;
    if (mode & 0x80)
        faults.ctsOffFromUs = 2'000'000, faults.ctsOffUntilUs = 2'000'000 + (mode & 0x70) * 100'000LL;
    bench.line.setFaults(faults);

    CSerialPort port;
    require(port.open("COM1", (mode & 0x08) ? 115200 : 38400, 4096, 4096));
    RecordingProgress progress;
    CZModemSender sender(&port, &progress);
    // The file is written afresh for each input, and gone again before the checks.
    static const std::size_t sizes[] = {0, 1, 1023, 1024, 1025, 3000};
    const std::string path = "/tmp/fuzz_sender." + std::to_string(::getpid());
    std::string content(sizes[(mode & 0x07) % 6], '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    require(static_cast<bool>(std::ofstream(path, std::ios::binary) << content));
    const int r = sender.sendFile(path);
    std::remove(path.c_str());
    require(!sender.fileOpen());
    const auto texts = bench.notifier.texts();
    if (r == 0) {
        require(texts.empty());
        // Success only after the ZEOF at the file's length.
        const auto length = static_cast<std::uint32_t>(content.size());
        require(peer.host.find(zmtest::binHeader(zmodem::ZEOF, length, false)) != std::string::npos ||
                peer.host.find(zmtest::binHeader(zmodem::ZEOF, length, true)) != std::string::npos);
    } else {
        require(r == -1 && texts.size() == 1);
        require(texts[0] == "Error:Unable to initialize ZModem transfer." || texts[0] == "Error:ZModem transfer failed.");
    }
    // Every transfer opens with the hex ZRQINIT.
    require(peer.host.rfind("**\x18" "B00000000000000", 0) == 0);
    return 0;
}
