// The upgrade's console dialogue against the virtual module, on virtual time: what is sent, in
// which order and when, for every console state the scans know, and where the scans give up.
#include "serial/CUpgradeConsole.h"
#include "support/ModuleHarness.h"

#include <gtest/gtest.h>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;

const std::string kEsc3 = "\x1b\x1b\x1b";
constexpr std::int64_t kByteUs = 260;  // one character at 38,400 bps on the simulated line

ModuleConfig starting(ConsoleStart s)
{
    ModuleConfig c;
    c.start = s;
    return c;
}

// --- enterCommandMode: the console states and what is sent ---------------------------------------

TEST(EnterCommandMode, AtThePromptRestartsWithoutCredentialsAtTheRightTimes)
{
    test::ModuleHarness h(starting(ConsoleStart::AtPrompt));
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);

    EXPECT_EQ(h.hostText(), "\r\rreboot\rYes\r" + kEsc3);
    EXPECT_EQ(h.timeOf("\r"), kByteUs);  // the wake-up goes out first
    const std::int64_t reboot = h.timeOf("reboot\r");
    const std::int64_t yes = h.timeOf("Yes\r");
    const std::int64_t esc = h.timeOf(kEsc3);
    EXPECT_EQ(yes - reboot, 500'000 + 7 * kByteUs);
    EXPECT_EQ(esc - yes, 8'000'000 + 4 * kByteUs);
    EXPECT_EQ(h.nowUs(), esc + 2 * kByteUs + 500'000);  // returns 500 ms after the last ESC
    EXPECT_EQ(h.module.stats().commandModeEntries, 1);
    EXPECT_TRUE(console.isOpen());
}

TEST(EnterCommandMode, LoggedOutLogsInWithUserThenPassword)
{
    test::ModuleHarness h(starting(ConsoleStart::LoggedOut));
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\radmin\rtarvel\r\rreboot\rYes\r" + kEsc3);
    EXPECT_EQ(h.timeOf("tarvel\r") - h.timeOf("admin\r"), 50'000 + 6 * kByteUs);
    // 5 s after the password the prompt is read and confirmed with a CR.
    EXPECT_GE(h.timeOf("\r", 3) - h.timeOf("tarvel\r"), 5'000'000);
    EXPECT_EQ(h.module.stats().logins, 1);
    EXPECT_EQ(h.module.stats().commandModeEntries, 1);
}

TEST(EnterCommandMode, PasswordFirstSendsAnEmptyAnswerThenLogsIn)
{
    test::ModuleHarness h(starting(ConsoleStart::PasswordFirst));
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\r\radmin\rtarvel\r\rreboot\rYes\r" + kEsc3);
    EXPECT_EQ(h.timeOf("admin\r") - h.timeOf("\r", 1), 5'000'000 + kByteUs);
    EXPECT_EQ(h.timeOf("tarvel\r") - h.timeOf("admin\r"), 50'000 + 6 * kByteUs);
    EXPECT_EQ(h.module.stats().logins, 1);
}

TEST(EnterCommandMode, RefusedLoginStopsBeforeAnyRestart)
{
    test::ModuleHarness h(starting(ConsoleStart::LoggedOut));
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "guess"), 2);
    EXPECT_EQ(h.hostText(), "\radmin\rguess\r");  // "Login:" is no prompt: nothing to confirm
    EXPECT_EQ(h.count("reboot"), 0u);
    EXPECT_EQ(h.count("\x1b"), 0u);
    EXPECT_EQ(h.module.stats().restarts, 0);
    EXPECT_TRUE(console.isOpen());
}

TEST(EnterCommandMode, EmptyCredentialsAreBareCarriageReturns)
{
    test::ModuleHarness h(starting(ConsoleStart::LoggedOut));
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "", ""), 2);
    EXPECT_EQ(h.hostText(), "\r\r\r");
}

TEST(EnterCommandMode, LoginSplitOverTwoReadsIsMatchedInTheSecondPass)
{
    ModuleConfig c = starting(ConsoleStart::LoggedOut);
    c.promptAtStart = false;
    c.chunkAt = 3;  // "Log", then 250 ms later "in: "
    c.chunkOnly = "Login:";
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText().substr(0, 14), "\radmin\rtarvel\r");
    // First pass: "Log" (read ends 200 ms after it) and 500 ms; second pass reads the rest.
    const std::int64_t user = h.timeOf("admin\r");
    EXPECT_GT(user, 700'000);
    EXPECT_LT(user, 1'000'000);
}

TEST(EnterCommandMode, QuickSetupAskedTwiceIsDeclinedTwice)
{
    ModuleConfig c = starting(ConsoleStart::AtPrompt);
    c.quickSetupTimes = 2;
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\rNO\rNO\r\rreboot\rYes\r" + kEsc3);
    EXPECT_EQ(h.module.stats().quickSetupDeclined, 2);
}

TEST(EnterCommandMode, AlreadyRestartingOnlyGetsTheEscapes)
{
    test::ModuleHarness h(starting(ConsoleStart::Restarting));
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\r" + kEsc3);
    EXPECT_EQ(h.nowUs(), h.timeOf("\x1b", 2) + 500'000);
    EXPECT_EQ(h.module.stats().commandModeEntries, 1);
}

TEST(EnterCommandMode, CommandModeTextsAreNotOutcomes)
{
    // A module already in command mode keeps saying "Remaining in AT command mode.": that is
    // nothing the start of an upgrade recognises, so the scan runs out and sends nothing more.
    test::ModuleHarness h(starting(ConsoleStart::Restarting));
    {
        CSerialPort escape;
        ASSERT_TRUE(escape.open("COM1", 38400, 4096, 4096));
        for (int i = 0; i < 3; ++i)
            escape.writeByte(27);
    }
    h.line.clearRecords();
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 3);
    EXPECT_EQ(h.hostText(), "\r");
}

TEST(EnterCommandMode, EchoingAndSlowConsolesStillReachCommandMode)
{
    ModuleConfig echoing = starting(ConsoleStart::LoggedOut);
    echoing.echo = true;
    ModuleConfig slow = starting(ConsoleStart::LoggedOut);
    slow.replyDelayUs = 3'000'000;  // slower than every fixed wait of the dialogue but the login's
    for (const ModuleConfig& c : {echoing, slow}) {
        test::ModuleHarness h(c);
        CUpgradeConsole console;
        EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
        EXPECT_EQ(h.hostText(), "\radmin\rtarvel\r\rreboot\rYes\r" + kEsc3);
        EXPECT_TRUE(console.prepareFlash());
        EXPECT_EQ(h.module.stats().flashPrepared, 1);
    }
}

TEST(EnterCommandMode, PortThatCannotBeOpenedGivesOneAndSendsNothing)
{
    test::ModuleHarness h;
    sim::LineFaults f;
    f.failOpen = true;
    h.line.setFaults(f);
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 1);
    ASSERT_EQ(h.notifier.texts().size(), 1u);
    EXPECT_EQ(h.notifier.texts()[0], "Unable to gain access to the COM port.");
    EXPECT_EQ(h.hostText(), "");
    EXPECT_FALSE(console.isOpen());
}

// --- where the scans give up ---------------------------------------------------------------------

TEST(ConsoleLimits, SilentLineEndsEnterCommandModeAfterSevenFailedReads)
{
    ModuleConfig c;
    c.silent = true;
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 3);
    // Wake-up, then seven times: a 12,788 ms read, "\r", 50 ms and the 500 ms pass wait.
    EXPECT_EQ(h.hostText(), std::string(8, '\r'));
    EXPECT_EQ(h.nowUs(), kByteUs + 50'000 + 7 * (12'788'000 + kByteUs + 50'000 + 500'000));
}

TEST(ConsoleLimits, SilentLineEndsWaitForCommandModeAfterEightFailedReads)
{
    ModuleConfig c;
    c.silent = true;
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_FALSE(console.waitForCommandMode(false));
    EXPECT_EQ(h.nowUs(), 8 * (12'788'000 + 500'000));
    EXPECT_EQ(h.hostText(), "");
}

TEST(ConsoleLimits, ChatterEndsEitherScanAfter550Passes)
{
    // One status line a second, none of them expected: each pass is one read plus 500 ms and
    // takes exactly a second, so the pass count shows in the virtual time.
    ModuleConfig c;
    c.chatter = true;
    {
        test::ModuleHarness h(c);
        CUpgradeConsole console;
        EXPECT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 3);
        EXPECT_EQ(h.hostText(), "\r");  // no read failed
        EXPECT_GT(h.nowUs(), 550'500'000);
        EXPECT_LT(h.nowUs(), 551'000'000);
    }
    {
        test::ModuleHarness h(c);
        CUpgradeConsole console;
        ASSERT_EQ(console.reopen("COM1", 38400), 0);
        EXPECT_FALSE(console.waitForCommandMode(false));
        EXPECT_GT(h.nowUs(), 550'500'000);
        EXPECT_LT(h.nowUs(), 551'000'000);
    }
}

// --- waitForCommandMode ------------------------------------------------------------------------

TEST(WaitForCommandMode, ConsoleStatesOutsideCommandModeAreOnlyRead)
{
    ModuleConfig quick = starting(ConsoleStart::AtPrompt);
    quick.quickSetupTimes = 1;
    for (const ModuleConfig& c : {starting(ConsoleStart::LoggedOut), starting(ConsoleStart::PasswordFirst),
                                  starting(ConsoleStart::AtPrompt), quick}) {
        test::ModuleHarness h(c);
        CUpgradeConsole console;
        ASSERT_EQ(console.reopen("COM1", 38400), 0);
        EXPECT_FALSE(console.waitForCommandMode(false));
        EXPECT_EQ(h.hostText(), "");  // no login, no "NO", no wake-up
    }
}

TEST(WaitForCommandMode, InitializingIsInterruptedAndTheScanGoesOnToTheHelpLine)
{
    test::ModuleHarness h(starting(ConsoleStart::Restarting));
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_TRUE(console.waitForCommandMode(false));
    EXPECT_EQ(h.hostText(), kEsc3);
    // It went on reading after the escapes: past the 500 ms pass wait.
    EXPECT_GE(h.nowUs() - h.timeOf("\x1b", 2), 500'000);
    EXPECT_EQ(h.module.state(), sim::VirtualModule::State::CommandMode);
}

TEST(WaitForCommandMode, ReturnAtInitializingReturnsRightAfterTheEscapes)
{
    test::ModuleHarness h(starting(ConsoleStart::Restarting));
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_TRUE(console.waitForCommandMode(true));
    EXPECT_EQ(h.hostText(), kEsc3);
    EXPECT_EQ(h.nowUs(), h.timeOf("\x1b", 2));
}

TEST(WaitForCommandMode, EscapesAreRepeatedWhileInitializingStaysTheLastLine)
{
    ModuleConfig c = starting(ConsoleStart::Restarting);
    c.ignoreEscape = true;
    c.escapeWindowUs = 60'000'000;  // reads fail while "Initializing...." stays the last line
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_FALSE(console.waitForCommandMode(false));
    const std::size_t escapes = h.count("\x1b");
    EXPECT_GE(escapes, 6u);
    EXPECT_EQ(escapes % 3, 0u);
    EXPECT_EQ(h.hostText(), std::string(escapes, '\x1b'));
}

TEST(WaitForCommandMode, ConfirmationIsAnsweredAndEndsTheWait)
{
    ModuleConfig c = starting(ConsoleStart::Restarting);
    c.confirmCommandMode = true;
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_TRUE(console.waitForCommandMode(false));
    EXPECT_EQ(h.hostText(), kEsc3 + "Yes\r");
    EXPECT_EQ(h.nowUs(), h.timeOf("Yes\r") + 3 * kByteUs);  // no wait after the answer
    // The module takes commands now.
    EXPECT_TRUE(console.prepareFlash());
    EXPECT_EQ(h.module.stats().flashPrepared, 1);
}

// --- command-mode commands ---------------------------------------------------------------------

struct CommandModeRun : ::testing::Test {
    test::ModuleHarness h{starting(ConsoleStart::AtPrompt)};
    CUpgradeConsole console;
    void SetUp() override
    {
        ASSERT_EQ(console.enterCommandMode("COM1", "admin", "tarvel"), 0);
        h.line.clearRecords();
    }
};

TEST_F(CommandModeRun, PrepareFlashWaitsForCommandModeBeforeAndAfter)
{
    EXPECT_TRUE(console.prepareFlash());
    EXPECT_EQ(h.hostText(), "AT{P}\r");
    EXPECT_EQ(h.module.stats().flashPrepared, 1);
    // 10 s after the command the module is back in command mode and was seen there.
    EXPECT_GE(h.nowUs() - h.timeOf("AT{P}\r"), 10'000'000);
}

TEST_F(CommandModeRun, EraseReturnsAtTheRestartThenDownloadFollows)
{
    EXPECT_TRUE(console.eraseConfiguration());
    EXPECT_EQ(h.hostText(), "AT{E}\r" + kEsc3);
    EXPECT_EQ(h.module.stats().configErased, 1);
    EXPECT_EQ(h.module.stats().commandModeEntries, 2);
    EXPECT_TRUE(console.startDownload());
    EXPECT_EQ(h.hostText(), "AT{E}\r" + kEsc3 + "AT{Z}\r");
    EXPECT_EQ(h.module.stats().downloads, 1);
    EXPECT_EQ(h.module.state(), sim::VirtualModule::State::Receiving);
}

TEST_F(CommandModeRun, DownloadCommandsWaitThreeSecondsAfterSending)
{
    ASSERT_TRUE(console.prepareFlash());
    h.line.clearRecords();
    EXPECT_TRUE(console.startFastDownload());
    EXPECT_EQ(h.hostText(), "AT{.}\r");
    EXPECT_EQ(h.nowUs() - h.timeOf("AT{.}\r"), 3'000'000 + 5 * kByteUs);
    EXPECT_EQ(h.module.baudRate(), 115200u);
    EXPECT_EQ(console.reopen("COM1", 115200), 0);
    EXPECT_EQ(h.line.openSpeeds(), (std::vector<std::uint32_t>{115200}));
}

TEST(ConsoleCommands, NothingIsSentWhenCommandModeNeverComes)
{
    test::ModuleHarness h(starting(ConsoleStart::AtPrompt));
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_FALSE(console.prepareFlash());
    EXPECT_FALSE(console.eraseConfiguration());
    EXPECT_FALSE(console.startDownload());
    EXPECT_FALSE(console.startFastDownload());
    EXPECT_EQ(h.hostText(), "");
    EXPECT_EQ(h.module.stats().flashPrepared, 0);
}

TEST(ConsoleCommands, PrepareFlashFailsWhenCommandModeDoesNotReturn)
{
    // The module never comes back from its flash preparation (it outlasts the scan).
    ModuleConfig c = starting(ConsoleStart::Restarting);
    c.prepareFlashUs = 1'000'000'000;
    test::ModuleHarness h(c);
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    EXPECT_FALSE(console.prepareFlash());
    EXPECT_EQ(h.hostText(), kEsc3 + "AT{P}\r");
}

TEST(ConsoleCommands, ReopenFailureIsReportedAsOne)
{
    test::ModuleHarness h;
    CUpgradeConsole console;
    ASSERT_EQ(console.reopen("COM1", 38400), 0);
    sim::LineFaults f;
    f.failOpen = true;
    h.line.setFaults(f);
    EXPECT_EQ(console.reopen("COM1", 115200), 1);
    EXPECT_FALSE(console.isOpen());
    ASSERT_EQ(h.notifier.texts().size(), 1u);
    EXPECT_EQ(h.notifier.texts()[0], "Unable to gain access to the COM port.");
}

}  // namespace
