// upgrade-cli, the program, on real devices: what it says when the port cannot be opened (no
// such device; held by another process; not permitted to this user) and how a run ends when the
// line hangs up under it (tarvel-sim pulls the cable). Runs the built programs.
#include "platform/PosixSerialDevice.h"
#include "platform/SystemClock.h"
#include "sim/PseudoTerminal.h"
#include "zmodem/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kCli = TARVEL_BINARY_DIR "/cli/upgrade-cli";
const std::string kSim = TARVEL_BINARY_DIR "/sim/tool/tarvel-sim";
const std::string kAccess = "Unable to gain access to the COM port.";

std::string slurp(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The lines that follow "Unable to gain access to the COM port." in a run's diagnostics.
std::string causeAfterAccessMessage(const std::string& err)
{
    const auto at = err.find(kAccess + "\n");
    return at == std::string::npos ? std::string() : err.substr(at + kAccess.size() + 1);
}

class PortTrouble : public ::testing::Test {
protected:
    fs::path dir;
    std::string boot, code;

    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("tarvel-port-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::all);  // an unprivileged child writes its output here
        boot = (dir / "tarvelboot.dmf").string();
        code = (dir / "tarvel.dmf").string();
        std::ofstream(boot, std::ios::binary) << std::string(20'000, '\x5a');
        std::ofstream(code, std::ios::binary) << std::string(30'000, '\xa5');
    }
    void TearDown() override { fs::remove_all(dir); }

    struct Run {
        int code = -1;
        std::string err;
    };
    // upgrade-cli -n -y -o port, optionally behind a command that changes who runs it.
    Run upgrade(const std::string& port, std::vector<std::string> prefix = {})
    {
        prefix.insert(prefix.end(), {kCli, "-n", "-y", "-o", port, "-b", boot, "-c", code});
        zmtest::ChildProcess cli;
        const int none = ::open("/dev/null", O_RDWR);
        EXPECT_TRUE(cli.start(prefix, dir.string(), none, none, (dir / "cli.err").string()));
        Run r;
        r.code = cli.wait(60'000);
        ::close(none);
        r.err = slurp(dir / "cli.err");
        return r;
    }
};

TEST_F(PortTrouble, AMissingDeviceIsNamedWithThePortsThatExist)
{
    const Run r = upgrade("/dev/ttyUSB97");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(causeAfterAccessMessage(r.err).rfind("No such device: /dev/ttyUSB97.\nSerial ports found: ", 0), 0u)
        << r.err;
}

TEST_F(PortTrouble, ABusyDeviceNamesTheProcessThatHoldsIt)
{
    auto pty = sim::PseudoTerminal::open();
    ASSERT_TRUE(pty);
    platform::SystemClock clock;
    auto held = platform::PosixSerialDevice::open(pty->slavePath(), clock);
    ASSERT_TRUE(held);
    const Run r = upgrade(pty->slavePath());
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(causeAfterAccessMessage(r.err).rfind("Busy: " + pty->slavePath() + " is held by ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("(pid " + std::to_string(::getpid()) + ")"), std::string::npos) << r.err;
}

TEST_F(PortTrouble, APermissionDeniedDeviceNamesItsGroupAndTheRemedy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the device away and to run upgrade-cli as nobody";
    const group* dialout = ::getgrnam("dialout");
    if (!dialout || !fs::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "no dialout group or no setpriv";
    const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    struct Case {
        mode_t mode;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {0660,
         {"Permission denied: %s belongs to group dialout (mode 0660), and this user is not in it.",
          "sudo usermod -aG dialout $USER", "next login"}},
        {0600, {"Permission denied: %s (mode 0600) may be opened only by its owner, root;"}},
    };
    for (const auto& c : cases) {
        auto pty = sim::PseudoTerminal::open();
        ASSERT_TRUE(pty);
        const std::string slave = pty->slavePath();
        ASSERT_EQ(::chown(slave.c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(::chmod(slave.c_str(), c.mode), 0);
        const Run r = upgrade(slave, asNobody);
        EXPECT_EQ(r.code, 1) << r.err;
        const std::string cause = causeAfterAccessMessage(r.err);
        for (std::string s : c.says) {
            if (const auto at = s.find("%s"); at != std::string::npos)
                s.replace(at, 2, slave);
            EXPECT_NE(cause.find(s), std::string::npos) << r.err;
        }
    }
}

// The virtual module hangs up the line after a number of bytes from the host: before the
// transfer the console scans end with 3, during the boot transfer the run ends with 7. The
// reaction time is reported, not asserted: only that the run ended, within a generous bound,
// without burning the processor.
TEST_F(PortTrouble, AHungUpLineEndsTheRunWithItsFailureCode)
{
    struct Case {
        long hangupAfterBytes;
        int code;
    };
    for (const Case c : {Case{1, 3}, Case{12'000, 7}}) {
        SCOPED_TRACE(c.hangupAfterBytes);
        const std::string link = (dir / "tty").string();
        const int none = ::open("/dev/null", O_RDWR);
        zmtest::ChildProcess sim;
        ASSERT_TRUE(sim.start({kSim, "--start", "restarting", "--link", link, "--store", (dir / "rx").string(), "--hangup-after-bytes",
                               std::to_string(c.hangupAfterBytes)},
                              dir.string(), none, none, (dir / "sim.err").string()));
        for (int i = 0; i < 500 && !fs::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(fs::exists(link));

        zmtest::ChildProcess cli;
        ASSERT_TRUE(cli.start({kCli, "-n", "-y", "-o", link, "-b", boot, "-c", code}, dir.string(), none, none,
                              (dir / "cli.err").string()));
        const auto t0 = Clock::now();
        Clock::time_point hungUpAt{};
        bool ended = false;
        // The hang-up is looked for before the end: a run may end within one look of it.
        for (;;) {
            if (hungUpAt == Clock::time_point{} && slurp(dir / "sim.err").find("hung up") != std::string::npos)
                hungUpAt = Clock::now();
            if ((ended = cli.finished()) || Clock::now() - t0 > std::chrono::seconds(120))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::close(none);
        ASSERT_TRUE(ended) << "the run did not end: " << slurp(dir / "cli.err");
        ASSERT_NE(hungUpAt, Clock::time_point{}) << slurp(dir / "sim.err");
        const auto afterMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - hungUpAt).count();
        EXPECT_EQ(cli.wait(0), c.code) << slurp(dir / "cli.err");
        EXPECT_LT(afterMs, 60'000);
        EXPECT_LT(cli.cpuSeconds(), 5.0) << "a dead line must not be polled in a busy loop";
        std::printf("hang-up after %ld bytes: code %d, ended %lld ms after the hang-up, %.2f s CPU in all\n",
                    c.hangupAfterBytes, c.code, static_cast<long long>(afterMs), cli.cpuSeconds());
        RecordProperty("ms_after_hangup_" + std::to_string(c.hangupAfterBytes), static_cast<int>(afterMs));
        sim.wait(5'000);
    }
}

}  // namespace
