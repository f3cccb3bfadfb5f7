// Interoperability with a ZModem receiver written by nobody here: lrzsz's rz on a
// pseudo-terminal, our sender on the other end through CSerialPort with the real platform
// services. rz runs in an empty folder of its own; the sender runs in the source folder and
// names the file by a relative path (rz refuses absolute ones). Real time; rz is killed when it
// outlives the sender by five seconds.
#include "support/ChildProcess.h"
#include "support/UnpacedDeviceFactory.h"
#include "support/ZModemTestSupport.h"

#include "platform/SystemClock.h"
#include "sim/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>
#include <unistd.h>

namespace {

TEST(RzInteropTest, FilesArriveByteForByte)
{
    ASSERT_EQ(::access(TARVEL_RZ_PATH, X_OK), 0) << "rz (lrzsz) was not found when the build was configured; "
                                                    "install lrzsz (scripts/install-deps.sh does) and configure again";
    // The file, its content, rz's further options, and what rz's log must mention.
    const std::tuple<std::string, std::vector<std::uint8_t>, std::vector<std::string>, std::string> cases[] = {
        {"empty.bin", {}, {}, ""},
        {"edge.bin", zmtest::patternBytes(1025, 3), {}, ""},
        // Every byte value, escaped or not, many times over. rz damages what it receives and says
        // so when it asks for a resend: resynchronisation.
        {"noisy.dmf", zmtest::patternBytes(300 * 1024, 9), {"--errors", "30000", "-vv"}, "CRC"},
    };
    for (const auto& [name, content, rzOptions, rzLogMentions] : cases) {
        SCOPED_TRACE(name);
        test::TempDir source{"rz-source"}, target{"rz-target"}, logs{"rz-log"};
        source.put(name, std::string(content.begin(), content.end()));
        std::string error;
        auto pty = sim::PseudoTerminal::open(&error);
        ASSERT_TRUE(pty) << error;
        pty->setMasterBlocking(true);
        std::vector<std::string> argv{TARVEL_RZ_PATH, "-b", "-y"};
        argv.insert(argv.end(), rzOptions.begin(), rzOptions.end());
        zmtest::ChildProcess rz;
        ASSERT_TRUE(rz.start(argv, target.path().string(), pty->masterFd(), pty->masterFd(), logs.file("rz.log")));

        platform::SystemClock clock;
        zmtest::UnpacedDeviceFactory devices(clock);  // rz, not a cable, is on the other side
        platform::RecordingNotifier notifier;
        platform::ScopedPlatform scope({&clock, &devices, &notifier, nullptr});
        RecordingProgress progress;
        char cwd[4096];
        ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
        ASSERT_EQ(::chdir(source.path().c_str()), 0);
        CSerialPort port;
        const int sent = port.open(pty->slavePath(), 38400, 4096, 4096)
                             ? CZModemSender(&port, &progress).sendFile(name)
                             : -99;
        port.close();
        EXPECT_EQ(::chdir(cwd), 0);
        const int rzExit = rz.wait(5000);

        const std::string rzLog = logs.read("rz.log");
        EXPECT_EQ(sent, 0) << rzLog;
        EXPECT_EQ(notifier.texts(), std::vector<std::string>{});
        EXPECT_EQ(rzExit, 0) << rzLog;
        const std::string received = target.read(name);
        EXPECT_TRUE(std::ifstream(target.file(name)).good()) << rzLog;
        EXPECT_TRUE(received == std::string(content.begin(), content.end())) << received.size() << " bytes";
        EXPECT_NE(rzLog.find(rzLogMentions), std::string::npos) << rzLog;
    }
}

}  // namespace
