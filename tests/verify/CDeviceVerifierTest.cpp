// The verification's console conversation against the virtual module, on virtual time: the login
// passes, the three queries, what each sends and what a missing reply gives.
#include "support/ModuleHarness.h"
#include "verify/CDeviceVerifier.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;
using Tweak = std::function<void(ModuleConfig&)>;

constexpr std::int64_t kByteUs = 260;

ModuleConfig config(const Tweak& tweak, ConsoleStart s = ConsoleStart::AtPrompt)
{
    ModuleConfig c;
    c.start = s;
    if (tweak)
        tweak(c);
    return c;
}
// Answers the login (done by 5.25 s), then nothing more.
const Tweak kHangsAfterLogin = [](ModuleConfig& c) { c.hangAtUs = 5'300'000; };

// --- login ---------------------------------------------------------------------------------------

TEST(VerifierLogin, EveryConsoleStateSendsItsPassesAtTheRightTimes)
{
    struct Case {
        const char* name;
        ModuleConfig config;
        std::string password;
        int code;
        std::string sent;
        std::function<void(test::ModuleHarness&)> check;
    };
    const Case cases[] = {
        // The pass's CR, and confirmPrompt's: 5 s, the read that ends 200 ms after the prompt
        // arrived, then confirmPrompt's CR.
        {"at the prompt: no credentials", config({}), "tarvel", 0, "\r\r",
         [](test::ModuleHarness& h) { EXPECT_EQ(h.timeOf("\r", 1) - h.timeOf("\r"), 5'200'000 + kByteUs); }},
        {"logged out: user, then password", config({}, ConsoleStart::LoggedOut), "tarvel", 0, "\radmin\rtarvel\r\r",
         [](test::ModuleHarness& h) {
             EXPECT_EQ(h.timeOf("tarvel\r") - h.timeOf("admin\r"), 50'000 + 6 * kByteUs);
             EXPECT_EQ(h.module.stats().logins, 1);
         }},
        // The module answers the empty password only after 6 s, so the first read still ends at
        // "Password:": an extra CR, 5 s, then the credentials.
        {"password prompt gets an empty line first",
         config([](ModuleConfig& c) { c.loginFailDelayUs = 6'000'000; }, ConsoleStart::PasswordFirst), "tarvel", 0,
         "\r\radmin\rtarvel\r\r",
         [](test::ModuleHarness& h) { EXPECT_EQ(h.timeOf("admin\r") - h.timeOf("\r", 1), 5'000'000 + kByteUs); }},
        {"quick setup is declined and the passes go on", config([](ModuleConfig& c) { c.quickSetupTimes = 1; }),
         "tarvel", 0, "\rNO\r\r\r",
         [](test::ModuleHarness& h) { EXPECT_EQ(h.timeOf("\r", 2) - h.timeOf("NO\r"), 100'000 + 3 * kByteUs); }},
        {"refused credentials", config({}, ConsoleStart::LoggedOut), "nope", 2, "\radmin\rnope\r", nullptr},
        {"silent console: two empty reads", config([](ModuleConfig& c) { c.silent = true; }), "tarvel", 3, "\r\r",
         [](test::ModuleHarness& h) {
             EXPECT_EQ(h.nowUs(), 2 * (kByteUs + 5'000'000 + 12'788'000 + 1'000'000));
         }},
        {"chatter: four passes", config([](ModuleConfig& c) { c.chatter = true; }), "tarvel", 3, "\r\r\r\r", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ModuleHarness h(c.config);
        EXPECT_EQ(CDeviceVerifier().login("COM1", "admin", c.password), c.code);
        EXPECT_EQ(h.hostText(), c.sent);
        if (c.check)
            c.check(h);
    }
}

TEST(VerifierLogin, PortHeldElsewhereGivesOne)
{
    test::ModuleHarness h;
    CSerialPort other;
    ASSERT_TRUE(other.open("COM1", 38400, 4096, 4096));
    EXPECT_EQ(CDeviceVerifier().login("COM1", "admin", "tarvel"), 1);
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
    LoggedInVerifier s(config([](ModuleConfig& c) { c.version = "2.0.10"; }));
    char out[10] = "x.x.x";
    EXPECT_EQ(s.v.checkVersion("2.0.10", out), 0);
    EXPECT_STREQ(out, "2.0.10");
    EXPECT_EQ(s.h.hostText(), "\rShow System\r");
    EXPECT_EQ(s.v.checkVersion("2.1.0", out), 0);
    EXPECT_EQ(s.v.checkVersion("2.0.9", out), 4);
    EXPECT_EQ(s.v.checkVersion("1.99.99", out), 4);
}

TEST(VerifierVersion, OddRepliesAndNoReply)
{
    // No comma after position 10: the version text is empty, counts as 0 and never blocks.
    LoggedInVerifier unlabelled(config([](ModuleConfig& c) { c.systemReply = "\r\nSystem:  3.0.0 (no comma)\r\n"; }));
    char out[10] = "x.x.x";
    EXPECT_EQ(unlabelled.v.checkVersion("1.0.0", out), 0);
    EXPECT_STREQ(out, "");
    // No reply gives one and leaves the buffer.
    std::strcpy(out, "x.x.x");
    EXPECT_EQ(LoggedInVerifier(config(kHangsAfterLogin)).v.checkVersion("2.0.10", out), 1);
    EXPECT_STREQ(out, "x.x.x");
}

TEST(VerifierVersion, LongVersionTextIsCutToTheBufferAndComparedWhole)
{
    LoggedInVerifier s(config([](ModuleConfig& c) { c.version = "12.345.6789"; }));  // 11 characters
    char guarded[16];
    std::memset(guarded, '#', sizeof guarded);
    EXPECT_EQ(s.v.checkVersion("12.345.6789", guarded, 10), 0);
    EXPECT_STREQ(guarded, "12.345.67");
    for (std::size_t i = 10; i < sizeof guarded; ++i)
        EXPECT_EQ(guarded[i], '#') << i;
    EXPECT_EQ(s.v.checkVersion("12.345.6788", guarded, 10), 4);
}

TEST(VerifierMemory, FigureMustExceed4096ForTargetsFrom150)
{
    const auto figure = [](const char* f) { return config([f](ModuleConfig& c) { c.memoryFigure = f; }); };
    const struct {
        ModuleConfig config;
        const char* target;
        int code;
        std::string sent;
    } cases[] = {
        {figure("4096"), "1.5.13", 5, "\rShow Memory\r"},
        {figure("4097"), "1.5.13", 0, "\rShow Memory\r"},
        {figure("0"), "1.5.13", 5, "\rShow Memory\r"},
        {figure("1048576"), "1.5.13", 0, "\rShow Memory\r"},
        {figure("16"), "1.4.99", 0, ""},  // targets below 1.5.0 are not asked
        {figure("16"), "1.5.0", 5, "\rShow Memory\r"},
        {config([](ModuleConfig& c) { c.memoryReply = "\r\nMemory: 65536 KBytes\r\n"; }), "2.0.10", 5,
         "\rShow Memory\r"},  // no label
        {config(kHangsAfterLogin), "2.0.10", 1, "\rShow Memory\r"},
    };
    for (const auto& c : cases) {
        LoggedInVerifier s(c.config);
        EXPECT_EQ(s.v.checkMemory(c.target), c.code) << c.config.memoryFigure << " " << c.target;
        EXPECT_EQ(s.h.hostText(), c.sent);
    }
}

TEST(VerifierFlash, SendsTheListCommandThenASpace)
{
    LoggedInVerifier s(ModuleConfig{});
    EXPECT_EQ(s.v.checkFlashSpace(3'142'217), 0);
    EXPECT_EQ(s.h.hostText(), "\rList Files\r ");
    EXPECT_EQ(s.h.timeOf(" ", 1) - s.h.timeOf("\rList Files\r"), 50'000 + 12 * kByteUs);
}

TEST(VerifierFlash, ThresholdSpareAndSumDecide)
{
    const auto withFiles = [](const char* threshold, std::vector<sim::ModuleFile> files) {
        return config([=](ModuleConfig& c) { c.threshold = threshold, c.files = files; });
    };
    // 1,000,000 bytes of configuration fit only in the large flash.
    const std::vector<sim::ModuleFile> megabyte{{"quorvel.bin.z", 2'900'000}, {"system.cfg", 1'000'000}};
    // 3,670,016 - 3,142,217 - 72,704 = 455,095 bytes left for the configuration, exclusive.
    const auto spare = [](std::int64_t cfg) {
        return std::vector<sim::ModuleFile>{{"rtboot.bin", 131'072}, {"a.cfg", cfg - 1000}, {"b.cfg", 1000}};
    };
    const std::pair<ModuleConfig, int> cases[] = {
        {withFiles("4096", megabyte), 6},
        {withFiles("4097", megabyte), 0},
        {withFiles("100", spare(455'095)), 6},
        {withFiles("100", spare(455'094)), 0},
        // A listing past 2^31 in 32 bits would wrap and pass.
        {withFiles("8192", {{"a.cfg", 2'147'483'647}, {"b.cfg", 2'147'483'647}, {"c.cfg", 2}}), 6},
        {config(kHangsAfterLogin), 1},
    };
    for (const auto& [module, code] : cases) {
        SCOPED_TRACE(module.threshold);
        EXPECT_EQ(LoggedInVerifier(module).v.checkFlashSpace(3'142'217), code);
    }
}

}  // namespace
