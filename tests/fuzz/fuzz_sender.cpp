// libFuzzer target: one whole CZModemSender::sendFile, from its ZRQINIT to the end, against a
// receiver that answers with the fuzz input (ChunkedPeer: a chunk after each thing the sender
// writes), on virtual time. The first input byte picks the file's size (0, 1, 1023, 1024, 1025,
// 3000 bytes), the speed and a receiver that also holds CTS off now and then.
// Nothing may crash or hang; sendFile returns 0 or -1, closes its file, and reports a failure
// with exactly the texts the transfer has for it (none on success).
#include "ChunkedPeer.h"
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string g_paths[6];

void removeFiles()
{
    for (const auto& p : g_paths)
        if (!p.empty())
            std::remove(p.c_str());
}

const std::string& fileOfSize(std::size_t index)
{
    static const std::size_t sizes[] = {0, 1, 1023, 1024, 1025, 3000};
    static const int registered = std::atexit(removeFiles);
    (void)registered;
    std::string* paths = g_paths;
    std::string& path = paths[index % 6];
    if (path.empty()) {
        path = "/tmp/fuzz_sender." + std::to_string(::getpid()) + "." + std::to_string(index % 6);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        require(f != nullptr);
        for (std::size_t i = 0; i < sizes[index % 6]; ++i)
            std::fputc(static_cast<int>((i * 7 + 3) & 0xFF), f);
        std::fclose(f);
    }
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    fuzz::ChunkedPeer peer(data + 1, size - 1);
    platform::VirtualClock clock;
    sim::SimLine line(clock, peer);
    sim::LineFaults faults;
    if (mode & 0x80)
        faults.ctsOffFromUs = 2'000'000, faults.ctsOffUntilUs = 2'000'000 + (mode & 0x70) * 100'000LL;
    line.setFaults(faults);
    sim::SimSerialFactory factory;
    factory.add("COM1", line);
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope({&clock, &factory, &notifier, nullptr});

    CSerialPort port;
    require(port.open("COM1", (mode & 0x08) ? 115200 : 38400, 4096, 4096));
    RecordingProgress progress;
    CZModemSender sender(&port, &progress);
    const std::string& path = fileOfSize(mode & 0x07);
    const int r = sender.sendFile(path);
    require(!sender.fileOpen());
    const auto texts = notifier.texts();
    if (r == 0) {
        require(texts.empty());
    } else {
        require(r == -1 && texts.size() == 1);
        require(texts[0] == "Error:Unable to initialize ZModem transfer." || texts[0] == "Error:ZModem transfer failed.");
    }
    // Every transfer opens with the hex ZRQINIT.
    require(peer.host.rfind("**\x18" "B00000000000000", 0) == 0);
    return 0;
}
