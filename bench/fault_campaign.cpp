// fault_campaign: whole upgrades (upgradeThreadProc: login, restart, command mode, optional
// erase, both transfers) against the virtual module on virtual time, each with a fault schedule
// drawn from its seed: damage on the line (bits flipped, bytes dropped or doubled, noise bursts,
// stalls, CTS held off, a hang-up), a module that misbehaves (a restart of its own in mid-
// transfer, slow, cut, garbled or repeated answers, a console that stops answering) and a
// receiver that does (stray or stale headers, ZRPOS and ZACK for odd positions, ZSKIP, ZFERR,
// ZCAN, odd buffer lengths, answers sent twice, cancels, silence, noise before its headers).
//
// Every run is checked:
//   - result 0: both files are byte for byte at the module (a file the receiver declined with
//     ZSKIP has not arrived), and no message box was shown;
//   - any result: the verdict, the result line and the Details text are exactly those of the
//     code (compared with the table below, not with the program's own composition), and the
//     message boxes are those the code allows;
//   - the run ends within boundUs() of virtual time (see there);
//   - under the sanitizers: no report (the tool is built and run in the asan tree too).
// A failing run prints its seed; `fault_campaign --seed S --runs 1` replays it exactly: all
// randomness comes from the seed, time is the virtual clock, nothing reads the wall clock but
// the report of wall time per run and a last-resort alarm against a run that never ends.
//
// Usage: fault_campaign [--seed FIRST] [--runs N] [--verbose]   (exit 1 when a run failed)
#include "platform/IThreadStarter.h"
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "sim/NoisyLine.h"
#include "sim/SimLine.h"
#include "sim/SimSerialDevice.h"
#include "sim/VirtualModule.h"
#include "sim/ZModemReceiver.h"
#include "upgrade/RecordingProgress.h"
#include "upgrade/UpgradeMessages.h"
#include "upgrade/UpgradeWorker.h"
#include "zmodem/ZModemDefs.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The operator's texts, written out here independently of the string table.
const std::string kPort = "COM1";
const std::string kDetails1 = "Unable to login to the Tarvel Console Port.\n\nPlease check if another application is "
                              "already using the COM Port.\nCheck that the null modem cable is connected to COM1 and "
                              "also to the Tarvel Console Port.\n";
const std::string kDetails2 = "Unable to login to the Tarvel Console Port.\n\nPlease check that the username and "
                              "password provided are correct.";
const std::string kDetails3 = "Unable to login to the Tarvel Console Port.\n\nPlease check that the null modem cable "
                              "is connected to COM1 and also to the Tarvel Console Port.\n";
const std::string kVerdictOk = "Download completed. Please click on the Finished button.";
const std::string kVerdictFailed = "Download failed. Please click on the Finished button.";
const std::string kLineOk = "The Tarvel router module has been successfully upgraded to version 2.0.10 of the firmware.";
const std::string kLineFailed = "The Tarvel router module was not successfully upgraded to version 2.0.10 of the firmware.";
const std::string kAccess = "Unable to gain access to the COM port.";
const std::string kNoInit = "Error:Unable to initialize ZModem transfer.";
const std::string kFailed = "Error:ZModem transfer failed.";

std::string transferDetails(const char* which, const std::string& path)
{
    return std::string("Unable to download the ") + which + " file to the Tarvel.\n\nPlease check that the Tarvel is "
           "powered on.\nCheck that the null modem cable is connected to COM1.\nCheck that the " + which +
           " file \"" + path + "\" is correct.";
}

// splitmix64: the one source of randomness of a run.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::int64_t in(std::int64_t lo, std::int64_t hi) { return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }
    bool chance(int percent) { return in(1, 100) <= percent; }
    template <typename T, std::size_t N>
    const T& pick(const T (&a)[N]) { return a[next() % N]; }

private:
    std::uint64_t s_;
};

struct Plan {
    std::uint64_t seed = 0;
    std::string boot, code;
    bool fast = false, erase = false;
    sim::ModuleConfig module;
    sim::ZModemReceiverOptions receiver;
    std::vector<sim::LineEvent> lineEvents;
    sim::LineFaults line;
    std::vector<std::string> faults;  // what was drawn, for the failure report
    std::int64_t extraUs = 0;         // stalls and CTS time, added to the bound
};

std::string bytes(Rng& rng, std::size_t n)
{
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng.next());
    return s;
}

// A fault schedule: every run draws one to three faults from the whole list.
Plan draw(std::uint64_t seed)
{
    Rng rng(seed);
    Plan p;
    p.seed = seed;
    const std::size_t sizes[] = {0, 1, 1023, 1024, 1025, 2048, 3000, 5000};
    p.boot = bytes(rng, rng.chance(30) ? rng.pick(sizes) : static_cast<std::size_t>(rng.in(0, 6000)));
    p.code = bytes(rng, rng.chance(30) ? rng.pick(sizes) : static_cast<std::size_t>(rng.in(0, 12000)));
    p.fast = rng.chance(30);
    p.erase = rng.chance(30);
    sim::ModuleConfig& m = p.module;
    const sim::ConsoleStart starts[] = {sim::ConsoleStart::AtPrompt, sim::ConsoleStart::LoggedOut,
                                        sim::ConsoleStart::PasswordFirst, sim::ConsoleStart::Restarting,
                                        sim::ConsoleStart::CommandMode};
    m.start = rng.pick(starts);
    m.echo = rng.chance(30);
    m.quickSetupTimes = rng.chance(10) ? 1 : 0;
    if (rng.chance(20))
        m.chunkAt = static_cast<std::size_t>(rng.in(1, 6));
    m.replyDelayUs = rng.in(5'000, 60'000);
    sim::ZModemReceiverOptions& r = p.receiver;
    const std::uint16_t buffers[] = {1, 2, 7, 512, 1023, 1024, 1025, 2048, 65535};
    r.bufferLength = rng.chance(70) ? 0 : rng.pick(buffers);
    r.crc32 = rng.chance(80);

    const std::int64_t wire = static_cast<std::int64_t>(p.boot.size() + p.code.size()) + 600;
    const int nFaults = static_cast<int>(rng.in(1, 3));
    for (int i = 0; i < nFaults; ++i) {
        const int kind = static_cast<int>(rng.in(0, 22));
        std::string name;
        switch (kind) {
        case 0: case 1: case 2: case 3: case 4: {  // line events, either direction
            const sim::LineEvent::Kind kinds[] = {sim::LineEvent::Kind::Flip, sim::LineEvent::Kind::Drop,
                                                  sim::LineEvent::Kind::Double, sim::LineEvent::Kind::Noise,
                                                  sim::LineEvent::Kind::Stall};
            const int n = static_cast<int>(rng.in(1, 4));
            for (int e = 0; e < n; ++e) {
                sim::LineEvent ev;
                ev.kind = kinds[kind];
                ev.toModule = rng.chance(60);
                ev.atByte = rng.in(0, ev.toModule ? wire * 2 : 600);
                ev.arg = static_cast<int>(ev.kind == sim::LineEvent::Kind::Noise ? rng.in(1, 64) : rng.in(0, 7));
                if (ev.kind == sim::LineEvent::Kind::Stall) {
                    const std::int64_t stalls[] = {50'000, 150'000, 1'000'000, 6'000'000, 11'000'000, 14'000'000, 30'000'000};
                    ev.stallUs = rng.pick(stalls) + rng.in(0, 999);
                    p.extraUs += ev.stallUs;
                }
                p.lineEvents.push_back(ev);
                name += (e ? "," : "") + std::string(ev.toModule ? ">" : "<") + std::to_string(ev.atByte);
            }
            const char* names[] = {"flip", "drop", "double", "noise", "stall"};
            name = std::string(names[kind]) + "@" + name;
            break;
        }
        case 5: {
            p.line.ctsOffFromUs = rng.in(0, 120'000'000);
            p.line.ctsOffUntilUs = p.line.ctsOffFromUs + rng.in(1'000, 20'000'000);
            p.extraUs += p.line.ctsOffUntilUs - p.line.ctsOffFromUs;
            name = "cts-off@" + std::to_string(p.line.ctsOffFromUs);
            break;
        }
        case 6:
            p.line.hangupAfterHostBytes = rng.in(1, wire * 2);
            name = "hangup@" + std::to_string(p.line.hangupAfterHostBytes);
            break;
        case 7:
            m.restartInDownload = static_cast<int>(rng.in(1, 2));
            m.restartAfterBytes = rng.in(0, static_cast<std::int64_t>((m.restartInDownload == 1 ? p.boot : p.code).size()) + 200);
            name = "module-restart@" + std::to_string(m.restartInDownload) + ":" + std::to_string(m.restartAfterBytes);
            break;
        case 8: {
            const sim::ModuleConfig::ReplyFault rf[] = {sim::ModuleConfig::ReplyFault::Cut,
                                                       sim::ModuleConfig::ReplyFault::Garble,
                                                       sim::ModuleConfig::ReplyFault::Repeat};
            m.replyFault = rng.pick(rf);
            m.replyFaultFrom = static_cast<int>(rng.in(0, 12));
            m.replyFaultCount = static_cast<int>(rng.chance(20) ? 1000 : rng.in(1, 3));
            name = "reply-fault" + std::to_string(static_cast<int>(m.replyFault)) + "@" + std::to_string(m.replyFaultFrom);
            break;
        }
        case 9:
            m.replyDelayUs = rng.in(500'000, 14'000'000);
            name = "slow-replies";
            break;
        case 10:
            m.hangAtUs = rng.in(0, 150'000'000);
            name = "console-hangs@" + std::to_string(m.hangAtUs);
            break;
        case 11: case 12: case 13: {
            const int types[] = {zmodem::ZRPOS, zmodem::ZRPOS, zmodem::ZACK, zmodem::ZSKIP, zmodem::ZFERR,
                                 zmodem::ZCAN, zmodem::ZRINIT, zmodem::ZFIN, zmodem::ZNAK, -1, -1};
            r.strayType = rng.pick(types);
            r.strayAt = rng.in(0, static_cast<std::int64_t>(std::max(p.boot.size(), p.code.size())));
            const std::uint32_t positions[] = {1, 3, 1023, 4095, 0x7FFFFFFF, 0xFFFFFFFF,
                                               static_cast<std::uint32_t>(p.boot.size() + 1),
                                               static_cast<std::uint32_t>(p.code.size() + 4096)};
            r.strayPosition = rng.chance(30) ? static_cast<std::uint32_t>(rng.in(0, 20000)) : rng.pick(positions);
            name = "stray" + std::to_string(r.strayType) + "@" + std::to_string(r.strayAt) + ":" + std::to_string(r.strayPosition);
            break;
        }
        case 14:
            r.answerTwice = true;
            name = "answers-twice";
            break;
        case 15:
            (rng.chance(50) ? r.skipAt : r.cancelAt) = rng.in(0, 6000);
            r.cancelBytes = static_cast<int>(rng.in(1, 8));
            r.skipFiles = rng.chance(10);
            name = "skip-or-cancel";
            break;
        case 16:
            r.rewindAt = rng.in(0, 6000);
            r.rewindTo = rng.in(0, 7000);
            name = "rewind";
            break;
        case 17:
            r.corruptEvery = static_cast<std::uint32_t>(rng.in(200, 5000));
            name = "corrupt-every";
            break;
        case 18: {
            const sim::ReceiverStage st[] = {sim::ReceiverStage::Init, sim::ReceiverStage::File, sim::ReceiverStage::Data,
                                             sim::ReceiverStage::Eof, sim::ReceiverStage::Fin};
            r.silentFrom = rng.pick(st);
            name = "receiver-silent";
            break;
        }
        case 19:
            r.zrinitForZfile = static_cast<int>(rng.in(1, 3));
            name = "zrinit-for-zfile";
            break;
        case 20:
            r.replyNoise = bytes(rng, static_cast<std::size_t>(rng.in(1, 40)));
            name = "reply-noise";
            break;
        case 21:
            r.xoffAt = rng.in(100, 4000);
            r.xoffPauseUs = rng.in(1'000, 12'000'000);
            name = "xoff";
            break;
        default:
            r.replyDelayUs = rng.in(100'000, 12'000'000);
            name = "receiver-slow";
            break;
        }
        p.faults.push_back(name);
    }
    return p;
}

// The longest a run may take, from the waits the program is built on (virtual time):
//   console: enterCommandMode and every waitForCommandMode scan at most 550 passes, each pass
//   one read (3 ms x 4096 + 500 ms) and at most 500 ms of sleep and 80 ms of writes (13.37 s);
//   an upgrade makes at most 1 + 4 such scans (erase or prepare, then each start of a download),
//   plus the fixed waits: login 10.05 s, restart 8.5 s, the commands' own 10 + 3 + 3 + 3 s, and
//   the worker's 1 + 15 + 1 s;
//   transfer: every header read ends within its hunt limit, twice the line time of the garbage
//   limit (1400 + baud bytes) plus one 10 s byte wait (30.7 s at 38,400 bps, 30.1 s at 115,200);
//   ten of them while waiting for ZRINIT, ten each at most for the offers, the ZEOF and the ZFIN;
//   then the file twice over per fault drawn (a resend from the start after each), every byte
//   escaped (2 character times), with a hunt for every 1024 bytes (a ZCRCW with buffer lengths
//   up to 1024, or a resend asked for) and 100 ms of listening per subpacket;
//   plus the held-back time of every stall and of CTS off, once for each transfer.
std::int64_t boundUs(const Plan& p)
{
    const std::int64_t scan = 550 * 13'370'000LL;
    const std::int64_t console = 5 * scan + 10'050'000 + 8'500'000 + 19'000'000 + 17'000'000;
    const std::int64_t usPerChar = p.fast ? 87 : 260;
    auto transfer = [&](std::size_t size) {
        const std::int64_t baud = p.fast ? 115'200 : 38'400;
        const std::int64_t hunt = 2 * (1400 + baud) * (10'000'000 / baud) + 10'000'000;
        const std::int64_t n = static_cast<std::int64_t>(size);
        const std::int64_t once = 2 * n * usPerChar + (n / 1024 + 2) * (100'000 + hunt);
        return 40 * hunt + static_cast<std::int64_t>(2 * (p.faults.size() + 1)) * once;
    };
    return console + transfer(p.boot.size()) + transfer(p.code.size()) + 2 * p.extraUs;
}

// Stops a run that never ends (no virtual time passing): names its seed before the process ends.
char g_seedText[64] = "";
void onAlarm(int)
{
    const char msg[] = "fault_campaign: a run did not end within 120 s of wall time: seed ";
    (void)!::write(2, msg, sizeof msg - 1);
    (void)!::write(2, g_seedText, std::strlen(g_seedText));
    (void)!::write(2, "\n", 1);
    std::_Exit(2);
}

struct Outcome {
    int code = -1;
    std::int64_t virtualUs = 0;
    std::vector<std::string> problems;
};

// Runs in the campaign's own folder (the current one): the files go by their bare names, which
// the sender announces on the line, so that no process id or temporary folder changes the bytes
// a seed's faults fall on.
Outcome runOne(const Plan& p)
{
    Outcome o;
    const std::string bootPath = "tarvelboot.dmf", codePath = "tarvel.dmf";
    std::ofstream(bootPath, std::ios::binary | std::ios::trunc) << p.boot;
    std::ofstream(codePath, std::ios::binary | std::ios::trunc) << p.code;

    platform::VirtualClock clock;
    auto store = std::make_shared<sim::ReceivedFiles>();
    sim::ModuleConfig cfg = p.module;
    cfg.receiver = sim::ZModemReceiver::factory(p.receiver, store);
    sim::VirtualModule module(std::move(cfg));
    sim::NoisyLine noisy(module, p.lineEvents, p.seed);
    sim::SimLine line(clock, noisy);
    line.setFaults(p.line);
    sim::SimSerialFactory factory;
    factory.add(kPort, line);
    platform::RecordingNotifier notifier;
    platform::InlineThreadStarter threads;
    platform::ScopedPlatform scope({&clock, &factory, &notifier, &threads});

    UpgradeSettings settings;
    settings.comPort = kPort;
    settings.username = "admin", settings.password = "tarvel";
    settings.bootFile = bootPath, settings.codeFile = codePath;
    settings.fastDownload = p.fast, settings.eraseConfig = p.erase;
    RecordingProgress progress;
    UpgradeThreadParams params{&settings, &progress, {}};  // resolved by the worker at its start
    const unsigned ret = upgradeThreadProc(&params);
    o.code = settings.upgradeResult.load();
    o.virtualUs = clock.nowUs();
    auto problem = [&](const std::string& s) { o.problems.push_back(s); };

    if (static_cast<int>(ret) != o.code || !settings.upgradeDone.load())
        problem("returned " + std::to_string(ret) + ", stored " + std::to_string(o.code));
    if (progress.finishedCount() != 1 || !progress.snapshots().back().finished)
        problem("verdict not shown exactly once, last");
    else if (progress.snapshots().back().statusText != (o.code == 0 ? kVerdictOk : kVerdictFailed))
        problem("verdict text: " + progress.snapshots().back().statusText);
    if (o.virtualUs > boundUs(p))
        problem("ran " + std::to_string(o.virtualUs / 1000) + " ms, bound " + std::to_string(boundUs(p) / 1000) + " ms");

    const auto boxes = notifier.texts();
    auto boxesWithin = [&](std::initializer_list<std::string> allowed, std::size_t most) {
        if (boxes.size() > most)
            return false;
        return std::all_of(boxes.begin(), boxes.end(), [&](const std::string& b) {
            return std::find(allowed.begin(), allowed.end(), b) != allowed.end();
        });
    };
    switch (o.code) {
    case 0: {
        if (upgradeCompletedLine(settings) != kLineOk)
            problem("completed line");
        if (!boxes.empty())
            problem("a box on success: " + boxes.front());
        // Each file: the last one of its name the module kept is whole and exact; files are told
        // apart by the path the sender announced.
        for (const auto& [path, content] : {std::pair{bootPath, &p.boot}, std::pair{codePath, &p.code}}) {
            const auto files = store->files();
            auto it = std::find_if(files.rbegin(), files.rend(), [&](const sim::ReceivedFile& f) { return f.name == path; });
            if (it == files.rend())
                problem("FALSE SUCCESS: " + path + " never offered");
            else if (it->skipped)
                problem("FALSE SUCCESS: " + path + " declined by the receiver");
            else if (!it->complete || std::string(it->data.begin(), it->data.end()) != *content)
                problem("FALSE SUCCESS: " + path + " " + (it->complete ? "differs" : "incomplete") + " (" +
                        std::to_string(it->data.size()) + " of " + std::to_string(content->size()) + " bytes)");
        }
        break;
    }
    case 1: case 2: case 3: case 7: case 8: {
        if (upgradeFailedLine(settings) != kLineFailed)
            problem("failed line");
        const std::string details = upgradeFailureDetails(o.code, settings);
        const std::string expected = o.code == 1 ? kDetails1 : o.code == 2 ? kDetails2 : o.code == 3 ? kDetails3
                                   : o.code == 7 ? transferDetails("boot", bootPath) : transferDetails("code", codePath);
        if (details != expected)
            problem("details of " + std::to_string(o.code) + ": " + details);
        const bool ok = o.code == 1 ? boxesWithin({kAccess}, 1) && boxes.size() == 1
                      : o.code == 7 || o.code == 8 ? boxesWithin({kNoInit, kFailed}, 1) && boxes.size() == 1
                      : boxes.empty();
        if (!ok)
            problem("boxes for code " + std::to_string(o.code) + ": " + (boxes.empty() ? "none" : boxes.front()) +
                    " (" + std::to_string(boxes.size()) + ")");
        break;
    }
    default:
        problem("result code " + std::to_string(o.code) + " is not one an upgrade gives");
    }
    if (!o.problems.empty() && std::getenv("FAULT_CAMPAIGN_EVENTS")) {
        const auto events = store->events();
        for (std::size_t i = events.size() > 60 ? events.size() - 60 : 0; i < events.size(); ++i)
            std::fprintf(stderr, "  %s\n", events[i].c_str());
        std::fprintf(stderr, "  host wrote %zu bytes\n", line.hostWrites().size());
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    std::uint64_t first = 1;
    long runs = 1000;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seed" && i + 1 < argc)
            first = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::strtol(argv[++i], nullptr, 10);
        else if (a == "--verbose" || a == "-v")
            verbose = true;
        else {
            std::fprintf(stderr, "usage: fault_campaign [--seed FIRST] [--runs N] [--verbose]\n");
            return 64;
        }
    }
    const auto dir = std::filesystem::temp_directory_path() / ("fault_campaign." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto startedIn = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::signal(SIGALRM, onAlarm);

    std::map<int, long> byCode;
    long failures = 0, falseSuccesses = 0, hangs = 0;
    std::int64_t longestUs = 0;
    std::uint64_t longestSeed = 0;
    const auto wallStart = std::chrono::steady_clock::now();
    for (long i = 0; i < runs; ++i) {
        const std::uint64_t seed = first + static_cast<std::uint64_t>(i);
        std::snprintf(g_seedText, sizeof g_seedText, "%llu", static_cast<unsigned long long>(seed));
        ::alarm(120);
        const Plan plan = draw(seed);
        if (verbose) {
            std::printf("seed %llu: boot %zu, code %zu bytes%s%s, buffer %u; faults:", static_cast<unsigned long long>(seed),
                        plan.boot.size(), plan.code.size(), plan.fast ? ", fast" : "", plan.erase ? ", erase" : "",
                        static_cast<unsigned>(plan.receiver.bufferLength));
            for (const auto& f : plan.faults)
                std::printf(" %s", f.c_str());
            std::printf("\n");
            std::fflush(stdout);
        }
        const Outcome o = runOne(plan);
        ::alarm(0);
        ++byCode[o.code];
        if (o.virtualUs > longestUs)
            longestUs = o.virtualUs, longestSeed = seed;
        std::string faults;
        for (const auto& f : plan.faults)
            faults += " " + f;
        if (!o.problems.empty()) {
            ++failures;
            for (const auto& pr : o.problems) {
                falseSuccesses += pr.rfind("FALSE SUCCESS", 0) == 0 ? 1 : 0;
                hangs += pr.rfind("ran ", 0) == 0 ? 1 : 0;
                std::printf("FAIL seed %llu (code %d, %.1f s virtual; faults:%s): %s\n",
                            static_cast<unsigned long long>(seed), o.code, static_cast<double>(o.virtualUs) / 1e6, faults.c_str(), pr.c_str());
            }
        } else if (verbose) {
            std::printf("seed %llu: code %d, %.1f s virtual; faults:%s\n", static_cast<unsigned long long>(seed), o.code,
                        static_cast<double>(o.virtualUs) / 1e6, faults.c_str());
        }
        std::fflush(stdout);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::filesystem::current_path(startedIn);
    std::filesystem::remove_all(dir);

    std::printf("fault campaign: %ld runs from seed %llu; failed runs %ld, false successes %ld, hangs %ld\n", runs,
                static_cast<unsigned long long>(first), failures, falseSuccesses, hangs);
    std::printf("outcomes by result code:");
    for (const auto& [code, n] : byCode)
        std::printf("  %d: %ld", code, n);
    std::printf("\nlongest run %.1f s virtual (seed %llu); wall %.1f s, %.2f ms per run\n", static_cast<double>(longestUs) / 1e6,
                static_cast<unsigned long long>(longestSeed), wall, runs ? wall * 1000 / static_cast<double>(runs) : 0.0);
    return failures ? 1 : 0;
}
