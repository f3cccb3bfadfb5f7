// Interoperability with a ZModem receiver written by nobody here: lrzsz's rz on a
// pseudo-terminal, our sender on the other end through CSerialPort with the real platform
// services. rz runs in an empty folder of its own; the sender runs in the source folder and
// names the file by a relative path (rz refuses absolute ones). Real time, with a hard limit
// on every rz run.
#include "support/ChildProcess.h"
#include "support/UnpacedDeviceFactory.h"
#include "support/ZModemTestSupport.h"

#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SystemClock.h"
#include "serial/CSerialPort.h"
#include "sim/PseudoTerminal.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

std::string readText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class CwdGuard {
public:
    explicit CwdGuard(const std::string& dir)
    {
        char buf[4096];
        old_ = ::getcwd(buf, sizeof buf) ? buf : "/";
        ok_ = ::chdir(dir.c_str()) == 0;
    }
    ~CwdGuard() { (void)!::chdir(old_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string old_;
    bool ok_ = false;
};

// Sends content as <name> to a fresh rz (limitMs bounds the whole run) and expects it to arrive
// byte for byte, with no message box and a clean exit of rz; rz's log must mention logMentions.
void expectRzReceives(const std::string& name, const std::vector<std::uint8_t>& content,
                      const std::vector<std::string>& rzOptions, int limitMs, const std::string& logMentions)
{
    zmtest::TempDir source, target, logs;
    source.write(name, content);
    std::string error;
    auto pty = sim::PseudoTerminal::open(&error);
    ASSERT_TRUE(pty) << error;
    pty->setMasterBlocking(true);

    std::vector<std::string> argv{TARVEL_RZ_PATH, "-b", "-y"};
    argv.insert(argv.end(), rzOptions.begin(), rzOptions.end());
    zmtest::ChildProcess rz;
    const std::string log = logs.path() + "/rz.log";
    ASSERT_TRUE(rz.start(argv, target.path(), pty->masterFd(), pty->masterFd(), log));

    platform::SystemClock clock;
    zmtest::UnpacedDeviceFactory devices(clock);  // rz, not a cable, is on the other side
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope({&clock, &devices, &notifier, nullptr});
    RecordingProgress progress;

    // The watchdog ends a run that hangs: without rz the sender's reads time out.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return done; }))
            rz.kill();
    });
    int sendResult = -99;
    {
        CwdGuard cwd(source.path());
        EXPECT_TRUE(cwd.ok());
        CSerialPort port;
        if (port.open(pty->slavePath(), 38400, 4096, 4096))
            sendResult = CZModemSender(&port, &progress).sendFile(name);
        else
            ADD_FAILURE() << "cannot open " << pty->slavePath();
    }
    const int rzExit = rz.wait(5000);
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_one();
    watchdog.join();

    const std::string rzLog = readText(log);
    EXPECT_EQ(sendResult, 0) << rzLog;
    EXPECT_EQ(notifier.texts(), std::vector<std::string>{});
    EXPECT_EQ(rzExit, 0) << rzLog;
    EXPECT_FALSE(rz.killed());
    std::ifstream f(target.path() + "/" + name, std::ios::binary);
    ASSERT_TRUE(f) << rzLog;
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(f), {}};
    EXPECT_EQ(data.size(), content.size());
    EXPECT_TRUE(data == content) << "received file differs";
    EXPECT_NE(rzLog.find(logMentions), std::string::npos) << rzLog;
}

std::vector<std::uint8_t> specialBytes()
{
    std::vector<std::uint8_t> content;
    for (int i = 0; i < 256; ++i)
        content.push_back(static_cast<std::uint8_t>(i));
    for (int b : {0x18, 0x11, 0x13, 0x10, 0x7F, 0xFF, 0x90, 0x91, 0x93, 0x0D, 0x8D})
        content.insert(content.end(), 1500, static_cast<std::uint8_t>(b));
    for (int i = 0; i < 1000; ++i) {
        content.push_back('@');
        content.push_back('\r');
    }
    for (int i = 0; i < 256; ++i)
        content.push_back(static_cast<std::uint8_t>(255 - i));
    return content;
}

TEST(RzInteropTest, FilesArriveByteForByte)
{
    const std::string rz = TARVEL_RZ_PATH;
    ASSERT_FALSE(rz.empty()) << "rz (lrzsz) was not found when the build was configured; "
                                "install lrzsz (scripts/test.sh does) and configure again";
    ASSERT_EQ(::access(rz.c_str(), X_OK), 0) << rz << " is not executable";
    struct Case {
        std::string what, name;
        std::vector<std::uint8_t> content;
        std::vector<std::string> rzOptions;
        int limitMs;
        std::string rzLogMentions;
    };
    std::vector<Case> cases;
    for (std::size_t n : {0u, 1u, 1023u, 1024u, 1025u})
        cases.push_back({"edge size " + std::to_string(n), "edge.bin",
                         zmtest::patternBytes(n, static_cast<std::uint32_t>(n) + 3), {}, 20000, ""});
    cases.push_back({"every byte value and runs of escaped bytes", "bytes.dmf", specialBytes(), {}, 20000, ""});
    cases.push_back({"3 MB", "big.dmf", zmtest::patternBytes(3 * 1024 * 1024, 42), {}, 30000, ""});
    // rz damages what it receives and says so when it asks for a resend: resynchronisation.
    cases.push_back({"receiver CRC errors", "noisy.dmf", zmtest::patternBytes(300 * 1024, 9),
                     {"--errors", "30000", "-vv"}, 20000, "CRC"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectRzReceives(c.name, c.content, c.rzOptions, c.limitMs, c.rzLogMentions);
    }
}

}  // namespace
