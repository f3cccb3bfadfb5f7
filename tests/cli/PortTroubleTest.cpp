// upgrade-cli on real devices: the port list on a fabricated device tree; what the program says
// when the port cannot be opened (no such device, held by another process, not permitted to this
// user); how a run ends when the line hangs up under it (tarvel-sim pulls the cable).
#include "cli/PortList.h"
#include "platform/PosixSerialDevice.h"
#include "platform/SystemClock.h"
#include "sim/PseudoTerminal.h"
#include "support/FakeDeviceTree.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "zmodem/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kCli = TARVEL_BINARY_DIR "/cli/upgrade-cli";
const std::string kSim = TARVEL_BINARY_DIR "/sim/tool/tarvel-sim";
const std::string kAccess = "Unable to gain access to the COM port.\n";

TEST(PortList, EveryPortOnceWithItsComNameAndADeviceNamedByTheEnvironment)
{
    test::FakeDeviceTree tree;
    test::ScopedEnv com1("UPGRADE_COM1", nullptr), com2("UPGRADE_COM2", "/dev/pts/9");
    platform::SystemClock clock;
    const platform::SerialDeviceFactory devices(clock, tree.root());
    EXPECT_EQ(portListText(devices), std::string(test::FakeDeviceTree::kById) +
                                         "  (COM1)\n"
                                         "    device      /dev/ttyUSB0\n"
                                         "    usb         0403:6001  FTDI  FT232R USB UART\n"
                                         "    driver      ftdi_sio\n"
                                         "    can open    yes\n"
                                         "/dev/ttyS0\n"
                                         "    device      /dev/ttyS0\n"
                                         "    driver      serial\n"
                                         "    can open    yes\n"
                                         "/dev/pts/9  (COM2, from UPGRADE_COM2)\n"
                                         "    device      missing\n"
                                         "Built-in port names without a UART behind them (not used): ttyS1\n");
    // Control bytes of a fabricated descriptor and by-id name are shown, not obeyed.
    tree.usbAdapter("ttyUSB1", "1-5", "0403", "6015", "Evil\x1b[2J", "\x1b]0;pwned\x07", "ftdi_sio",
                    "/dev/serial/by-id/usb-\x1b[31m");
    const std::string text = portListText(devices);
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_NE(text.find("/dev/serial/by-id/usb-\\x1b[31m  (COM1)\n    device      /dev/ttyUSB1\n"
                        "    usb         0403:6015  Evil\\x1b[2J  \\x1b]0;pwned\\x07\n"), std::string::npos) << text;
}

class PortTrouble : public ::testing::Test {
protected:
    test::TempDir dir{"port"};
    const std::string boot = dir.put("tarvelboot.dmf", std::string(20'000, '\x5a'));
    const std::string code = dir.put("tarvel.dmf", std::string(30'000, '\xa5'));
    const int none = ::open("/dev/null", O_RDWR);

    void SetUp() override { std::filesystem::permissions(dir.path(), std::filesystem::perms::all); }
    void TearDown() override { ::close(none); }
    // upgrade-cli -n -y -o port, optionally behind a command that changes who runs it; what it
    // said after the access message.
    std::pair<int, std::string> upgrade(const std::string& port, std::vector<std::string> prefix = {})
    {
        prefix.insert(prefix.end(), {kCli, "-n", "-y", "-o", port, "-b", boot, "-c", code});
        zmtest::ChildProcess cli;
        EXPECT_TRUE(cli.start(prefix, dir.path().string(), none, none, dir.file("cli.err")));
        const int status = cli.wait(60'000);
        const std::string err = dir.read("cli.err");
        const std::string named = std::filesystem::exists(port) ? "using " + port + ".\n" : port + ": no such serial port found.\n";
        EXPECT_EQ(err.rfind("upgrade-cli: " + named, 0), 0u) << err;  // named as started
        const auto at = err.find(kAccess);
        return {status, at == std::string::npos ? err : err.substr(at + kAccess.size())};
    }
};

TEST_F(PortTrouble, AnUnopenablePortIsExplained)
{
    auto pty = sim::PseudoTerminal::open();
    ASSERT_TRUE(pty);
    const std::string slave = pty->slavePath();
    platform::SystemClock clock;
    {
        auto held = platform::PosixSerialDevice::open(slave, clock);
        ASSERT_TRUE(held);
        const auto [status, cause] = upgrade(slave);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(cause.rfind("Busy: " + slave + " is held by ", 0), 0u) << cause;
        EXPECT_NE(cause.find("(pid " + std::to_string(::getpid()) + ")"), std::string::npos) << cause;
    }
    const auto [status, cause] = upgrade("/dev/ttyUSB97");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(cause.rfind("No such device: /dev/ttyUSB97.\nSerial ports found: ", 0), 0u) << cause;

    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || !dialout || !std::filesystem::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "needs root, a dialout group and setpriv to run upgrade-cli as nobody";
    const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    ASSERT_EQ(::chown(slave.c_str(), 0, dialout->gr_gid), 0);
    for (const auto& [mode, says] :
         {std::pair<mode_t, std::string>{0660, "Permission denied: " + slave +
                                                   " belongs to group dialout (mode 0660), and this user is not in it."},
          {0600, "Permission denied: " + slave + " (mode 0600) may be opened only by its owner, root;"}}) {
        ASSERT_EQ(::chmod(slave.c_str(), mode), 0);
        const auto [denied, why] = upgrade(slave, asNobody);
        EXPECT_EQ(denied, 1);
        EXPECT_EQ(why.rfind(says, 0), 0u) << why;
    }
    // A member of the device's group by the group file, whose session has another group only.
    std::string user, listedIn;
    gid_t gid = 0;
    ::setgrent();
    for (const group* g; user.empty() && (g = ::getgrent());)
        if (g->gr_mem[0] && ::getpwnam(g->gr_mem[0]) && g->gr_gid != 65534)
            user = g->gr_mem[0], listedIn = g->gr_name, gid = g->gr_gid;
    ::endgrent();
    if (user.empty())
        GTEST_SKIP() << "no group of this system lists a member";
    ASSERT_EQ(::chown(slave.c_str(), 0, gid), 0);
    ASSERT_EQ(::chmod(slave.c_str(), 0660), 0);
    const auto [denied, why] = upgrade(slave, {"/usr/bin/setpriv", "--reuid=" + user, "--regid=65534", "--groups=65534"});
    EXPECT_EQ(denied, 1);
    EXPECT_EQ(why.rfind("Permission denied: " + slave + " belongs to group " + listedIn + " (mode 0660). User " + user +
                            " is in " + listedIn + " already, but this login session started before that.", 0),
              0u) << why;
}

// The virtual module hangs up the line at the host's first byte: the console scans end the run
// with 3, soon and without burning the processor (a line cut during a transfer ends the worker's
// run with 7 on virtual time: tests/upgrade).
TEST_F(PortTrouble, AHungUpLineEndsTheRunWithItsFailureCode)
{
    const std::string link = dir.file("tty");
    zmtest::ChildProcess sim, cli;
    ASSERT_TRUE(sim.start({kSim, "--start", "restarting", "--link", link, "--store", dir.file("rx"),
                           "--hangup-after-bytes", "1"},
                          dir.path().string(), none, none, dir.file("sim.err")));
    for (int i = 0; i < 500 && !std::filesystem::exists(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(cli.start({kCli, "-n", "-y", "-o", link, "-b", boot, "-c", code}, dir.path().string(), none, none,
                          dir.file("cli.err")));
    for (const auto t0 = Clock::now(); !cli.finished() && Clock::now() - t0 < std::chrono::seconds(20);)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(cli.finished()) << "the run did not end: " << dir.read("cli.err");
    EXPECT_NE(dir.read("sim.err").find("hung up"), std::string::npos);
    EXPECT_EQ(cli.wait(0), 3) << dir.read("cli.err");
    EXPECT_LT(cli.cpuSeconds(), 2.0) << "a dead line must not be polled in a busy loop";
    sim.wait(5'000);
}

}  // namespace
