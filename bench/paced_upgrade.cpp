// Benchmark (run by hand, not a test): one whole upgrade in real time through tarvel-sim --pace,
// the virtual module that carries the bytes at the line's speed, with upgrade-cli's logic run in
// this process (so that its serial port's counters and its CPU time are this process's).
// Prints per transfer: file bytes per second as a share of the line's payload limit
// (baud / 10 x 0.967, ZModem's share of the wire on random data with 1 KB subpackets), the bytes
// writeByte dropped, the resends the module asked for (ZRPOS after the data began) and the CPU
// time of the upgrade over the transfer; then the whole run.
//   usage: paced_upgrade [-f] [--boot-kb N] [--code-kb N] [--check] [--sim PATH]
//     -f          transfers at 115,200 bps (else 38,400)
//     --boot-kb   boot file size (default 64), --code-kb code file size (default 600)
//     --check     exit status 1 unless the upgrade completed with both files intact, no byte
//                 dropped and no resend (for a short run in the test script; never a speed)
//     --sim       tarvel-sim to run (default: sim/tool/tarvel-sim beside this program's folder)
#include "bench/BenchFiles.h"
#include "cli/UpgradeCli.h"
#include "serial/CSerialPort.h"
#include "tests/zmodem/support/ChildProcess.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::sameFile;
using bench::writeRandomFile;

std::int64_t monotonicUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

double processCpuSeconds()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Samples this process's CPU time and the dropped-byte count ten times a second, so that both
// can be read at the moments the module reports for the start and end of each transfer.
class Sampler {
public:
    struct Sample {
        std::int64_t atUs;
        double cpu;
        std::int64_t dropped;
    };
    Sampler()
    {
        take();
        thread_ = std::thread([this] {
            while (!stop_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                take();
            }
        });
    }
    ~Sampler() { finish(); }
    void finish()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        take();
    }
    // The last sample at or before t (the first one if t is earlier).
    Sample at(std::int64_t t) const
    {
        std::lock_guard lock(mutex_);
        Sample s = samples_.front();
        for (const auto& x : samples_)
            if (x.atUs <= t)
                s = x;
        return s;
    }

private:
    void take()
    {
        const Sample s{monotonicUs(), processCpuSeconds(), CSerialPort::droppedBytes()};
        std::lock_guard lock(mutex_);
        samples_.push_back(s);
    }
    mutable std::mutex mutex_;
    std::vector<Sample> samples_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Transfer {
    std::string name;
    long long bytes = 0;
    long long fromUs = 0;
    long long toUs = 0;
    int resyncs = 0;
    int bad = 0;
};

// The module's reports: "tarvel-sim: received NAME: N bytes, data from A to B us, R resyncs,
// C bad subpackets".
std::vector<Transfer> readTransfers(const fs::path& log)
{
    std::vector<Transfer> out;
    std::ifstream in(log);
    std::string line;
    const std::string tag = "tarvel-sim: received ";
    while (std::getline(in, line)) {
        if (line.rfind(tag, 0) != 0)
            continue;
        Transfer t;
        const std::size_t colon = line.find(": ", tag.size());
        if (colon == std::string::npos)
            continue;
        t.name = line.substr(tag.size(), colon - tag.size());
        if (std::sscanf(line.c_str() + colon + 2, "%lld bytes, data from %lld to %lld us, %d resyncs, %d bad",
                        &t.bytes, &t.fromUs, &t.toUs, &t.resyncs, &t.bad) == 5)
            out.push_back(t);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    bool fast = false;
    bool check = false;
    long bootKb = 64;
    long codeKb = 600;
    fs::path simPath = fs::canonical("/proc/self/exe").parent_path().parent_path() / "sim/tool/tarvel-sim";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-f")
            fast = true;
        else if (a == "--check")
            check = true;
        else if (a == "--boot-kb" && i + 1 < argc)
            bootKb = std::atol(argv[++i]);
        else if (a == "--code-kb" && i + 1 < argc)
            codeKb = std::atol(argv[++i]);
        else if (a == "--sim" && i + 1 < argc)
            simPath = argv[++i];
        else {
            std::fprintf(stderr, "usage: paced_upgrade [-f] [--boot-kb N] [--code-kb N] [--check] [--sim PATH]\n");
            return 64;
        }
    }
    const std::uint32_t baud = fast ? 115200 : 38400;
    const double limit = baud / 10.0 * 0.967;

    const fs::path dir = fs::temp_directory_path() / ("paced_upgrade-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path boot = dir / "tarvelboot.dmf", code = dir / "tarvel.dmf";
    writeRandomFile(boot, static_cast<std::size_t>(bootKb) * 1024, 1);
    writeRandomFile(code, static_cast<std::size_t>(codeKb) * 1024, 2);

    const int devNull = ::open("/dev/null", O_RDWR);
    zmtest::ChildProcess sim;
    const fs::path tty = dir / "tty", simLog = dir / "sim.log";
    if (!sim.start({simPath.string(), "--pace", "--link", tty.string(), "--store", (dir / "received").string()},
                   dir.string(), devNull, devNull, simLog.string())) {
        std::fprintf(stderr, "paced_upgrade: cannot start %s\n", simPath.c_str());
        return 2;
    }
    for (int i = 0; i < 100 && !fs::is_symlink(tty); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::vector<std::string> args{"-y", "-n", "-o", tty.string(), "-b", boot.string(), "-c", code.string()};
    if (fast)
        args.insert(args.begin(), "-f");
    std::FILE* cliLog = std::fopen((dir / "cli.log").c_str(), "w");
    CliStreams streams;
    streams.in = nullptr;
    streams.out = cliLog;
    streams.err = cliLog;

    std::printf("paced upgrade at %u bps: boot %ld KB, code %ld KB; payload limit %.0f bytes/s\n", baud, bootKb,
                codeKb, limit);
    std::fflush(stdout);
    Sampler sampler;
    const std::int64_t startUs = monotonicUs();
    const double startCpu = processCpuSeconds();
    const int result = runUpgradeCli(args, streams);
    const std::int64_t endUs = monotonicUs();
    const double cpu = processCpuSeconds() - startCpu;
    sampler.finish();
    std::fclose(cliLog);

    // The module reports a file within a tenth of a second of its end.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    sim.kill();
    sim.wait(5000);

    const auto transfers = readTransfers(simLog);
    bool ok = result == 0 && transfers.size() == 2;
    std::printf("%-15s %8s %8s %10s %7s %8s %8s %8s %7s\n", "file", "bytes", "s", "bytes/s", "share", "dropped",
                "resyncs", "CPU s", "CPU %");
    for (const Transfer& t : transfers) {
        const double seconds = static_cast<double>(t.toUs - t.fromUs) / 1e6;
        const Sampler::Sample a = sampler.at(t.fromUs), b = sampler.at(t.toUs);
        const double rate = seconds > 0 ? static_cast<double>(t.bytes) / seconds : 0;
        const double cpuSpan = b.cpu - a.cpu;
        const double sampleSpan = static_cast<double>(b.atUs - a.atUs) / 1e6;
        std::printf("%-15s %8lld %8.2f %10.0f %6.1f%% %8lld %8d %8.2f %6.1f%%\n", t.name.c_str(), t.bytes, seconds,
                    rate, 100 * rate / limit, static_cast<long long>(b.dropped - a.dropped), t.resyncs, cpuSpan,
                    sampleSpan > 0 ? 100 * cpuSpan / sampleSpan : 0.0);
        ok = ok && t.resyncs == 0 && t.bad == 0;
    }
    const double wall = static_cast<double>(endUs - startUs) / 1e6;
    const bool intact = sameFile(boot, dir / "received/tarvelboot.dmf") && sameFile(code, dir / "received/tarvel.dmf");
    const std::int64_t dropped = CSerialPort::droppedBytes();
    std::printf("whole run: result %d, files %s, %.1f s, CPU %.2f s (%.1f%% of one core), %lld bytes dropped\n",
                result, intact ? "intact" : "DIFFER", wall, cpu, wall > 0 ? 100 * cpu / wall : 0.0,
                static_cast<long long>(dropped));
    ok = ok && intact && dropped == 0;
    if (ok)
        fs::remove_all(dir);
    else
        std::printf("logs kept in %s\n", dir.c_str());
    return check && !ok ? 1 : 0;
}
