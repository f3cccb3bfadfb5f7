// The simulated line's time-out semantics: the virtual-time tests of everything above it rely
// on these being those of the real device.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"

#include <gtest/gtest.h>

namespace {

// A peer that says scheduled things and remembers what it heard.
class ScriptedPeer : public sim::ILinePeer {
public:
    void advance(std::int64_t) override {}
    void receive(const std::uint8_t* d, std::size_t n, std::int64_t) override { heard.append(reinterpret_cast<const char*>(d), n); }
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out; }
    std::uint32_t baudRate() const override { return baud; }

    void say(const std::string& s, std::int64_t atUs, std::int64_t usPerByte = 0)
    {
        out.push(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), atUs, usPerByte);
    }
    sim::TimedByteQueue out;
    std::string heard;
    std::uint32_t baud = 0;
};

struct SimLineFixture : ::testing::Test {
    platform::VirtualClock clock;
    ScriptedPeer peer;
    sim::SimLine line{clock, peer};
    sim::SimSerialFactory factory;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
    CSerialPort port;

    void SetUp() override
    {
        factory.add("COM1", line);
        line.setPacing(false);
        ASSERT_TRUE(port.open("COM1", 38400, 4096, 4096));
    }
};

TEST_F(SimLineFixture, SilentReadTextTakesTheWholeTotalTimeout)
{
    std::string text = "stale";
    const auto t0 = clock.nowUs();
    EXPECT_FALSE(port.readText(text, 4096));
    EXPECT_EQ(clock.nowUs() - t0, 12'788'000);
    EXPECT_TRUE(text.empty());
}

TEST_F(SimLineFixture, ReadTextEndsTwoHundredMsAfterTheLastByte)
{
    peer.say(std::string(100, 'a'), 1'000'000, 1000);  // one byte a millisecond from t=1 s
    std::string text;
    EXPECT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, std::string(100, 'a'));
    EXPECT_EQ(clock.nowUs(), 1'000'000 + 100'000 + 200'000);
}

TEST_F(SimLineFixture, GapLongerThanTheIntervalSplitsAReply)
{
    peer.say("Log", 0);
    peer.say("in: ", 250'000);
    std::string first, second;
    EXPECT_TRUE(port.readText(first, 4096));
    EXPECT_EQ(first, "Log");
    EXPECT_TRUE(port.readText(second, 4096));
    EXPECT_EQ(second, "in: ");
}

TEST_F(SimLineFixture, ReadByteTimesOutAndKeepsHighBytesPositive)
{
    const auto t0 = clock.nowUs();
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_EQ(clock.nowUs() - t0, 100'000);
    peer.say("\xff", clock.nowUs());
    EXPECT_EQ(port.readByte(100), 255);
}

TEST_F(SimLineFixture, BytesAvailableCountsOnlyArrivedBytes)
{
    peer.say("abc", clock.nowUs() + 10'000);
    EXPECT_EQ(port.bytesAvailable(), 0);
    clock.sleepMs(10);
    EXPECT_EQ(port.bytesAvailable(), 3);
}

TEST_F(SimLineFixture, SpeedMismatchGarblesBothWays)
{
    peer.baud = 115200;
    port.writeText("AT");
    EXPECT_NE(peer.heard, "AT");
    peer.say("A", clock.nowUs());
    EXPECT_NE(port.readByte(10), 'A');
}

TEST_F(SimLineFixture, SecondOpenOfAHeldLineIsRefused)
{
    CSerialPort other;
    EXPECT_FALSE(other.open("COM1", 38400, 4096, 4096));
    ASSERT_EQ(notifier.texts().size(), 1u);
    EXPECT_EQ(notifier.texts()[0], "Unable to gain access to the COM port.");
    port.close();
    EXPECT_TRUE(other.open("COM1", 38400, 4096, 4096));
}

TEST_F(SimLineFixture, PacedWritesTakeLineTime)
{
    line.setPacing(true);
    const auto t0 = clock.nowUs();
    port.writeText(std::string(384, 'x'));  // 3840 bits at 38,400 bps
    EXPECT_NEAR(static_cast<double>(clock.nowUs() - t0), 100'000.0, 200.0);
}

}  // namespace
