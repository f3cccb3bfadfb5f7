// The virtual module's console, driven through a real CSerialPort on the simulated line: the
// dialogue tests of the console and the verification rely on it behaving as described here.
#include "serial/CSerialPort.h"
#include "support/ModuleHarness.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;
using State = sim::VirtualModule::State;

// Talks to the module the way a person at a terminal would: type, wait, read what came.
struct Terminal {
    explicit Terminal(test::ModuleHarness& h) : harness(h) { EXPECT_TRUE(port.open("COM1", 38400, 4096, 4096)); }

    std::string type(const std::string& text, std::int64_t waitMs = 1000)
    {
        port.writeText(text);
        harness.clock.sleepMs(waitMs);
        return drain();
    }
    std::string drain()
    {
        std::string all, part;
        while (port.bytesAvailable() > 0 && port.readText(part, 4096))
            all += part;
        return all;
    }
    std::string last(const std::string& text, std::int64_t waitMs = 1000)
    {
        return CSerialPort::lastLine(type(text, waitMs));
    }
    std::string lastAfter(std::int64_t waitMs) { return harness.clock.sleepMs(waitMs), CSerialPort::lastLine(drain()); }
    void escape()
    {
        for (int i = 0; i < 3; ++i)
            port.writeByte(27);
    }

    test::ModuleHarness& harness;
    CSerialPort port;
};

ModuleConfig at(ConsoleStart s)
{
    ModuleConfig c;
    c.start = s;
    return c;
}

// --- login ---------------------------------------------------------------------------------------

TEST(VirtualModuleLogin, BadCredentialsNeverEndInAConfirmablePrompt)
{
    for (const auto& creds : {std::pair<std::string, std::string>{"admin", "wrong"}, {"root", "tarvel"}, {"", ""}}) {
        test::ModuleHarness h(at(ConsoleStart::LoggedOut));
        Terminal t(h);
        t.type("\r");
        t.type(creds.first + "\r", 50);
        const std::string reply = t.type(creds.second + "\r", 5000);
        const std::string last = CSerialPort::lastLine(reply);
        EXPECT_TRUE(last.empty() || last.back() != '>') << creds.first << "/" << creds.second << ": " << last;
        // An empty user name is no attempt at all: the module just asks again.
        EXPECT_EQ(reply.find("Login incorrect") != std::string::npos, !creds.first.empty());
        EXPECT_EQ(h.module.stats().logins, 0);
    }
}

TEST(VirtualModuleLogin, RefusalComesAfterAPauseAndTypeAheadIsKept)
{
    ModuleConfig c = at(ConsoleStart::LoggedOut);
    c.loginFailDelayUs = 3'000'000;
    test::ModuleHarness h(c);
    Terminal t(h);
    t.type("admin\r", 50);
    EXPECT_EQ(CSerialPort::lastLine(t.type("bad\r", 1000)), "");  // still thinking
    // Typed during the pause: taken as the next user name once the module listens again.
    t.type("admin\r", 50);
    t.type("", 3000);
    EXPECT_EQ(t.last("tarvel\r"), "Tarvel>");
    EXPECT_EQ(h.module.stats().refusedLogins, 1);
    EXPECT_EQ(h.module.stats().logins, 1);
}

TEST(VirtualModuleLogin, EchoDoesNotChangeTheLastLines)
{
    ModuleConfig c = at(ConsoleStart::LoggedOut);
    c.echo = true;
    test::ModuleHarness h(c);
    Terminal t(h);
    EXPECT_EQ(t.last("\r"), "Login:");
    const std::string afterUser = t.type("admin\r");
    EXPECT_NE(afterUser.find("admin"), std::string::npos);
    EXPECT_EQ(CSerialPort::lastLine(afterUser), "Password:");
    const std::string afterPassword = t.type("tarvel\r");
    EXPECT_EQ(afterPassword.find("tarvel"), std::string::npos);  // passwords are not echoed
    EXPECT_EQ(CSerialPort::lastLine(afterPassword), "Tarvel>");
    EXPECT_EQ(CSerialPort::trim(t.type("\r")), "Tarvel>");
}

// --- restart and command mode -------------------------------------------------------------------

TEST(VirtualModuleRestart, RebootYesThenEscapeReachesCommandMode)
{
    test::ModuleHarness h;
    Terminal t(h);
    t.type("reboot\r", 500);
    const std::int64_t yesAt = h.nowUs();
    t.port.writeText("Yes\r");
    EXPECT_EQ(t.lastAfter(2500), "Initializing....");
    EXPECT_EQ(h.module.state(), State::Initializing);
    EXPECT_GE(h.nowUs() - yesAt, 2'000'000);
    t.escape();
    EXPECT_EQ(t.lastAfter(500), sim::VirtualModule::kHelpLine);
    EXPECT_EQ(h.module.stats().commandModeEntries, 1);
    // Idle command mode keeps reminding that it is there.
    EXPECT_EQ(t.lastAfter(5000), sim::VirtualModule::kRemaining);
}

TEST(VirtualModuleRestart, AnythingButYesCancelsTheReboot)
{
    test::ModuleHarness h;
    Terminal t(h);
    t.type("reboot\r", 500);
    EXPECT_EQ(t.last("No\r", 5000), "Tarvel>");
    EXPECT_EQ(h.module.stats().restarts, 0);
}

TEST(VirtualModuleRestart, WithoutEscapeTheBootEndsAtTheLoginPrompt)
{
    test::ModuleHarness h(at(ConsoleStart::Restarting));
    Terminal t(h);
    EXPECT_EQ(CSerialPort::lastLine(t.type("", 100)), "Initializing....");
    t.port.writeByte(27);
    t.port.writeByte(27);  // two are not enough
    h.clock.sleepMs(9'000);
    EXPECT_EQ(t.drain(), "");  // still waiting in the escape window
    EXPECT_EQ(t.lastAfter(7'000), "Login:");
    EXPECT_EQ(h.module.stats().bootsCompleted, 1);
    EXPECT_EQ(h.module.stats().commandModeEntries, 0);
}

// --- downloads ----------------------------------------------------------------------------------

// A receive session that takes a fixed number of bytes, answering each with '#'.
class CountingSession : public sim::IReceiveSession {
public:
    CountingSession(sim::TimedByteQueue& out, std::int64_t usPerByte, std::size_t want, std::string& got)
        : got_(got), out_(out), usPerByte_(usPerByte), want_(want) {}
    void advance(std::int64_t) override {}
    void receive(const std::uint8_t* d, std::size_t n, std::int64_t now) override
    {
        for (std::size_t i = 0; i < n && got_.size() < want_; ++i) {
            got_ += static_cast<char>(d[i]);
            out_.push('#', now, usPerByte_);
        }
    }
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    bool finished() const override { return got_.size() >= want_; }

private:
    std::string& got_;
    sim::TimedByteQueue& out_;
    std::int64_t usPerByte_;
    std::size_t want_;
};

struct Download : ::testing::Test {
    std::int64_t sessionUsPerByte = -1;
    int made = 0;
    std::string got;  // what the session received; it is gone once the download is over
    test::ModuleHarness h{withReceiver()};
    Terminal t{h};

    ModuleConfig withReceiver()
    {
        ModuleConfig c = at(ConsoleStart::Restarting);
        c.receiver = [this](sim::TimedByteQueue& out, std::int64_t usPerByte, std::int64_t) {
            sessionUsPerByte = usPerByte;
            ++made;
            return std::unique_ptr<sim::IReceiveSession>(std::make_unique<CountingSession>(out, usPerByte, 4, got));
        };
        return c;
    }
    void start(const std::string& command) { t.escape(), t.type(command, 3000); }
};

TEST_F(Download, FastDownloadRunsAtTheFastSpeedThroughTheSession)
{
    start("AT{.}\r");
    EXPECT_EQ(h.module.baudRate(), 115200u);
    EXPECT_EQ(sessionUsPerByte, sim::TimedByteQueue::usPerByteAt(115200));
    // Still at the console speed: every byte arrives garbled.
    t.type("ABCD", 100);
    EXPECT_EQ(got.size(), 4u);
    EXPECT_NE(got, "ABCD");
    EXPECT_EQ(h.module.stats().downloadsFinished, 1);
    EXPECT_EQ(h.module.baudRate(), 38400u);
    EXPECT_EQ(t.lastAfter(2500), sim::VirtualModule::kRemaining);
}

TEST_F(Download, ReopenedAtTheRightSpeedTheSessionGetsTheBytesIntact)
{
    start("AT{.}\r");
    t.port.close();
    ASSERT_TRUE(t.port.open("COM1", 115200, 4096, 4096));
    t.type("ABCD", 100);
    EXPECT_EQ(got, "ABCD");
    EXPECT_EQ(made, 1);
    EXPECT_EQ(h.module.stats().fastDownloads, 1);
    EXPECT_EQ(h.module.state(), State::WritingFlash);
}

TEST_F(Download, NormalDownloadStaysAtTheConsoleSpeed)
{
    start("AT{Z}\r");
    EXPECT_EQ(h.module.baudRate(), 38400u);
    EXPECT_EQ(sessionUsPerByte, sim::TimedByteQueue::usPerByteAt(38400));
    EXPECT_EQ(t.type("WXYZ", 100), "####");
    EXPECT_EQ(got, "WXYZ");
    EXPECT_EQ(h.module.stats().downloads, 1);
}

TEST(VirtualModuleDownload, WithoutReceiverBytesAreSwallowedForAWhile)
{
    ModuleConfig c = at(ConsoleStart::Restarting);
    c.noReceiverDownloadUs = 10'000'000;
    test::ModuleHarness h(c);
    Terminal t(h);
    t.escape();
    t.type("AT{Z}\r", 5000);
    EXPECT_EQ(t.type("AT{P}\r", 1000), "");
    EXPECT_EQ(h.module.state(), State::Receiving);
    EXPECT_EQ(t.lastAfter(7000), sim::VirtualModule::kRemaining);
    EXPECT_EQ(h.module.stats().flashPrepared, 0);
}

// --- replies and faults -------------------------------------------------------------------------

TEST(VirtualModuleReplies, RepliesCarryTheLabelsAndEndAtThePrompt)
{
    ModuleConfig c;
    c.version = "1.5.13";
    c.memoryFigure = "4097";
    c.threshold = "4096";
    test::ModuleHarness h(c);
    Terminal t(h);
    const std::string sys = t.type("\rShow System\r", 2500);
    EXPECT_NE(sys.find(", Version: 1.5.13,"), std::string::npos);
    EXPECT_EQ(CSerialPort::lastLine(sys), "Tarvel>");
    EXPECT_NE(t.type("\rShow Memory\r", 2500).find("Total System Memory Resources: 4097 "), std::string::npos);
    const std::string list = t.type("\rList Files\r", 2500);
    EXPECT_NE(list.find("MERIDOX Flash File System\r\n"), std::string::npos);
    EXPECT_NE(list.find("Threshold = 4096 "), std::string::npos);
    EXPECT_NE(list.find("system.cfg              24576\r\n"), std::string::npos);
    ASSERT_GE(list.size(), 7u);
    EXPECT_EQ(list.substr(list.size() - 9), "\r\nTarvel>");  // the prompt has no CR after it
}

TEST(VirtualModuleFaults, OutputLeftInAClosedPortIsLost)
{
    test::ModuleHarness h;
    Terminal t(h);
    t.port.writeText("\r");
    h.clock.sleepMs(1000);
    t.port.close();
    ASSERT_TRUE(t.port.open("COM1", 38400, 4096, 4096));
    EXPECT_EQ(t.drain(), "");
}

}  // namespace
