// Benchmark (run by hand, not a test): the same 3 MB file sent over a pseudo-terminal to
// lrzsz's rz, once by our CZModemSender through CSerialPort and once by lrzsz's sz, with a
// relay in between that counts the bytes on the wire. Prints wall time, the sender's CPU
// time, bytes each way, and payload efficiency (file bytes / bytes sent by the sender).
//   usage: zmodem_vs_sz [megabytes=3]
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SystemClock.h"
#include "serial/CSerialPort.h"
#include "sim/PseudoTerminal.h"
#include "tests/zmodem/support/ChildProcess.h"
#include "tests/zmodem/support/UnpacedDeviceFactory.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <random>
#include <string>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Copies bytes between the sender's pty (master side) and the receiver's pty (slave side),
// counting them.
class Relay {
public:
    Relay(int senderFd, int receiverFd) : a_(senderFd), b_(receiverFd)
    {
        ::fcntl(a_, F_SETFL, ::fcntl(a_, F_GETFL) | O_NONBLOCK);
        ::fcntl(b_, F_SETFL, ::fcntl(b_, F_GETFL) | O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~Relay()
    {
        stop_ = true;
        thread_.join();
    }
    void reset()
    {
        toReceiver = 0;
        toSender = 0;
    }
    std::atomic<long long> toReceiver{0};
    std::atomic<long long> toSender{0};

private:
    struct Pipe {
        std::vector<std::uint8_t> pending;
    };
    bool pump(int from, int to, Pipe& p, std::atomic<long long>& count)
    {
        bool moved = false;
        std::uint8_t buf[65536];
        if (p.pending.size() < sizeof buf) {
            const ssize_t n = ::read(from, buf, sizeof buf);
            if (n > 0) {
                p.pending.insert(p.pending.end(), buf, buf + n);
                count += n;
                moved = true;
            }
        }
        if (!p.pending.empty()) {
            const ssize_t w = ::write(to, p.pending.data(), p.pending.size());
            if (w > 0) {
                p.pending.erase(p.pending.begin(), p.pending.begin() + w);
                moved = true;
            }
        }
        return moved;
    }
    void run()
    {
        Pipe ab, ba;
        while (!stop_) {
            // Both directions are pumped on every round, whatever the first one did.
            const bool movedToReceiver = pump(a_, b_, ab, toReceiver);
            const bool movedToSender = pump(b_, a_, ba, toSender);
            const bool moved = movedToReceiver || movedToSender;
            if (!moved) {
                pollfd p[2] = {{a_, POLLIN, 0}, {b_, POLLIN, 0}};
                ::poll(p, 2, 5);
            }
        }
    }
    int a_, b_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= p.size()) {
        const std::size_t end = p.find(':', start);
        const std::string dir = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

// User + system time of the calling thread (the relay runs on its own thread).
double threadCpuSeconds()
{
    rusage ru{};
    ::getrusage(RUSAGE_THREAD, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Result {
    std::string who;
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    long long wire = 0;
    long long back = 0;
};

bool sameFile(const fs::path& a, const fs::path& b)
{
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb)
        return false;
    return std::vector<char>(std::istreambuf_iterator<char>(fa), {}) ==
           std::vector<char>(std::istreambuf_iterator<char>(fb), {});
}

}  // namespace

int main(int argc, char** argv)
{
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 3.0;
    const auto size = static_cast<std::size_t>(megabytes * 1024 * 1024);
    const std::string rz = findOnPath("rz");
    const std::string sz = findOnPath("sz");
    if (rz.empty()) {
        std::fprintf(stderr, "rz (lrzsz) not found on PATH\n");
        return 2;
    }

    const fs::path base = fs::temp_directory_path() / ("zmodem-bench-" + std::to_string(::getpid()));
    const fs::path source = base / "source";
    fs::create_directories(source);
    {
        std::mt19937 gen(12345);
        std::vector<char> data(size);
        for (auto& c : data)
            c = static_cast<char>(gen() & 0xFF);
        std::ofstream(source / "payload.bin", std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    }

    auto sending = sim::PseudoTerminal::open();
    auto receiving = sim::PseudoTerminal::open();
    if (!sending || !receiving) {
        std::fprintf(stderr, "cannot open pseudo-terminals\n");
        return 2;
    }
    receiving->setMasterBlocking(true);
    Relay relay(sending->masterFd(), receiving->slaveFd());

    auto runOne = [&](const std::string& who, auto&& send) {
        Result r;
        r.who = who;
        const fs::path target = base / ("target-" + who);
        fs::create_directories(target);
        relay.reset();
        zmtest::ChildProcess receiver;
        receiver.start({rz, "-b", "-y", "-q"}, target.string(), receiving->masterFd(), receiving->masterFd(),
                       (base / ("rz-" + who + ".log")).string());
        const auto t0 = std::chrono::steady_clock::now();
        r.cpu = send();
        receiver.wait(60000);
        r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        r.wire = relay.toReceiver;
        r.back = relay.toSender;
        r.ok = sameFile(source / "payload.bin", target / "payload.bin");
        return r;
    };

    std::vector<Result> results;
    results.push_back(runOne("ours", [&] {
        platform::SystemClock clock;
        zmtest::UnpacedDeviceFactory devices(clock);  // rz, not a cable, is on the other side
        platform::RecordingNotifier notifier;
        platform::ScopedPlatform scope({&clock, &devices, &notifier, nullptr});
        RecordingProgress progress;
        CSerialPort port;
        const std::string cwd = fs::current_path().string();
        fs::current_path(source);
        double cpu = 0;
        if (port.open(sending->slavePath(), 115200, 4096, 4096)) {
            CZModemSender sender(&port, &progress);
            const double c0 = threadCpuSeconds();
            sender.sendFile("payload.bin");
            cpu = threadCpuSeconds() - c0;
        }
        fs::current_path(cwd);
        for (const auto& t : notifier.texts())
            std::fprintf(stderr, "ours: %s\n", t.c_str());
        return cpu;
    }));
    if (!sz.empty()) {
        results.push_back(runOne("sz", [&] {
            zmtest::ChildProcess s;
            s.start({sz, "-b", "-q", "payload.bin"}, source.string(), sending->slaveFd(), sending->slaveFd(),
                     (base / "sz.log").string());
            s.wait(60000);
            return s.cpuSeconds();
        }));
    } else {
        std::fprintf(stderr, "sz not found on PATH: only our sender measured\n");
    }

    std::printf("file: %zu bytes (%.1f MB) over a pseudo-terminal pair with a counting relay, receiver rz\n", size,
                megabytes);
    std::printf("%-6s %8s %9s %12s %10s %11s  %s\n", "sender", "wall s", "CPU s", "wire bytes", "back bytes",
                "efficiency", "file intact");
    for (const auto& r : results)
        std::printf("%-6s %8.2f %9.2f %12lld %10lld %10.2f%%  %s\n", r.who.c_str(), r.wall, r.cpu, r.wire, r.back,
                    r.wire ? 100.0 * static_cast<double>(size) / static_cast<double>(r.wire) : 0.0,
                    r.ok ? "yes" : "NO");
    std::error_code ec;
    fs::remove_all(base, ec);
    for (const auto& r : results)
        if (!r.ok)
            return 1;
    return 0;
}
