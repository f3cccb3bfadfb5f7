// Benchmark (run by hand, not a test): a whole bench of modules upgraded at once in real time,
// through tarvel-sim --pace --modules N (each module carries the bytes at the line's speed), by
// upgrade-cli as a separate program: by default one fleet command "upgrade-cli -y -n -o P1 ...
// -o PN", with --separate N single-port upgrade-cli processes started together.
// First the same run with one module alone (unless --no-single), for the time of one module.
// Prints per module its result code (the fleet's from its --json summary) and each transfer's file bytes per second as a share of the
// line's payload limit (baud / 10 x 0.967, from tarvel-sim's per-file reports), then the fleet:
// its time against one module's, the CPU time of the upgrade-cli process tree (children
// included, from wait4; tarvel-sim's is not counted) per module as a share of one core, and the
// peaks of the tree's summed resident and proportional memory (sampled from /proc every 100 ms:
// the resident sizes count the shared library pages once per process, the proportional ones
// divide them among the processes).
//   usage: fleet_upgrade [-f] [--modules N] [--boot-kb N] [--code-kb N] [--no-single]
//                        [--separate] [--check] [--sim PATH] [--cli PATH]
//     -f           transfers at 115,200 bps (else 38,400)
//     --modules    modules on the bench (default 8)
//     --boot-kb    boot file size (default 64), --code-kb code file size (default 600)
//     --check      exit status 1 unless every module completed with both files intact and no
//                  resend (for a short run in the test script; never a speed)
#include "bench/BenchFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::sameFile;
using bench::writeRandomFile;

double seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

pid_t spawn(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// A small file of /proc; empty when the process has gone (a stream would throw on that read).
std::string readProc(const std::string& path)
{
    char buffer[4096];
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return {};
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

struct Memory {
    long long rss = 0;  // resident bytes, each process's shared pages counted in each
    long long pss = 0;  // proportional: shared pages divided among the processes that map them
};

// The memory of the given processes and all their descendants, from /proc.
Memory treeMemory(const std::set<pid_t>& roots)
{
    std::map<pid_t, std::vector<pid_t>> children;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return {};
    while (const dirent* e = ::readdir(proc)) {
        const pid_t pid = std::atoi(e->d_name);
        if (pid <= 0)
            continue;
        const std::string text = readProc("/proc/" + std::string(e->d_name) + "/stat");
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &ppid) == 2)
            children[ppid].push_back(pid);
    }
    ::closedir(proc);
    Memory sum;
    std::vector<pid_t> todo(roots.begin(), roots.end());
    while (!todo.empty()) {
        const pid_t p = todo.back();
        todo.pop_back();
        const std::string rollup = readProc("/proc/" + std::to_string(p) + "/smaps_rollup");
        for (const auto& [label, to] : {std::pair{"\nRss:", &sum.rss}, std::pair{"\nPss:", &sum.pss}}) {
            const std::size_t at = rollup.find(label);
            if (at != std::string::npos)
                *to += std::atoll(rollup.c_str() + at + std::strlen(label)) * 1024;
        }
        for (pid_t c : children[p])
            todo.push_back(c);
    }
    return sum;
}

struct Transfer {
    long long bytes = 0;
    long long fromUs = 0;
    long long toUs = 0;
    int resyncs = 0;
    int bad = 0;
};

// tarvel-sim's reports: "tarvel-sim: module K: received NAME: N bytes, data from A to B us,
// R resyncs, C bad subpackets".
std::map<int, std::map<std::string, Transfer>> readTransfers(const fs::path& log)
{
    std::map<int, std::map<std::string, Transfer>> out;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        int module = 0;
        char name[256] = {};
        Transfer t;
        if (std::sscanf(line.c_str(),
                        "tarvel-sim: module %d: received %255[^:]: %lld bytes, data from %lld to %lld us, %d "
                        "resyncs, %d bad",
                        &module, name, &t.bytes, &t.fromUs, &t.toUs, &t.resyncs, &t.bad) == 7)
            out[module][name] = t;
    }
    return out;
}

struct Settings {
    bool fast = false;
    bool separate = false;
    long bootKb = 64;
    long codeKb = 600;
    fs::path sim;
    fs::path cli;
    fs::path boot;
    fs::path code;
};

struct RunResult {
    bool started = false;
    bool ok = false;  // every module: result 0, both files intact, no resend
    double wall = 0;
    double cpu = 0;
    long long peakRss = 0;
    long long peakPss = 0;
    double worstCodeShare = 0;
};

RunResult runBench(const Settings& s, int modules, const fs::path& dir, bool print)
{
    RunResult r;
    fs::create_directories(dir);
    const double limit = (s.fast ? 115200 : 38400) / 10.0 * 0.967;
    const fs::path tty = dir / "tty", simLog = dir / "sim.log";
    const pid_t sim = spawn({s.sim.string(), "--pace", "--modules", std::to_string(modules), "--link", tty.string(),
                             "--store", (dir / "received").string()},
                            dir / "sim.out", simLog);
    for (int i = 0; i < 200 && !fs::is_symlink(tty.string() + std::to_string(modules)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!fs::is_symlink(tty.string() + std::to_string(modules))) {
        std::fprintf(stderr, "fleet_upgrade: %s made no links\n", s.sim.c_str());
        ::kill(sim, SIGKILL);
        ::waitpid(sim, nullptr, 0);
        return r;
    }

    std::vector<std::string> common{s.cli.string(), "-y", "-n"};
    if (s.fast)
        common.push_back("-f");
    std::vector<std::vector<std::string>> commands;
    for (int k = 1; k <= modules; ++k) {
        if (s.separate || k == 1)
            commands.push_back(common);
        commands.back().push_back("-o");
        commands.back().push_back(tty.string() + std::to_string(k));
    }
    const fs::path json = dir / "fleet.json";
    for (auto& c : commands) {
        c.insert(c.end(), {"-b", s.boot.string(), "-c", s.code.string()});
        if (!s.separate && modules > 1)
            c.insert(c.end(), {"--json", json.string()});
    }

    const double start = seconds();
    std::set<pid_t> running;
    std::map<pid_t, std::size_t> index;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        const pid_t p = spawn(commands[i], dir / ("cli-" + n + ".out"), dir / ("cli-" + n + ".err"));
        running.insert(p);
        index[p] = i;
    }
    std::vector<int> exits(commands.size(), -1);
    while (!running.empty()) {
        const Memory m = treeMemory(running);
        r.peakRss = std::max(r.peakRss, m.rss);
        r.peakPss = std::max(r.peakPss, m.pss);
        int status = 0;
        rusage ru{};
        const pid_t p = ::wait4(-1, &status, WNOHANG, &ru);
        if (p > 0 && running.count(p)) {
            running.erase(p);
            exits[index[p]] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            r.cpu += static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    r.wall = seconds() - start;
    // The module reports a file within a tenth of a second of its end.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    r.started = true;

    const auto transfers = readTransfers(simLog);
    r.ok = true;
    r.worstCodeShare = 1e9;
    if (print)
        std::printf("%-7s %6s %12s %12s %8s %7s\n", "module", "result", "boot share", "code share", "resyncs",
                    "files");
    // The fleet command's per-port result codes, from its --json summary.
    std::string summary;
    if (!s.separate && modules > 1) {
        std::ifstream in(json);
        summary.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto portResult = [&](int k) {
        const std::size_t at = summary.find("\"port\": \"" + tty.string() + std::to_string(k) + "\"");
        const std::size_t result = at == std::string::npos ? at : summary.find("\"result\": ", at);
        return result == std::string::npos ? -1 : std::atoi(summary.c_str() + result + 10);
    };
    for (int k = 1; k <= modules; ++k) {
        const int exit = s.separate || modules == 1 ? exits[static_cast<std::size_t>(s.separate ? k - 1 : 0)]
                                                    : portResult(k);
        const auto found = transfers.find(k);
        const fs::path received = dir / "received" / std::to_string(k);
        const bool intact =
            sameFile(s.boot, received / "tarvelboot.dmf") && sameFile(s.code, received / "tarvel.dmf");
        double shares[2] = {0, 0};
        int resyncs = 0;
        bool both = found != transfers.end();
        const char* names[2] = {"tarvelboot.dmf", "tarvel.dmf"};
        for (int f = 0; f < 2 && both; ++f) {
            const auto t = found->second.find(names[f]);
            if (t == found->second.end()) {
                both = false;
                break;
            }
            const double span = static_cast<double>(t->second.toUs - t->second.fromUs) / 1e6;
            shares[f] = span > 0 ? static_cast<double>(t->second.bytes) / span / limit : 0;
            resyncs += t->second.resyncs + t->second.bad;
        }
        r.worstCodeShare = std::min(r.worstCodeShare, shares[1]);
        r.ok = r.ok && exit == 0 && both && intact && resyncs == 0;
        if (print)
            std::printf("%-7d %6d %11.1f%% %11.1f%% %8d %7s\n", k, exit, 100 * shares[0], 100 * shares[1], resyncs,
                        intact ? "intact" : "DIFFER");
    }
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    Settings s;
    int modules = 8;
    bool single = true;
    bool check = false;
    const fs::path build = fs::canonical("/proc/self/exe").parent_path().parent_path();
    s.sim = build / "sim/tool/tarvel-sim";
    s.cli = build / "cli/upgrade-cli";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-f")
            s.fast = true;
        else if (a == "--separate")
            s.separate = true;
        else if (a == "--no-single")
            single = false;
        else if (a == "--check")
            check = true;
        else if (a == "--modules" && i + 1 < argc)
            modules = std::atoi(argv[++i]);
        else if (a == "--boot-kb" && i + 1 < argc)
            s.bootKb = std::atol(argv[++i]);
        else if (a == "--code-kb" && i + 1 < argc)
            s.codeKb = std::atol(argv[++i]);
        else if (a == "--sim" && i + 1 < argc)
            s.sim = argv[++i];
        else if (a == "--cli" && i + 1 < argc)
            s.cli = argv[++i];
        else {
            std::fprintf(stderr, "usage: fleet_upgrade [-f] [--modules N] [--boot-kb N] [--code-kb N] [--no-single] "
                                 "[--separate] [--check] [--sim PATH] [--cli PATH]\n");
            return 64;
        }
    }
    if (modules < 1)
        modules = 1;
    const std::uint32_t baud = s.fast ? 115200 : 38400;
    const fs::path dir = fs::temp_directory_path() / ("fleet_upgrade-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    s.boot = dir / "tarvelboot.dmf";
    s.code = dir / "tarvel.dmf";
    writeRandomFile(s.boot, static_cast<std::size_t>(s.bootKb) * 1024, 1);
    writeRandomFile(s.code, static_cast<std::size_t>(s.codeKb) * 1024, 2);

    std::printf("fleet upgrade at %u bps: %d modules, boot %ld KB, code %ld KB; payload limit %.0f bytes/s; %s\n",
                baud, modules, s.bootKb, s.codeKb, baud / 10.0 * 0.967,
                s.separate ? "one upgrade-cli per module" : "one fleet upgrade-cli");
    std::fflush(stdout);
    RunResult one;
    if (single) {
        one = runBench(s, 1, dir / "single", false);
        std::printf("one module alone: %.1f s, code share %.1f%%, %s\n", one.wall, 100 * one.worstCodeShare,
                    one.ok ? "ok" : "FAILED");
        std::fflush(stdout);
    }
    const RunResult fleet = runBench(s, modules, dir / "fleet", true);
    const double perModule = fleet.wall > 0 ? 100 * fleet.cpu / fleet.wall / modules : 0;
    const double cpuTarget = s.fast ? 2.0 : 1.0;
    const double over = single && one.wall > 0 ? 100 * (fleet.wall / one.wall - 1) : 0;
    auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    std::printf("fleet: %s, %.1f s", fleet.ok ? "every module upgraded, files intact, no resend" : "FAILED",
                fleet.wall);
    if (single)
        std::printf(" against %.1f s for one module (%+.1f%%; target within 5%%: %s)", one.wall, over,
                    verdict(over <= 5));
    std::printf("\n  lowest code share %.1f%% (target >= 99%%: %s)\n", 100 * fleet.worstCodeShare,
                verdict(fleet.worstCodeShare >= 0.99));
    std::printf("  upgrade-cli CPU %.2f s, %.2f%% of one core per module (target <= %.0f%%: %s)\n", fleet.cpu,
                perModule, cpuTarget, verdict(perModule <= cpuTarget));
    std::printf("  peak memory %.1f MB as the sum of resident sizes (target < 100 MB: %s), %.1f MB proportional\n"
                "  (shared pages divided among the processes that map them)\n",
                static_cast<double>(fleet.peakRss) / 1048576.0, verdict(fleet.peakRss < 100LL * 1048576),
                static_cast<double>(fleet.peakPss) / 1048576.0);
    const bool ok = fleet.ok && (!single || one.ok);
    if (ok)
        fs::remove_all(dir);
    else
        std::printf("logs kept in %s\n", dir.c_str());
    return check && !ok ? 1 : 0;
}
