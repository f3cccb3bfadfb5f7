// CSerialPort on the simulated line under virtual time: the settings and messages of open, the
// time-outs each transfer installs (seen as the exact time each one takes), the write-error
// count, and the console line helpers. The virtual-time tests of everything above rely on these
// time-out semantics being those of the real device. Then on a recording device: the calls each
// operation makes, in order, with the exact time-out set it installs.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

using platform::LineSettings;

namespace {

struct SimPort : ::testing::Test {
    platform::VirtualClock clock;
    test::ScriptedPeer peer;
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
    std::int64_t ms() { return clock.nowUs() / 1000; }
};

TEST_F(SimPort, OpenAppliesTheConsoleSettingsOrShowsItsMessage)
{
    line.settings = {9600, 7, LineSettings::Parity::Odd, 2, false, true, LineSettings::DtrControl::Disable,
                     LineSettings::RtsControl::Disable, true, true};
    ASSERT_TRUE(port.open("COM1", 115200, 4096, 2048));  // a second open lets the first device go
    const LineSettings console{115200, 8, LineSettings::Parity::None, 1, true, false,
                               LineSettings::DtrControl::Enable, LineSettings::RtsControl::Handshake,
                               false, false};
    EXPECT_EQ(line.settings, console);
    port.close();

    const sim::LineFaults setState{.failSetState = true};
    const std::pair<sim::LineFaults, std::vector<std::string>> cases[] = {
        {{.failOpen = true}, {"Unable to gain access to the COM port."}},
        {{.failGetState = true}, {}},
        {{.failSetupQueues = true}, {"Failed to allocate COM port buffers."}},
        {setState, {"Failed to set COM port state."}},
        // The queues go first.
        {{.failSetupQueues = true, .failSetState = true}, {"Failed to allocate COM port buffers."}},
    };
    for (const auto& [faults, boxes] : cases) {
        line.setFaults(faults);
        notifier.clear();
        line.clearRecords();
        EXPECT_FALSE(port.open("COM1", 38400, 4096, 4096));
        EXPECT_EQ(notifier.texts(), boxes);
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

TEST_F(SimPort, WritesKeepTheirBudgetAndCountTheirFailures)
{
    sim::LineFaults f;
    f.stallWrites = true;
    line.setFaults(f);
    EXPECT_TRUE(port.writeText(std::string(100, 'x')));  // the count written is not compared
    EXPECT_EQ(ms(), 100 * 10 + 10);
    EXPECT_FALSE(port.writeByte('x'));  // a byte not taken in time is lost
    EXPECT_EQ(ms(), 1010 + 60);
    EXPECT_EQ(port.writeErrorCount, 1);

    f.stallWrites = false;
    f.failWrite = true;
    line.setFaults(f);
    for (int i = 1; i < 300; ++i)
        port.writeByte(i);
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_FALSE(port.writeByte(0));
    EXPECT_EQ(port.bytesAvailable(), -2);  // once, and the count starts again (RecordedPort)
    EXPECT_FALSE(port.writeByte(1));
    line.setFaults({});
    EXPECT_TRUE(port.writeByte(3));  // a success neither counts nor resets
    EXPECT_EQ(port.writeErrorCount, 1);

    f = {};
    f.failSetTimeouts = true;  // nothing moves without its time-outs
    line.setFaults(f);
    std::string text = "stale";
    EXPECT_FALSE(port.writeText("x"));
    EXPECT_FALSE(port.readText(text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_FALSE(port.writeByte('x'));
    EXPECT_EQ(port.writeErrorCount, 2);
    EXPECT_EQ(peer.heard, "\x03");
}

TEST_F(SimPort, ReadTextEndsAtItsLimitsAndAtAZeroByte)
{
    std::string text = "stale";
    EXPECT_FALSE(port.readText(text, 10));  // the total limit scales with the size
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(ms(), 3 * 10 + 500);
    peer.sayAt("x", (530 + 12'700) * 1000);
    EXPECT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, "x");
    EXPECT_EQ(ms(), 530 + 12'788);

    // 200 ms after the last byte; a longer gap splits a reply.
    peer.sayAt(std::string(100, 'a'), clock.nowUs() + 1'000'000, 1000);
    const std::int64_t t0 = clock.nowUs();
    peer.sayAt("Log", t0 + 2'000'000);
    peer.sayAt("in: ", t0 + 2'250'000);
    EXPECT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, std::string(100, 'a'));
    EXPECT_EQ(clock.nowUs(), t0 + 1'000'000 + 100'000 + 200'000);
    for (const char* part : {"Log", "in: "}) {
        EXPECT_TRUE(port.readText(text, 4096));
        EXPECT_EQ(text, part);
    }

    peer.sayAt(std::string("ab\0cd", 5), clock.nowUs());
    EXPECT_TRUE(port.readText(text));
    EXPECT_EQ(text, "ab");
    peer.sayAt(std::string("\0yz", 3), clock.nowUs());
    EXPECT_TRUE(port.readText(text)) << "bytes arrived, even if the text is empty";
    EXPECT_EQ(text, "");

    std::string burst;
    for (int i = 0; i < 5000; ++i)
        burst += static_cast<char>('A' + i % 26);
    const std::int64_t at = clock.nowUs() + 1'000'000;
    peer.sayAt(burst, at);
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, burst.substr(0, 4096));
    EXPECT_EQ(clock.nowUs(), at) << "a full buffer ends the read at once";
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(text, burst.substr(4096));
}

TEST_F(SimPort, ReadByteWaitsExactlyItsTimeout)
{
    peer.sayAt("\x80", 99'000);
    EXPECT_EQ(port.readByte(100), 0x80);
    EXPECT_EQ(clock.nowUs(), 99'000);
    peer.sayAt("z", 99'000 + 101'000);
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_EQ(clock.nowUs(), 199'000);
    EXPECT_EQ(port.bytesAvailable(), 0);  // only arrived bytes count
    clock.sleepMs(1);
    EXPECT_EQ(port.bytesAvailable(), 1);
    EXPECT_EQ(port.readByte(100), 'z');
    // Never all-zero time-outs (a read without limit): the least is one millisecond.
    for (int t : {0, -5}) {
        const std::int64_t t0 = clock.nowUs();
        EXPECT_EQ(port.readByte(t), -2);
        EXPECT_EQ(clock.nowUs() - t0, 1000);
    }
    peer.sayAt("q", clock.nowUs());
    port.close();  // a closed port has nothing and reads nothing
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_EQ(port.readByte(1), -2);
}

// Writes down every call it gets; answers as told.
struct RecordingDevice final : platform::ISerialDevice {
    std::vector<std::string>& calls;
    const bool &clearFails, &writeFails;
    RecordingDevice(std::vector<std::string>& c, const bool& cf, const bool& wf) : calls(c), clearFails(cf), writeFails(wf) {}
    ~RecordingDevice() override { calls.push_back("close"); }
    bool note(const std::string& call) { return calls.push_back(call), true; }
    bool getState(LineSettings&) override { return note("getState"); }
    bool setState(const LineSettings& s) override { return note("setState " + std::to_string(s.baudRate)); }
    bool setupQueues(std::uint32_t in, std::uint32_t out) override { return note("queues " + std::to_string(in) + " " + std::to_string(out)); }
    bool setTimeouts(const platform::SerialTimeouts& t) override
    {
        std::string text = "timeouts";
        for (std::uint32_t v : {t.readInterval, t.readTotalMultiplier, t.readTotalConstant, t.writeTotalMultiplier, t.writeTotalConstant})
            text += " " + std::to_string(v);
        return note(text);
    }
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& received) override
    {
        buffer[0] = 0xC8, received = 1;
        return note("read " + std::to_string(size));
    }
    bool write(const std::uint8_t*, std::size_t size, std::size_t& written) override
    {
        written = writeFails ? 0 : size;
        return note("write " + std::to_string(size)) && !writeFails;
    }
    bool clearError(std::uint32_t* inQueue) override
    {
        if (inQueue)
            *inQueue = 37;
        return note(inQueue ? "clearError" : "clearError, no count") && !clearFails;
    }
};

struct RecordedPort : ::testing::Test, platform::ISerialDeviceFactory {
    std::vector<std::string> calls;
    bool clearFails = false, writeFails = false;
    platform::VirtualClock clock;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, this, &notifier, nullptr}};
    CSerialPort port;
    std::unique_ptr<platform::ISerialDevice> open(const std::string& name) override
    {
        calls.push_back("open " + name);
        return std::make_unique<RecordingDevice>(calls, clearFails, writeFails);
    }
};

TEST_F(RecordedPort, EachOperationMakesItsCallsWithItsOwnTimeOuts)
{
    std::string text;
    // The operation, its result, and the device calls it makes.
    const std::tuple<const char*, std::function<int()>, int, std::vector<std::string>> cases[] = {
        {"open", [&] { return int{port.open("COM2", 115200, 4096, 2048)}; }, 1,
         {"open COM2", "getState", "queues 4096 2048", "setState 115200", "clearError, no count"}},
        {"writeText", [&] { return int{port.writeText("AT{Z}\r")}; }, 1, {"timeouts 0 0 0 10 10", "write 6"}},
        {"readText", [&] { return int{port.readText(text)}; }, 1, {"timeouts 200 3 500 0 0", "read 4096"}},
        {"writeByte", [&] { return int{port.writeByte(0x18)}; }, 1, {"timeouts 0 0 0 10 50", "write 1"}},
        {"readByte", [&] { return port.readByte(250); }, 0xC8, {"timeouts 0 250 0 0 0", "read 1"}},
        {"bytesAvailable", [&] { return port.bytesAvailable(); }, 37, {"clearError"}},
        {"bytesAvailable, ClearCommError failing", [&] { return clearFails = true, port.bytesAvailable(); }, 0, {"clearError"}},
        {"bytesAvailable after 301 failed writes", [&] {
             writeFails = true;
             for (int i = 0; i < 301; ++i)
                 port.writeByte(i);
             calls.clear();
             return port.bytesAvailable();
         }, -2, {}},
        {"bytesAvailable once more", [&] { return port.bytesAvailable(); }, 0, {"clearError"}},
        {"close", [&] { return port.close(), 0; }, 0, {"close"}},
    };
    for (const auto& [name, run, result, made] : cases) {
        calls.clear();
        EXPECT_EQ(run(), result) << name;
        EXPECT_EQ(calls, made) << name;
    }
    EXPECT_TRUE(notifier.boxes().empty());
    EXPECT_EQ(clock.nowUs(), 0) << "no operation waits of its own";
}

TEST(LastLine, KeepsTheLastCarriageReturnLineTrimmed)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Show System\r\nLogin: ", "Login:"}, {"\r\n\r\n\r", ""}, {"", ""}, {"first\nsecond\n", "first\nsecond"},
        {"one\rtwo\r\n\r\n", "two"}, {"a\r \t tarvel> \v\f", "tarvel>"}, {"\r\nPass word:\r", "Pass word:"},
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

    for (const char* reply : {"\r\ntarvel> ", "\r\ntarvel> Show\r\n", "\r\nTARVEL>"})
        peer.step("\r", reply);
    EXPECT_TRUE(port.confirmPrompt("tarvel>"));
    EXPECT_EQ(peer.heard, "\r");
    // The reply is read only after the 50 ms pause, and the read ends 200 ms after it.
    EXPECT_EQ(ms(), 50 + 200);
    EXPECT_FALSE(port.confirmPrompt("tarvel>"));
    EXPECT_FALSE(port.confirmPrompt("tarvel>"));
    std::string rest;
    EXPECT_FALSE(port.readText(rest, 16)) << "the reply was consumed";
}

}  // namespace
