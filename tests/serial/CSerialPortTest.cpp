// CSerialPort: the time-outs each transfer installs, the open sequence and its messages, the
// write-error count, and the console line helpers, on a recording device and on the simulated
// line under virtual time (whose time-out semantics the virtual-time tests of everything above
// rely on being those of the real device).
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::LineSettings;

namespace {

// ---- a device that records every call -------------------------------------------------------

struct DeviceScript {
    std::vector<std::string> log;
    LineSettings found;
    LineSettings applied;
    bool failSetTimeouts = false;
    bool failWrite = false;
    bool takeNothing = false;  // writes succeed but take no byte (time-out)
    bool failClear = false;
    std::uint32_t inQueue = 7;
};

class RecordingDevice final : public platform::ISerialDevice {
public:
    explicit RecordingDevice(DeviceScript& s) : s_(s) {}
    bool getState(LineSettings& out) override { return note("getState"), out = s_.found, true; }
    bool setState(const LineSettings& settings) override { return note("setState"), s_.applied = settings, true; }
    bool setupQueues(std::uint32_t in, std::uint32_t out) override
    {
        return note("setupQueues " + std::to_string(in) + " " + std::to_string(out)), true;
    }
    bool setTimeouts(const platform::SerialTimeouts& t) override
    {
        std::string call = "timeouts";
        for (auto v : {t.readInterval, t.readTotalMultiplier, t.readTotalConstant, t.writeTotalMultiplier,
                       t.writeTotalConstant})
            call += " " + std::to_string(v);
        return note(call), !s_.failSetTimeouts;
    }
    bool read(std::uint8_t*, std::size_t size, std::size_t& received) override
    {
        return received = 0, note("read " + std::to_string(size)), true;
    }
    bool write(const std::uint8_t*, std::size_t size, std::size_t& written) override
    {
        written = s_.takeNothing ? 0 : size;
        return note("write " + std::to_string(size)), !s_.failWrite;
    }
    bool clearError(std::uint32_t* inQueue) override
    {
        if (inQueue)
            *inQueue = s_.inQueue;
        return note("clearError"), !s_.failClear;
    }

private:
    void note(const std::string& call) { s_.log.push_back(call); }
    DeviceScript& s_;
};

struct RecordingFactory final : platform::ISerialDeviceFactory {
    DeviceScript script;
    std::unique_ptr<platform::ISerialDevice> open(const std::string&) override
    {
        return std::make_unique<RecordingDevice>(script);
    }
};

struct RecordedPort : ::testing::Test {
    platform::VirtualClock clock;
    RecordingFactory factory;
    DeviceScript& dev = factory.script;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
    CSerialPort port;

    void SetUp() override
    {
        ASSERT_TRUE(port.open("COM1", 38400, 4096, 4096));
        dev.log.clear();
    }
};

TEST_F(RecordedPort, OpenSetsQueuesBeforeTheConsoleLineSettings)
{
    dev.found = {9600, 7, LineSettings::Parity::Odd, 2, false, true, LineSettings::DtrControl::Disable,
                 LineSettings::RtsControl::Disable, true, true};
    ASSERT_TRUE(port.open("COM2", 115200, 4096, 2048));
    const std::vector<std::string> calls = {"getState", "setupQueues 4096 2048", "setState", "clearError"};
    EXPECT_EQ(dev.log, calls);
    const LineSettings console{115200, 8, LineSettings::Parity::None, 1, true, false,
                               LineSettings::DtrControl::Enable, LineSettings::RtsControl::Handshake,
                               false, false};
    EXPECT_EQ(dev.applied, console);
    EXPECT_TRUE(notifier.boxes().empty());
}

TEST_F(RecordedPort, EveryTransferInstallsItsOwnTimeoutsFirst)
{
    std::string text;
    port.writeText("AT{Z}\r");
    port.readText(text);
    port.writeByte(0x2A);
    port.readByte(250);
    port.readByte(0);  // never all zero: that would wait for ever
    const std::vector<std::string> calls = {
        "timeouts 0 0 0 10 10",  "write 6",
        "timeouts 200 3 500 0 0", "read 4096",
        "timeouts 0 0 0 10 50",  "write 1",
        "timeouts 0 250 0 0 0",  "read 1",
        "timeouts 0 1 0 0 0",    "read 1",
    };
    EXPECT_EQ(dev.log, calls);
}

TEST_F(RecordedPort, TransfersStopWhenTheTimeoutsCannotBeInstalled)
{
    dev.failSetTimeouts = true;
    std::string text = "stale";
    EXPECT_FALSE(port.writeText("x"));
    EXPECT_FALSE(port.readText(text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_FALSE(port.writeByte('x'));
    EXPECT_EQ(port.writeErrorCount, 1);
    for (const auto& call : dev.log)
        EXPECT_EQ(call.rfind("timeouts", 0), 0u) << call;
}

TEST_F(RecordedPort, MoreThanThreeHundredWriteFailuresReportMinusTwoOnce)
{
    dev.failWrite = true;
    for (int i = 0; i < 300; ++i)
        port.writeByte(i);
    EXPECT_EQ(port.writeErrorCount, 300);
    EXPECT_EQ(port.bytesAvailable(), 7);
    EXPECT_EQ(port.writeErrorCount, 300);

    EXPECT_FALSE(port.writeByte(0));
    dev.log.clear();
    EXPECT_EQ(port.bytesAvailable(), -2);
    EXPECT_TRUE(dev.log.empty()) << "the -2 report must not touch the port";
    EXPECT_EQ(port.writeErrorCount, 0);
    EXPECT_EQ(port.bytesAvailable(), 7);

    // A success neither resets nor counts; a byte the driver did not take counts as lost.
    port.writeByte(1);
    port.writeByte(2);
    dev.failWrite = false;
    EXPECT_TRUE(port.writeByte(3));
    EXPECT_EQ(port.writeErrorCount, 2);
    dev.takeNothing = true;
    EXPECT_FALSE(port.writeByte(4));
    EXPECT_EQ(port.writeErrorCount, 3);
    // writeText does not compare the count written with the length.
    EXPECT_TRUE(port.writeText("abc"));

    dev.failClear = true;
    EXPECT_EQ(port.bytesAvailable(), 0);
}

// ---- the simulated line ---------------------------------------------------------------------

// Says scheduled things, answers a carriage return with a fixed reply, remembers what it heard.
class ScriptedPeer : public sim::ILinePeer {
public:
    void advance(std::int64_t) override {}
    void receive(const std::uint8_t* d, std::size_t n, std::int64_t nowUs) override
    {
        const std::string got(reinterpret_cast<const char*>(d), n);
        heard += got;
        if (!replyToCr.empty() && got.find('\r') != std::string::npos)
            say(replyToCr, nowUs + 10'000);
    }
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out; }
    std::uint32_t baudRate() const override { return baud; }

    void say(const std::string& s, std::int64_t atUs, std::int64_t usPerByte = 0)
    {
        out.push(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), atUs, usPerByte);
    }
    sim::TimedByteQueue out;
    std::string heard, replyToCr;
    std::uint32_t baud = 0;
};

struct SimPort : ::testing::Test {
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
        line.setPacing(false);  // the exact byte times are checked by the dialogue tests
        ASSERT_TRUE(port.open("COM1", 38400, 4096, 4096));
    }
    std::int64_t ms() const { return const_cast<platform::VirtualClock&>(clock).nowUs() / 1000; }
};

TEST_F(SimPort, OpenFailuresShowTheirMessageInOrder)
{
    port.close();
    struct Case {
        sim::LineFaults faults;
        std::vector<std::string> boxes;
    };
    sim::LineFaults open, state, queues, setState, both;
    open.failOpen = true;
    state.failGetState = true;
    queues.failSetupQueues = true;
    setState.failSetState = true;
    both.failSetupQueues = both.failSetState = true;
    const Case cases[] = {
        {open, {"Unable to gain access to the COM port."}},
        {state, {}},
        {queues, {"Failed to allocate COM port buffers."}},
        {setState, {"Failed to set COM port state."}},
        {both, {"Failed to allocate COM port buffers."}},
    };
    for (const auto& c : cases) {
        line.setFaults(c.faults);
        notifier.clear();
        line.clearRecords();
        EXPECT_FALSE(port.open("COM1", 38400, 4096, 4096));
        EXPECT_EQ(notifier.texts(), c.boxes);
        for (const auto& box : notifier.boxes())
            EXPECT_EQ(box.type, platform::MB_OK);
        EXPECT_TRUE(line.openSpeeds().empty()) << "no line settings may be applied after a failure";
        port.close();
    }
    // A port whose set-up failed is still held until it is closed.
    line.setFaults(setState);
    EXPECT_FALSE(port.open("COM1", 38400, 4096, 4096));
    line.setFaults({});
    CSerialPort other;
    EXPECT_FALSE(other.open("COM1", 38400, 4096, 4096));
    port.close();
    EXPECT_TRUE(other.open("COM1", 38400, 4096, 4096));
}

TEST_F(SimPort, WriteBudgetsOnAStalledLine)
{
    sim::LineFaults f;
    f.stallWrites = true;
    line.setFaults(f);
    EXPECT_TRUE(port.writeText(std::string(100, 'x')));
    EXPECT_EQ(ms(), 100 * 10 + 10);
    EXPECT_FALSE(port.writeByte('x'));
    EXPECT_EQ(ms(), 1010 + 60);
    EXPECT_EQ(port.writeErrorCount, 1);
}

TEST_F(SimPort, ReadTextTotalLimitBeatsTheIntervalAndScalesWithSize)
{
    std::string text = "stale";
    EXPECT_FALSE(port.readText(text, 10));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(ms(), 3 * 10 + 500);

    peer.say("x", (530 + 12'700) * 1000);
    EXPECT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, "x");
    EXPECT_EQ(ms(), 530 + 12'788);
}

TEST_F(SimPort, ReadTextStopsAtAZeroByteAndAtTheBufferSize)
{
    std::string text;
    peer.say(std::string("ab\0cd", 5), 0);
    EXPECT_TRUE(port.readText(text));
    EXPECT_EQ(text, "ab");
    peer.say(std::string("\0yz", 3), clock.nowUs());
    EXPECT_TRUE(port.readText(text)) << "bytes arrived, even if the text is empty";
    EXPECT_EQ(text, "");

    std::string burst;
    for (int i = 0; i < 5000; ++i)
        burst += static_cast<char>('A' + i % 26);
    const std::int64_t at = clock.nowUs() + 1'000'000;
    peer.say(burst, at);
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, burst.substr(0, 4096));
    EXPECT_EQ(clock.nowUs(), at) << "a full buffer ends the read at once";
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, burst.substr(4096));
}

TEST_F(SimPort, ReadByteWaitsExactlyItsTimeout)
{
    peer.say("\x80", 99'000);
    EXPECT_EQ(port.readByte(100), 0x80);
    EXPECT_EQ(clock.nowUs(), 99'000);
    peer.say("z", 99'000 + 101'000);
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_EQ(clock.nowUs(), 199'000);
    EXPECT_EQ(port.readByte(100), 'z');
    // Non-positive time-outs still end (the simulated device aborts on a read without limit).
    EXPECT_EQ(port.readByte(0), -2);
    EXPECT_EQ(port.readByte(-5), -2);
}

TEST_F(SimPort, ReadTextEndsTwoHundredMsAfterTheLastByteAndAGapSplitsAReply)
{
    peer.say(std::string(100, 'a'), 1'000'000, 1000);  // one byte a millisecond from t=1 s
    peer.say("Log", 2'000'000);
    peer.say("in: ", 2'250'000);
    std::string text;
    EXPECT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, std::string(100, 'a'));
    EXPECT_EQ(clock.nowUs(), 1'000'000 + 100'000 + 200'000);
    for (const char* part : {"Log", "in: "}) {
        EXPECT_TRUE(port.readText(text, 4096));
        EXPECT_EQ(text, part);
    }
}

TEST_F(SimPort, BytesAvailableCountsOnlyArrivedBytes)
{
    peer.say("abc", 10'000);
    EXPECT_EQ(port.bytesAvailable(), 0);
    clock.sleepMs(10);
    EXPECT_EQ(port.bytesAvailable(), 3);
}

TEST_F(SimPort, SpeedMismatchGarblesBothWays)
{
    peer.baud = 115200;
    port.writeText("AT");
    EXPECT_NE(peer.heard, "AT");
    peer.say("A", clock.nowUs());
    EXPECT_NE(port.readByte(10), 'A');
}

TEST(LastLine, KeepsTheLastCarriageReturnLineTrimmed)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Show System\r\nLogin: ", "Login:"},
        {"\r\n\r\n\r", ""},
        {"", ""},
        {"first\nsecond\n", "first\nsecond"},
        {"one\rtwo\r\n\r\n", "two"},
        {"a\r \t tarvel> \v\f", "tarvel>"},
        {"\r\nPass word:\r", "Pass word:"},
    };
    for (const auto& [text, line] : cases)
        EXPECT_EQ(CSerialPort::lastLine(text), line) << text;
}

TEST_F(SimPort, ConfirmPromptNeedsTheSameLineBack)
{
    EXPECT_FALSE(port.confirmPrompt("Password:"));
    EXPECT_FALSE(port.confirmPrompt(""));
    EXPECT_EQ(peer.heard, "");
    EXPECT_EQ(clock.nowUs(), 0) << "nothing is sent and nobody waits";

    peer.replyToCr = "\r\ntarvel> ";
    EXPECT_TRUE(port.confirmPrompt("tarvel>"));
    EXPECT_EQ(peer.heard, "\r");
    // The reply is read only after the 50 ms pause, and the read ends 200 ms after it.
    EXPECT_EQ(ms(), 50 + 200);

    peer.replyToCr = "\r\ntarvel> Show\r\n";
    EXPECT_FALSE(port.confirmPrompt("tarvel>"));
    peer.replyToCr = "\r\nTARVEL>";
    EXPECT_FALSE(port.confirmPrompt("tarvel>"));
    peer.replyToCr.clear();
    std::string rest;
    EXPECT_FALSE(port.readText(rest, 16)) << "the reply was consumed";
}

}  // namespace
