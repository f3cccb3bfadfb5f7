// The upgrade's console dialogue against the virtual module, on virtual time: what is sent, in
// which order and when, for every console state the scans know, and where the scans give up.
#include "serial/CUpgradeConsole.h"
#include "support/ModuleHarness.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;
using Check = std::function<void(test::ModuleHarness&)>;

const std::string kEsc3 = "\x1b\x1b\x1b";
const std::string kRestart = "\rreboot\rYes\r" + kEsc3;
const std::string kLogin = "\radmin\rtarvel\r";
constexpr std::int64_t kByteUs = 260;  // one character at 38,400 bps on the simulated line

ModuleConfig config(ConsoleStart s, const std::function<void(ModuleConfig&)>& tweak = {})
{
    ModuleConfig c;
    c.start = s;
    if (tweak)
        tweak(c);
    return c;
}

// One pass (a silent 12,788 ms read or a one-second status line, plus the 500 ms pass wait).
constexpr std::int64_t kSilentPassUs = 12'788'000 + 500'000;
void afterChatterPasses(test::ModuleHarness& h)  // 550 passes of exactly a second each
{
    EXPECT_GT(h.nowUs(), 550'500'000);
    EXPECT_LT(h.nowUs(), 551'000'000);
}

// --- enterCommandMode: the console states, what is sent and when --------------------------------

void leftInCommandMode(test::ModuleHarness& h)
{
    EXPECT_LT(h.nowUs(), 1'000'000);
    EXPECT_EQ(h.module.stats().logins + h.module.stats().restarts, 0);
}

TEST(EnterCommandMode, EveryConsoleStateSendsItsDialogueAtTheRightTimes)
{
    struct Case {
        const char* name;
        ModuleConfig config;
        int code;
        std::string sent;
        Check check;
        std::string user = "admin", password = "tarvel";
    };
    const Case cases[] = {
        {"at the prompt: restart without credentials", config(ConsoleStart::AtPrompt), 0, "\r" + kRestart,
         [](test::ModuleHarness& h) {
             EXPECT_EQ(h.timeOf("\r"), kByteUs);  // the wake-up goes out first
             EXPECT_EQ(h.timeOf("Yes\r") - h.timeOf("reboot\r"), 500'000 + 7 * kByteUs);
             EXPECT_EQ(h.timeOf(kEsc3) - h.timeOf("Yes\r"), 8'000'000 + 4 * kByteUs);
             EXPECT_EQ(h.nowUs(), h.timeOf(kEsc3) + 2 * kByteUs + 500'000);  // 500 ms after the last ESC
         }},
        {"logged out: user, then password", config(ConsoleStart::LoggedOut), 0, kLogin + kRestart,
         [](test::ModuleHarness& h) {
             EXPECT_EQ(h.timeOf("tarvel\r") - h.timeOf("admin\r"), 50'000 + 6 * kByteUs);
             // 5 s after the password the prompt is read and confirmed with a CR.
             EXPECT_GE(h.timeOf("\r", 3) - h.timeOf("tarvel\r"), 5'000'000);
             EXPECT_EQ(h.module.stats().logins, 1);
         }},
        {"password first: an empty answer, then the login", config(ConsoleStart::PasswordFirst), 0,
         "\r" + kLogin + kRestart,
         [](test::ModuleHarness& h) {
             EXPECT_EQ(h.timeOf("admin\r") - h.timeOf("\r", 1), 5'000'000 + kByteUs);
             EXPECT_EQ(h.timeOf("tarvel\r") - h.timeOf("admin\r"), 50'000 + 6 * kByteUs);
         }},
        // "Login:" is no prompt: nothing to confirm, no restart.
        {"refused login", config(ConsoleStart::LoggedOut), 2, "\radmin\rguess\r",
         [](test::ModuleHarness& h) { EXPECT_EQ(h.module.stats().restarts, 0); }, "admin", "guess"},
        {"quick setup asked twice is declined twice",
         config(ConsoleStart::AtPrompt, [](ModuleConfig& c) { c.quickSetupTimes = 2; }), 0,
         "\rNO\rNO\r" + kRestart, [](test::ModuleHarness& h) { EXPECT_EQ(h.module.stats().quickSetupDeclined, 2); }},
        {"already restarting: only the escapes", config(ConsoleStart::Restarting), 0, "\r" + kEsc3,
         [](test::ModuleHarness& h) { EXPECT_EQ(h.nowUs(), h.timeOf("\x1b", 2) + 500'000); }},
        {"echoing console", config(ConsoleStart::LoggedOut, [](ModuleConfig& c) { c.echo = true; }), 0,
         kLogin + kRestart, nullptr},
        // Slower than every fixed wait of the dialogue but the login's.
        {"slow console", config(ConsoleStart::LoggedOut, [](ModuleConfig& c) { c.replyDelayUs = 3'000'000; }), 0,
         kLogin + kRestart, nullptr},
        // Wake-up, then seven times: a 12,788 ms read, "\r", 50 ms and the 500 ms pass wait.
        {"silent line: seven failed reads", config(ConsoleStart::AtPrompt, [](ModuleConfig& c) { c.silent = true; }), 3,
         std::string(8, '\r'), [](test::ModuleHarness& h) {
             EXPECT_EQ(h.nowUs(), kByteUs + 50'000 + 7 * (kSilentPassUs + kByteUs + 50'000));
         }},
        {"empty credentials are bare carriage returns", config(ConsoleStart::LoggedOut), 2, "\r\r\r", nullptr, "", ""},
        // "Log", then 250 ms later "in: ": the first pass reads "Log" (the read ends 200 ms after
        // it) and waits 500 ms; the second pass reads the rest.
        {"login split over two reads is matched in the second pass",
         config(ConsoleStart::LoggedOut,
                [](ModuleConfig& c) { c.promptAtStart = false, c.chunkAt = 3, c.chunkOnly = "Login:"; }),
         0, kLogin + kRestart,
         [](test::ModuleHarness& h) {
             EXPECT_GT(h.timeOf("admin\r"), 700'000);
             EXPECT_LT(h.timeOf("admin\r"), 1'000'000);
         }},
        // Left in command mode by an earlier run: each of its texts ends the scan at its first
        // pass, and the module is neither logged in nor restarted.
        {"left in command mode: its help line", config(ConsoleStart::CommandMode, [](ModuleConfig& c) {
             c.replyDelayUs = 3'000'000;  // the help line is read before the wake-up is answered
         }), 0, "\r", leftInCommandMode},
        {"left in command mode: the answer to the wake-up",
         config(ConsoleStart::CommandMode, [](ModuleConfig& c) { c.promptAtStart = false; }), 0, "\r",
         leftInCommandMode},
        {"left in command mode: its confirmation is answered",
         config(ConsoleStart::CommandMode, [](ModuleConfig& c) { c.confirmCommandMode = true; }), 0, "\rYes\r",
         leftInCommandMode},
        {"chatter: 550 passes, no read failed",
         config(ConsoleStart::AtPrompt, [](ModuleConfig& c) { c.chatter = true; }), 3, "\r", afterChatterPasses},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ModuleHarness h(c.config);
        CUpgradeConsole console;
        EXPECT_EQ(console.enterCommandMode("COM1", c.user, c.password), c.code);
        EXPECT_EQ(h.hostText(), c.sent);
        EXPECT_TRUE(console.isOpen());
        if (c.check)
            c.check(h);
        if (c.code == 0) {
            EXPECT_EQ(h.module.stats().commandModeEntries, c.config.start == ConsoleStart::CommandMode ? 0 : 1);
            // The module takes commands now; one left in command mode shows it again in time.
            EXPECT_TRUE(console.prepareFlash());
            EXPECT_EQ(h.module.stats().flashPrepared, 1);
        }
    }
}

// --- waitForCommandMode ------------------------------------------------------------------------

TEST(WaitForCommandMode, EachConsoleStateIsReadAndOnlyTheRestartIsAnswered)
{
    // The wait that goes on past "Initializing...." (the one that returns there is the erase's,
    // below). The case, the module, whether command mode is found, what is sent, and a further
    // check.
    using Case = std::tuple<const char*, ModuleConfig, bool, std::string, Check>;
    const auto outside = [](ConsoleStart s, int quick = 0) {  // no login, no "NO", no wake-up
        return Case{"outside command mode",
                    config(s, [quick](ModuleConfig& c) { c.quickSetupTimes = quick; }), false, "", nullptr};
    };
    const Case cases[] = {
        outside(ConsoleStart::LoggedOut),
        outside(ConsoleStart::PasswordFirst),
        outside(ConsoleStart::AtPrompt, 1),
        {"initializing is interrupted, the scan goes on to the help line", config(ConsoleStart::Restarting), true, kEsc3,
         [](test::ModuleHarness& h) {
             EXPECT_GE(h.nowUs() - h.timeOf("\x1b", 2), 500'000);  // past the 500 ms pass wait
             EXPECT_EQ(h.module.state(), sim::VirtualModule::State::CommandMode);
         }},
        {"confirmation is answered and ends the wait",
         config(ConsoleStart::Restarting, [](ModuleConfig& c) { c.confirmCommandMode = true; }), true,
         kEsc3 + "Yes\r", [](test::ModuleHarness& h) { EXPECT_EQ(h.nowUs(), h.timeOf("Yes\r") + 3 * kByteUs); }},
        {"silent line: eight failed reads", config(ConsoleStart::AtPrompt, [](ModuleConfig& c) { c.silent = true; }),
         false, "", [](test::ModuleHarness& h) { EXPECT_EQ(h.nowUs(), 8 * kSilentPassUs); }},
        {"chatter: 550 passes", config(ConsoleStart::AtPrompt, [](ModuleConfig& c) { c.chatter = true; }), false, "",
         afterChatterPasses},
        // Reads fail while "Initializing...." stays the last line: the escapes go out again each pass.
        {"escapes repeated", config(ConsoleStart::Restarting, [](ModuleConfig& c) {
             c.ignoreEscape = true, c.escapeWindowUs = 60'000'000;
         }), false, std::string(15, '\x1b'), nullptr},
    };
    for (const auto& [name, cfg, found, sent, check] : cases) {
        SCOPED_TRACE(name);
        test::ModuleHarness h(cfg);
        CUpgradeConsole console;
        ASSERT_EQ(console.reopen("COM1", 38400), 0);
        EXPECT_EQ(console.waitForCommandMode(false), found);
        EXPECT_EQ(h.hostText(), sent);
        if (check)
            check(h);
        if (found) {
            EXPECT_TRUE(console.prepareFlash());  // the module takes commands now
        }
    }
}

// --- command-mode commands ---------------------------------------------------------------------

TEST(ConsoleCommands, EachCommandIsSentInCommandModeOnlyAndWaitsAsItMust)
{
    using Run = std::function<bool(CUpgradeConsole&)>;
    // The case, the module, whether the console logs in first (or only opens the port), the
    // commands, their result, what is sent after the login, and a further check.
    struct Case { const char* name; ModuleConfig config; bool login; Run run; bool result; std::string sent; Check check; };
    const Case cases[] = {
        {"flash preparation, then the fast download", config(ConsoleStart::AtPrompt), true,
         [](CUpgradeConsole& c) { return c.prepareFlash() && c.startFastDownload(); }, true, "AT{P}\rAT{.}\r",
         [](test::ModuleHarness& h) {
             // The command, its 10 s, then the reads that see command mode after it and before AT{.}.
             EXPECT_EQ(h.timeOf("AT{.}\r") - h.timeOf("AT{P}\r"), 6 * kByteUs + 10'000'000 + 1'208'060);
             EXPECT_EQ(h.nowUs() - h.timeOf("AT{.}\r"), 3'000'000 + 5 * kByteUs);
             EXPECT_EQ(h.module.baudRate(), 115200u);
         }},
        // The run goes on at once after the escapes: the module is still starting.
        {"erase", config(ConsoleStart::AtPrompt), true, [](CUpgradeConsole& c) { return c.eraseConfiguration(); }, true,
         "AT{E}\r" + kEsc3, [](test::ModuleHarness& h) { EXPECT_EQ(h.nowUs(), h.timeOf("\x1b", 2)); }},
        {"nothing is sent when command mode never comes", config(ConsoleStart::AtPrompt), false,
         [](CUpgradeConsole& c) {
             return c.prepareFlash() || c.eraseConfiguration() || c.startDownload() || c.startFastDownload();
         },
         false, "", nullptr},
        // The module never comes back from its flash preparation (it outlasts the scan).
        {"flash preparation without command mode after it",
         config(ConsoleStart::Restarting, [](ModuleConfig& c) { c.prepareFlashUs = 1'000'000'000; }), false,
         [](CUpgradeConsole& c) { return c.prepareFlash(); }, false, kEsc3 + "AT{P}\r", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ModuleHarness h(c.config);
        CUpgradeConsole console;
        ASSERT_EQ(c.login ? console.enterCommandMode("COM1", "admin", "tarvel") : console.reopen("COM1", 38400), 0);
        h.line.clearRecords();
        EXPECT_EQ(c.run(console), c.result);
        EXPECT_EQ(h.hostText(), c.sent);
        EXPECT_EQ(std::pair(h.line.inQueue, h.line.outQueue), std::pair(4096u, 4096u));
        if (c.check)
            c.check(h);
    }
}

}  // namespace
