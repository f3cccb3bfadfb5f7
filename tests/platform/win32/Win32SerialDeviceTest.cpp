// The Windows serial port in real time: CSerialPort on Win32SerialDevice against a far end at
// its console prompt ("Tarvel>"), which is tarvel-sim reached through Wine's COM port mapping
// (scripts/test-windows.sh) or a module on a real port. TARVEL_TEST_PORT names the port; the
// cases that need one are skipped without it. Bounds are loose; each case takes < 2 s.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SystemClock.h"
#include "serial/CSerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using platform::LineSettings;

long msSince(Clock::time_point t0)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

const std::string kAccessError = "Unable to gain access to the COM port.";

struct ComPort : ::testing::Test {
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};  // real clock and ports
    CSerialPort port;
    std::string name;

    void SetUp() override
    {
        const char* p = std::getenv("TARVEL_TEST_PORT");
        if (!p || !*p)
            GTEST_SKIP() << "TARVEL_TEST_PORT names no port with a module or tarvel-sim at its prompt";
        name = p;
        ASSERT_TRUE(port.open(name, 38400, 4096, 4096)) << name;
        // Whatever an earlier case or the module's start left on the line.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (port.bytesAvailable() > 0)
            port.readByte(100);
    }
};

TEST_F(ComPort, OpenAppliesTheConsoleLineSettingsAtEitherSpeed)
{
    LineSettings want, dcb;
    want.outxCtsFlow = true;
    for (std::uint32_t baud : {115200u, 38400u}) {
        ASSERT_TRUE(port.open(name, baud, 4096, 4096));
        want.baudRate = baud;
        ASSERT_TRUE(port.getState(dcb));
        want.rtsControl = dcb.rtsControl;  // read back on its own below
        EXPECT_EQ(dcb, want) << baud;
    }
    EXPECT_TRUE(notifier.boxes().empty());
}

// Wine reads RTS handshake back as RTS enabled (while it reports the CTS handshake set with it).
TEST_F(ComPort, RtsHandshakeIsReadBack)
{
    LineSettings dcb;
    EXPECT_TRUE(port.getState(dcb) && dcb.rtsControl == LineSettings::RtsControl::Handshake);
}

TEST_F(ComPort, ThePromptComesAsATextAndByteByByteThenReadByteTimesOut)
{
    ASSERT_TRUE(port.writeText("\r"));
    std::string text;
    auto t0 = Clock::now();
    ASSERT_TRUE(port.readText(text));
    // The read ends 200 ms after the prompt, long before its 12,788 ms total.
    EXPECT_LE(msSince(t0), 2000);
    EXPECT_EQ(CSerialPort::lastLine(text), "Tarvel>");
    ASSERT_TRUE(port.writeByte('\r'));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int waiting = port.bytesAvailable();
    ASSERT_GE(waiting, 7);  // at least "Tarvel>"
    text.clear();
    for (int i = 0, b; i < waiting && (b = port.readByte(500)) >= 0; ++i)
        text += static_cast<char>(b);
    EXPECT_EQ(CSerialPort::lastLine(text), "Tarvel>");
    EXPECT_EQ(port.bytesAvailable(), 0);
    t0 = Clock::now();
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_TRUE(msSince(t0) >= 90 && msSince(t0) <= 1000) << msSince(t0);
    EXPECT_EQ(port.writeErrorCount, 0);
    EXPECT_TRUE(port.confirmPrompt("Tarvel>"));
}

// Windows refuses a second open of a port (it is opened without sharing). Wine does not.
TEST_F(ComPort, SecondOpenIsRefused)
{
    CSerialPort second;
    EXPECT_FALSE(second.open(name, 38400, 4096, 4096));
    EXPECT_EQ(notifier.texts(), std::vector<std::string>{kAccessError});
}

TEST(ComPortNames, EveryNameOpensInItsDeviceFormAndAMissingPortIsRefused)
{
    const std::vector<std::pair<std::string, std::string>> names = {
        {"COM1", "\\\\.\\COM1"}, {"COM10", "\\\\.\\COM10"}, {"\\\\.\\COM12", "\\\\.\\COM12"}};
    platform::SystemClock clock;
    platform::SerialDeviceFactory devices(clock);
    for (const auto& [name, path] : names)
        EXPECT_EQ(devices.devicePath(name), path);
    EXPECT_EQ(devices.open("COM199"), nullptr);
    EXPECT_EQ(devices.openFailure("COM199").rfind("No such port: \\\\.\\COM199 (COM199).", 0), 0u)
        << devices.openFailure("COM199");

    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    CSerialPort port;
    EXPECT_FALSE(port.open("COM199", 38400, 4096, 4096));
    EXPECT_FALSE(port.open("", 38400, 4096, 4096));
    EXPECT_EQ(notifier.texts(), std::vector<std::string>(2, kAccessError));
}

}  // namespace
