// The verification's console conversation against the virtual module, on virtual time: the login
// passes, the three queries, what each sends and what a missing reply gives.
#include "support/ModuleHarness.h"
#include "verify/CDeviceVerifier.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;

constexpr std::int64_t kByteUs = 260;

ModuleConfig starting(ConsoleStart s)
{
    ModuleConfig c;
    c.start = s;
    return c;
}

// --- login ---------------------------------------------------------------------------------------

TEST(VerifierLogin, AtThePromptNoCredentialsAreSent)
{
    test::ModuleHarness h(starting(ConsoleStart::AtPrompt));
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\r\r");  // the pass's CR, and confirmPrompt's
    // 5 s, the read that ends 200 ms after the prompt arrived, then confirmPrompt's CR.
    EXPECT_EQ(h.timeOf("\r", 1) - h.timeOf("\r"), 5'200'000 + kByteUs);
}

TEST(VerifierLogin, LoggedOutSendsUserThenPassword)
{
    test::ModuleHarness h(starting(ConsoleStart::LoggedOut));
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\radmin\rtarvel\r\r");
    EXPECT_EQ(h.timeOf("tarvel\r") - h.timeOf("admin\r"), 50'000 + 6 * kByteUs);
    EXPECT_EQ(h.module.stats().logins, 1);
}

TEST(VerifierLogin, PasswordPromptGetsAnEmptyLineFirst)
{
    // The module answers the empty password only after 6 s, so the first read still ends at
    // "Password:": an extra CR, 5 s, then the credentials.
    ModuleConfig c = starting(ConsoleStart::PasswordFirst);
    c.loginFailDelayUs = 6'000'000;
    test::ModuleHarness h(c);
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\r\radmin\rtarvel\r\r");
    EXPECT_EQ(h.timeOf("admin\r") - h.timeOf("\r", 1), 5'000'000 + kByteUs);
}

TEST(VerifierLogin, QuickSetupIsDeclinedAndThePassesGoOn)
{
    ModuleConfig c = starting(ConsoleStart::AtPrompt);
    c.quickSetupTimes = 1;
    test::ModuleHarness h(c);
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 0);
    EXPECT_EQ(h.hostText(), "\rNO\r\r\r");
    EXPECT_EQ(h.timeOf("\r", 2) - h.timeOf("NO\r"), 100'000 + 3 * kByteUs);
}

TEST(VerifierLogin, RefusedCredentialsGiveTwo)
{
    test::ModuleHarness h(starting(ConsoleStart::LoggedOut));
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "nope"), 2);
    EXPECT_EQ(h.hostText(), "\radmin\rnope\r");
}

TEST(VerifierLogin, SilentConsoleEndsAfterTwoEmptyReads)
{
    ModuleConfig c;
    c.silent = true;
    test::ModuleHarness h(c);
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 3);
    EXPECT_EQ(h.hostText(), "\r\r");
    EXPECT_EQ(h.nowUs(), 2 * (kByteUs + 5'000'000 + 12'788'000 + 1'000'000));
}

TEST(VerifierLogin, ChatterEndsAfterFourPasses)
{
    ModuleConfig c;
    c.chatter = true;
    test::ModuleHarness h(c);
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 3);
    EXPECT_EQ(h.hostText(), "\r\r\r\r");
}

TEST(VerifierLogin, PortHeldElsewhereGivesOne)
{
    test::ModuleHarness h;
    CSerialPort other;
    ASSERT_TRUE(other.open("COM1", 38400, 4096, 4096));
    CDeviceVerifier v;
    EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 1);
    EXPECT_EQ(h.notifier.texts(), std::vector<std::string>{"Unable to gain access to the COM port."});
}

// --- queries ------------------------------------------------------------------------------------

struct LoggedInVerifier {
    explicit LoggedInVerifier(ModuleConfig c) : h(std::move(c))
    {
        EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 0);
        h.line.clearRecords();
    }
    test::ModuleHarness h;
    CDeviceVerifier v;
};

TEST(VerifierVersion, EqualAndNewerTargetsPassOlderGivesFour)
{
    ModuleConfig c;
    c.version = "2.0.10";
    LoggedInVerifier s(c);
    char out[10] = "x.x.x";
    EXPECT_EQ(s.v.checkVersion("2.0.10", out), 0);
    EXPECT_STREQ(out, "2.0.10");
    EXPECT_EQ(s.h.hostText(), "\rShow System\r");
    EXPECT_EQ(s.v.checkVersion("2.1.0", out), 0);
    EXPECT_EQ(s.v.checkVersion("2.0.9", out), 4);
    EXPECT_EQ(s.v.checkVersion("1.99.99", out), 4);
}

TEST(VerifierVersion, ReplyWithoutTheLabelReadsFromPositionTen)
{
    ModuleConfig c;
    c.systemReply = "\r\nSystem:  3.0.0 (no comma)\r\n";
    LoggedInVerifier s(c);
    char out[10] = "x.x.x";
    // No comma after position 10: the version text is empty, counts as 0 and never blocks.
    EXPECT_EQ(s.v.checkVersion("1.0.0", out), 0);
    EXPECT_STREQ(out, "");
}

TEST(VerifierVersion, LongVersionTextIsCutToTheBufferAndComparedWhole)
{
    ModuleConfig c;
    c.version = "12.345.6789";  // 11 characters
    LoggedInVerifier s(c);
    char guarded[16];
    std::memset(guarded, '#', sizeof guarded);
    EXPECT_EQ(s.v.checkVersion("12.345.6789", guarded, 10), 0);
    EXPECT_STREQ(guarded, "12.345.67");
    for (std::size_t i = 10; i < sizeof guarded; ++i)
        EXPECT_EQ(guarded[i], '#') << i;
    EXPECT_EQ(s.v.checkVersion("12.345.6788", guarded, 10), 4);
}

TEST(VerifierVersion, NoReplyGivesOneAndLeavesTheBuffer)
{
    ModuleConfig c;
    c.hangAtUs = 5'300'000;  // answers the login (done by 5.25 s), then nothing more
    LoggedInVerifier s(c);
    char out[10] = "x.x.x";
    EXPECT_EQ(s.v.checkVersion("2.0.10", out), 1);
    EXPECT_STREQ(out, "x.x.x");
}

TEST(VerifierMemory, FigureMustExceed4096ForTargetsFrom150)
{
    for (const auto& [figure, expected] : {std::pair<const char*, int>{"4096", 5}, {"4097", 0}, {"0", 5}, {"1048576", 0}}) {
        ModuleConfig c;
        c.memoryFigure = figure;
        LoggedInVerifier s(c);
        EXPECT_EQ(s.v.checkMemory("1.5.13"), expected) << figure;
        EXPECT_EQ(s.h.hostText(), "\rShow Memory\r");
    }
}

TEST(VerifierMemory, TargetsBelow150AreNotAsked)
{
    ModuleConfig c;
    c.memoryFigure = "16";
    LoggedInVerifier s(c);
    EXPECT_EQ(s.v.checkMemory("1.4.99"), 0);
    EXPECT_EQ(s.h.hostText(), "");
    EXPECT_EQ(s.v.checkMemory("1.5.0"), 5);
}

TEST(VerifierMemory, MissingLabelAndNoReply)
{
    {
        ModuleConfig c;
        c.memoryReply = "\r\nMemory: 65536 KBytes\r\n";
        LoggedInVerifier s(c);
        EXPECT_EQ(s.v.checkMemory("2.0.10"), 5);
    }
    {
        ModuleConfig c;
        c.hangAtUs = 5'300'000;
        LoggedInVerifier s(c);
        EXPECT_EQ(s.v.checkMemory("2.0.10"), 1);
    }
}

ModuleConfig withFiles(const std::string& threshold, std::vector<sim::ModuleFile> files)
{
    ModuleConfig c;
    c.threshold = threshold;
    c.files = std::move(files);
    return c;
}

TEST(VerifierFlash, SendsTheListCommandThenASpace)
{
    LoggedInVerifier s(ModuleConfig{});
    EXPECT_EQ(s.v.checkFlashSpace(3'142'217), 0);
    EXPECT_EQ(s.h.hostText(), "\rList Files\r ");
    EXPECT_EQ(s.h.timeOf(" ", 1) - s.h.timeOf("\rList Files\r"), 50'000 + 12 * kByteUs);
}

TEST(VerifierFlash, ThresholdDecidesTheFlashSize)
{
    // 1,000,000 bytes of configuration fit only in the large flash.
    const std::vector<sim::ModuleFile> files{{"quorvel.bin.z", 2'900'000}, {"system.cfg", 1'000'000}};
    EXPECT_EQ(LoggedInVerifier(withFiles("4096", files)).v.checkFlashSpace(3'142'217), 6);
    EXPECT_EQ(LoggedInVerifier(withFiles("4097", files)).v.checkFlashSpace(3'142'217), 0);
}

TEST(VerifierFlash, SpareZeroFailsSpareOnePasses)
{
    // 3,670,016 - 3,142,217 - 72,704 = 455,095 bytes left for the configuration, exclusive.
    const auto files = [](std::int64_t cfg) {
        return std::vector<sim::ModuleFile>{{"rtboot.bin", 131'072}, {"a.cfg", cfg - 1000}, {"b.cfg", 1000}};
    };
    EXPECT_EQ(LoggedInVerifier(withFiles("100", files(455'095))).v.checkFlashSpace(3'142'217), 6);
    EXPECT_EQ(LoggedInVerifier(withFiles("100", files(455'094))).v.checkFlashSpace(3'142'217), 0);
}

TEST(VerifierFlash, ListingPastTwoToTheThirtyFirstFails)
{
    const std::vector<sim::ModuleFile> files{{"a.cfg", 2'147'483'647}, {"b.cfg", 2'147'483'647}, {"c.cfg", 2}};
    EXPECT_EQ(LoggedInVerifier(withFiles("8192", files)).v.checkFlashSpace(3'142'217), 6);
}

TEST(VerifierFlash, NoReplyGivesOne)
{
    ModuleConfig c;
    c.hangAtUs = 5'300'000;
    LoggedInVerifier s(c);
    EXPECT_EQ(s.v.checkFlashSpace(3'142'217), 1);
}

}  // namespace
