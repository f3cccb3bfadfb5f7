// libFuzzer target: the console scans of an upgrade (enterCommandMode with its login, restart
// and ESC handling, then waitForCommandMode through prepareFlash or eraseConfiguration and
// startDownload) against a console that says whatever the fuzz input holds (ChunkedPeer: a
// chunk after each thing the program writes), on virtual time. The first input byte picks the
// credentials' presence and the command path. Nothing may crash or hang, every scan keeps to
// its limits, and what the program typed follows from its results: credentials once or not at
// all, no restart after a refused login, no ESC without command mode, each command once and
// only after the one before it succeeded, ESC only in threes.
#include "FuzzBench.h"
#include "serial/CUpgradeConsole.h"

namespace {

using fuzz::require;

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    fuzz::ChunkedPeer peer(data + 1, size - 1);
    fuzz::Bench bench(peer);

    const std::string user = (mode & 1) ? "admin" : "", password = (mode & 1) ? "s3cret" : "";
    CUpgradeConsole console;
    const int entered = console.enterCommandMode("COM1", user, password);
    require(entered == 0 || entered == 2 || entered == 3);
    const std::string typed = peer.host;
    // Credentials go out only together, once, and a refused login goes no further.
    if (!user.empty())
        require(count(typed, "admin\r") == count(typed, "s3cret\r") && count(typed, "admin\r") <= 1);
    if (entered == 2)
        require(typed.find("reboot\r") == std::string::npos && typed.find('\x1b') == std::string::npos);
    if (entered == 3)
        require(typed.find('\x1b') == std::string::npos);
    // One scan of at most 550 passes of 12.788 s read and 0.5 s sleep, and the fixed waits.
    require(bench.clock.nowUs() <= 550LL * 13'400'000 + 20'000'000);

    if (entered == 0) {
        const bool done = (mode & 2) ? console.eraseConfiguration() : console.prepareFlash();
        const bool started = done && ((mode & 4) ? console.startFastDownload() : console.startDownload());
        const std::string after = peer.host.substr(typed.size());
        // A command is typed only once command mode has been seen, and then exactly once.
        const std::string first = (mode & 2) ? "AT{E}\r" : "AT{P}\r";
        require(count(after, first) <= 1);
        require(!started || count(after, (mode & 4) ? "AT{.}\r" : "AT{Z}\r") == 1);
        require(done || count(after, "AT{Z}\r") + count(after, "AT{.}\r") == 0);
    }
    // ESC bytes only ever go out in threes.
    require(std::count(peer.host.begin(), peer.host.end(), '\x1b') % 3 == 0);
    require(bench.notifier.texts().empty());
    return 0;
}
