// The virtual module's console, driven through a real CSerialPort on the simulated line, in
// what the console dialogue tests (which run the whole upgrade dialogue against it) do not
// reach: refused logins and type-ahead, a cancelled reboot, a boot left to finish, and a
// download without a receiver.
#include "serial/CSerialPort.h"
#include "support/ModuleHarness.h"

#include <gtest/gtest.h>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;
using State = sim::VirtualModule::State;

// Talks to the module the way a person at a terminal would: type, wait, read the last line.
struct Terminal {
    explicit Terminal(test::ModuleHarness& h) : harness(h) { EXPECT_TRUE(port.open("COM1", 38400, 4096, 4096)); }
    std::string type(const std::string& text, std::int64_t waitMs = 1000)
    {
        port.writeText(text);
        harness.clock.sleepMs(waitMs);
        std::string all, part;
        while (port.bytesAvailable() > 0 && port.readText(part, 4096))
            all += part;
        return all;
    }
    std::string last(const std::string& text, std::int64_t waitMs = 1000) { return CSerialPort::lastLine(type(text, waitMs)); }
    test::ModuleHarness& harness;
    CSerialPort port;
};

ModuleConfig at(ConsoleStart s)
{
    ModuleConfig c;
    c.start = s;
    c.loginFailDelayUs = 3'000'000;
    c.noReceiverDownloadUs = 10'000'000;
    return c;
}

TEST(VirtualModule, RefusedLoginsComeAfterAPauseAndKeepTypeAhead)
{
    for (const auto& [user, password] : {std::pair<std::string, std::string>{"admin", "wrong"}, {"root", "tarvel"}}) {
        test::ModuleHarness h(at(ConsoleStart::LoggedOut));
        Terminal t(h);
        t.type(user + "\r", 50);
        EXPECT_EQ(t.last(password + "\r"), "");  // still thinking
        t.type("admin\r", 50);  // typed during the pause: the next user name
        EXPECT_EQ(t.last("", 3000), "Password:");
        EXPECT_EQ(t.last("tarvel\r"), "Tarvel>");
        EXPECT_EQ(h.module.stats().refusedLogins, 1);
        EXPECT_EQ(h.module.stats().logins, 1);
    }
    test::ModuleHarness h(at(ConsoleStart::LoggedOut));
    Terminal t(h);
    // The first was on the line already; an empty user name is no attempt.
    EXPECT_EQ(t.type("\r\r"), "\r\nLogin: \r\nLogin: \r\nLogin: ");
    EXPECT_EQ(h.module.stats().refusedLogins, 0);
}

TEST(VirtualModule, RebootNeedsYesAndABootLeftAloneEndsAtLogin)
{
    test::ModuleHarness h;
    Terminal t(h);
    t.type("reboot\r", 500);
    EXPECT_EQ(t.last("No\r", 5000), "Tarvel>");
    EXPECT_EQ(h.module.stats().restarts, 0);

    test::ModuleHarness r(at(ConsoleStart::Restarting));
    Terminal u(r);
    EXPECT_EQ(u.last("", 100), "Initializing....");
    u.port.writeByte(27);
    u.port.writeByte(27);  // two are not enough
    EXPECT_EQ(u.type("", 9'000), "");  // still waiting in the escape window
    EXPECT_EQ(u.last("", 7'000), "Login:");
    EXPECT_EQ(r.module.stats().bootsCompleted, 1);
    EXPECT_EQ(r.module.stats().commandModeEntries, 0);
}

// Full downloads through receive sessions, at both speeds, are run by the upgrade worker's tests.
TEST(VirtualModule, WithoutAReceiverADownloadSwallowsBytesForAWhile)
{
    test::ModuleHarness h(at(ConsoleStart::CommandMode));
    Terminal t(h);
    t.type("AT{Z}\r", 5000);
    EXPECT_EQ(t.type("AT{P}\r", 1000), "");  // commands included
    EXPECT_EQ(h.module.state(), State::Receiving);
    EXPECT_EQ(t.last("", 7000), sim::VirtualModule::kRemaining);
    EXPECT_EQ(h.module.stats().flashPrepared, 0);
}

}  // namespace
