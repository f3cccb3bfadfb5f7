// tarvel-sim: the virtual module on a pseudo-terminal, in real time, or a bench of them (see
// SimOptions.h).
#include "platform/SystemClock.h"
#include "sim/tool/ControlFile.h"
#include "sim/tool/ModuleSlot.h"
#include "sim/tool/SimOptions.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_replaceAll = 0;
volatile std::sig_atomic_t g_replugAll = 0;

extern "C" void onStopSignal(int)
{
    g_stop = 1;
}

extern "C" void onReplaceSignal(int)
{
    g_replaceAll = 1;
}

extern "C" void onReplugSignal(int)
{
    g_replugAll = 1;
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(signal, &sa, nullptr);
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

    // Handlers first: a signal sent as soon as the paths are printed must not kill the program.
    handle(SIGINT, onStopSignal);
    handle(SIGTERM, onStopSignal);
    handle(SIGUSR1, onReplaceSignal);
    handle(SIGUSR2, onReplugSignal);
    std::signal(SIGPIPE, SIG_IGN);

    platform::SystemClock clock;
    const bool bench = options.modules > 0;
    const int count = bench ? options.modules : 1;
    std::vector<std::unique_ptr<ModuleSlot>> slots;
    for (int k = 1; k <= count; ++k) {
        const std::string number = std::to_string(k);
        slots.push_back(std::make_unique<ModuleSlot>(
            simOptionsForModule(options, k), options.link.empty() || !bench ? options.link : options.link + number,
            bench ? std::filesystem::path(options.storeDir) / number : std::filesystem::path(options.storeDir),
            bench ? "module " + number + ": " : "", clock, bench));
        if (!slots.back()->start(error)) {
            std::fprintf(stderr, "tarvel-sim: %s%s\n", bench ? ("module " + number + ": ").c_str() : "",
                         error.c_str());
            return 1;
        }
    }
    for (const auto& slot : slots)
        std::printf("%s\n", slot->path().c_str());
    std::fflush(stdout);

    std::optional<ControlFile> control;
    if (!options.control.empty())
        control.emplace(options.control);
    auto allEnded = [&] {
        for (const auto& slot : slots)
            if (!slot->ended())
                return false;
        return true;
    };
    while (!g_stop && !allEnded()) {
        clock.sleepMs(100);
        std::vector<ControlCommand> commands;
        for (const bool replug : {false, true}) {
            volatile std::sig_atomic_t& flag = replug ? g_replugAll : g_replaceAll;
            if (flag) {
                flag = 0;
                for (int k = 1; k <= count; ++k)
                    commands.push_back({k, replug});
            }
        }
        if (control) {
            std::vector<std::string> errors;
            for (const ControlCommand& c : control->newCommands(count, errors))
                commands.push_back(c);
            for (const auto& e : errors)
                std::fprintf(stderr, "tarvel-sim: %s: %s\n", options.control.c_str(), e.c_str());
        }
        for (const ControlCommand& c : commands) {
            ModuleSlot& slot = *slots[static_cast<std::size_t>(c.module - 1)];
            c.replug ? slot.replug() : slot.replace();
        }
        for (const auto& slot : slots)
            slot->report();
    }
    bool failed = false;
    for (const auto& slot : slots) {
        slot->stop();
        slot->report();
        failed = failed || slot->failed();
    }
    return failed ? 1 : 0;
}
