// tarvel-sim: the virtual module on a pseudo-terminal, in real time (see SimOptions.h).
#include "platform/SystemClock.h"
#include "sim/PseudoTerminal.h"
#include "sim/PtyModuleRunner.h"
#include "sim/VirtualModule.h"
#include "sim/tool/ReceivedFileWriter.h"
#include "sim/tool/SimOptions.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<sim::PtyModuleRunner*> g_runner{nullptr};
volatile std::sig_atomic_t g_stop = 0;

extern "C" void onSignal(int)
{
    g_stop = 1;
    if (sim::PtyModuleRunner* r = g_runner.load())
        r->requestStop();
}

// Replaces an old link of ours, never a real file.
bool makeLink(const std::string& link, const std::string& target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (!ec && fs::exists(status)) {
        if (!fs::is_symlink(status)) {
            std::fprintf(stderr, "tarvel-sim: %s exists and is not a link; not replaced\n", link.c_str());
            return false;
        }
        fs::remove(link, ec);
    }
    fs::create_symlink(target, link, ec);
    if (ec) {
        std::fprintf(stderr, "tarvel-sim: cannot link %s: %s\n", link.c_str(), ec.message().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    std::string error;
    if (!parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "tarvel-sim: %s\n\n%s", error.c_str(), kSimUsageText);
        return 64;
    }
    if (options.help) {
        std::fputs(kSimUsageText, stdout);
        return 0;
    }

    // The log is for tests that match the module's doings with their own events by time, so
    // each line is written (and flushed) as soon as the loop below sees it.
    std::FILE* log = nullptr;
    if (!options.logFile.empty() && !(log = std::fopen(options.logFile.c_str(), "a"))) {
        std::perror(("tarvel-sim: " + options.logFile).c_str());
        return 1;
    }
    auto logLine = [&](const std::string& text) {
        if (!log)
            return;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
        std::fprintf(log, "%lld.%03lld %s\n", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000),
                     text.c_str());
        std::fflush(log);
    };

    auto pty = sim::PseudoTerminal::open(&error);
    if (!pty) {
        std::fprintf(stderr, "tarvel-sim: no pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    const std::string slavePath = pty->slavePath();
    if (!options.link.empty() && !makeLink(options.link, slavePath))
        return 1;

    auto store = std::make_shared<sim::ReceivedFiles>();
    options.module.receiver = sim::ZModemReceiver::factory(options.receiver, store);
    ReceivedFileWriter writer(options.storeDir);

    platform::SystemClock clock;
    sim::VirtualModule module(options.module, clock.nowUs());
    sim::PtyRunnerOptions runnerOptions;
    runnerOptions.pace = options.pace;
    runnerOptions.hangupAfterBytes = options.hangupAfterBytes;
    runnerOptions.hangupAfterMs = options.hangupAfterMs;
    sim::PtyModuleRunner runner(pty->masterFd(), module, clock, runnerOptions);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    g_runner.store(&runner);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", pty->slavePath().c_str());
    std::fflush(stdout);

    std::atomic<bool> runnerEnded{false};
    bool runnerOk = true;
    std::thread loop([&] {
        runnerOk = runner.run();
        // At once, not at the next look of the main loop: the moment of the hang-up is measured.
        if (runner.hungUp()) {
            pty->hangUp();
            std::fprintf(stderr, "tarvel-sim: line hung up after %lld bytes from the host\n",
                         static_cast<long long>(runner.hostBytes()));
        }
        runnerEnded = true;
    });

    std::size_t linesShown = 0;
    std::size_t filesShown = 0;
    auto report = [&] {
        for (const auto& path : writer.writeNew(*store))
            std::fprintf(stderr, "tarvel-sim: stored %s\n", path.string().c_str());
        // How each complete file crossed the line: its data time (ZDATA at 0 to ZEOF, on the
        // system's monotonic clock, so a benchmark can match it with its own samples) and the
        // resends the receiver had to ask for.
        const auto files = store->files();
        for (; filesShown < files.size() && (files[filesShown].complete || filesShown + 1 < files.size()); ++filesShown) {
            const sim::ReceivedFile& f = files[filesShown];
            if (!f.complete || f.dataStartUs < 0)
                continue;
            logLine("received " + ReceivedFileWriter::storedName(f.name, filesShown));
            std::fprintf(stderr,
                         "tarvel-sim: received %s: %zu bytes, data from %lld to %lld us, %d resyncs, "
                         "%d bad subpackets\n",
                         ReceivedFileWriter::storedName(f.name, filesShown).c_str(), f.data.size(),
                         static_cast<long long>(f.dataStartUs), static_cast<long long>(f.dataEndUs), f.resyncs,
                         f.crcErrors);
        }
        if (options.verbose || log) {
            const auto lines = module.lines();
            for (; linesShown < lines.size(); ++linesShown) {
                const std::string& line = lines[linesShown].empty() ? "(empty line)" : lines[linesShown];
                if (options.verbose)
                    std::fprintf(stderr, "tarvel-sim: console: %s\n", line.c_str());
                logLine("console " + line);
            }
        }
    };
    while (!g_stop && !runnerEnded) {
        clock.sleepMs(100);
        report();
    }
    runner.requestStop();
    loop.join();
    g_runner.store(nullptr);
    report();
    if (log)
        std::fclose(log);
    // Only our own link: after a hang-up another module may already have taken the name over.
    std::error_code ec;
    if (!options.link.empty() && std::filesystem::read_symlink(options.link, ec) == slavePath)
        std::filesystem::remove(options.link, ec);
    if (!runnerOk) {
        std::perror("tarvel-sim: pseudo-terminal");
        return 1;
    }
    return 0;
}
