// The verification's console conversation against the virtual module, on virtual time: the login
// passes, the queries and their timing, the order of the checks (the first failure decides),
// what is written back, and the operator texts, byte for byte.
#include "app/StringTable.h"
#include "serial/CSerialPort.h"
#include "support/ModuleHarness.h"
#include "verify/CDeviceVerifier.h"
#include "verify/Verification.h"

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
        {"at the prompt: no credentials", config({}), "tarvel", 0, "\r\r", nullptr},
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

struct LoggedInVerifier {
    explicit LoggedInVerifier(ModuleConfig c) : h(std::move(c))
    {
        EXPECT_EQ(v.login("COM1", "admin", "tarvel"), 0);
        h.line.clearRecords();
    }
    test::ModuleHarness h;
    CDeviceVerifier v;
};

TEST(VerifierQueries, AnUnansweredQueryGivesOneAndAVersionIsCutToItsBuffer)
{
    char out[16];
    std::memset(out, '#', sizeof out);
    std::strcpy(out, "x.x.x");
    EXPECT_EQ(LoggedInVerifier(config(kHangsAfterLogin)).v.checkVersion("2.0.10", out), 1);
    EXPECT_STREQ(out, "x.x.x");
    EXPECT_EQ(LoggedInVerifier(config(kHangsAfterLogin)).v.checkMemory("2.0.10"), 1);
    EXPECT_EQ(LoggedInVerifier(config(kHangsAfterLogin)).v.checkFlashSpace(3'142'217), 1);

    LoggedInVerifier s(config([](ModuleConfig& c) { c.version = "12.345.6789"; }));  // 11 characters
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(s.v.checkVersion("12.345.6789", out, 10), 0) << "compared whole";
    EXPECT_STREQ(out, "12.345.67");
    EXPECT_EQ(std::string(out + 10, 6), "######");
    EXPECT_EQ(s.v.checkVersion("12.345.6788", out, 10), 4);
}

ModuleConfig module(const std::string& version, const Tweak& tweak = {})
{
    ModuleConfig c;
    c.version = version;
    c.memoryFigure = "16384";
    if (tweak)
        tweak(c);
    return c;
}

// Which queries the host sent, in order: S(ystem), M(emory), L(ist).
std::string queries(const test::ModuleHarness& h)
{
    std::string letters;
    for (const auto& b : h.bursts())
        for (const auto& [text, letter] : {std::pair<const char*, char>{"Show System", 'S'},
                                           {"Show Memory", 'M'}, {"List Files", 'L'}})
            if (b.text.find(text) != std::string::npos)
                letters += letter;
    return letters;
}

TEST(RunVerification, TheWholeConversationOfAHealthyModule)
{
    test::ModuleHarness h(module("1.5.13"));
    UpgradeSettings s;
    s.username = "admin", s.password = "tarvel";
    EXPECT_EQ(runVerification(s), 0);
    // The login's two passes, 250 ms, then each query 2.5 s after the reply to the one before
    // it has ended, and the listing's space 50 ms after its command.
    const std::vector<std::pair<std::int64_t, std::string>> expected = {
        {260, "\r"}, {5'200'520, "\r"}, {5'450'780, "\rShow System\r"}, {8'154'160, "\rShow Memory\r"},
        {10'857'540, "\rList Files\r"}, {10'910'660, " "}};
    std::vector<std::pair<std::int64_t, std::string>> sent;
    for (const auto& b : h.bursts())
        sent.emplace_back(b.atUs, b.text);
    EXPECT_EQ(sent, expected);
}

TEST(RunVerification, ChecksRunInOrderAndTheFirstFailureDecides)
{
    // 500,000 bytes of configuration in the small flash: too much beside the default program
    // (limit 455,094), enough beside a 3,000,000-byte one (limit 597,312).
    const auto halfMegabyte = [](ModuleConfig& c) {
        c.threshold = "1024";
        c.files = {{"quorvel.bin.z", 2'900'000}, {"system.cfg", 500'000}};
    };
    // 3,670,016 - 3,142,217 - 72,704 = 455,095 bytes left for the configuration, exclusive.
    const auto configuration = [](std::int64_t size) {
        return [size](ModuleConfig& c) {
            c.threshold = "4096";
            c.files = {{"rtboot.bin", 131'072}, {"event-log.local", 9'999}, {"system.cfg", size}};
        };
    };
    const auto memory = [](const char* figure) { return [figure](ModuleConfig& c) { c.memoryFigure = figure; }; };
    struct Case {
        const char* name;
        ModuleConfig config;
        std::string target, password;
        std::int32_t programSize;  // 0: chosen by the target
        int code;
        std::string deviceVersion, queries;
        bool unopenable = false;
    };
    const Case cases[] = {
        {"echoing", module("2.0.1", [](ModuleConfig& c) { c.echo = true, c.start = ConsoleStart::LoggedOut; }),
         "2.0.10", "tarvel", 0, 0, "2.0.1", "SML"},
        // Answers after the 2.5 s query wait: the read still takes it.
        {"slow", module("2.0.1", [](ModuleConfig& c) { c.replyDelayUs = 3'000'000; }), "2.0.10", "tarvel", 0, 0,
         "2.0.1", "SML"},
        {"default program size", module("1.5.0", halfMegabyte), "2.0.10", "tarvel", 0, 6, "1.5.0", "SML"},
        {"given program size", module("1.5.0", halfMegabyte), "2.0.10", "tarvel", 3'000'000, 0, "1.5.0", "SML"},
        {"equal version", module("2.0.10"), "2.0.10", "tarvel", 0, 0, "2.0.10", "SML"},
        {"newer module", module("2.0.11"), "2.0.10", "tarvel", 0, 4, "2.0.11", "S"},
        {"memory at the floor", module("1.5.0", memory("4096")), "1.5.13", "tarvel", 0, 5, "1.5.0", "SM"},
        {"memory above it", module("1.5.0", memory("4097")), "1.5.13", "tarvel", 0, 0, "1.5.0", "SML"},
        {"memory without its label", module("1.5.0", [](ModuleConfig& c) { c.memoryReply = "\r\nMemory: 65536 KBytes\r\n"; }),
         "2.0.10", "tarvel", 0, 5, "1.5.0", "SM"},
        {"memory asked from target 1.5.0", module("1.4.0", memory("16")), "1.5.0", "tarvel", 0, 5, "1.4.0", "SM"},
        {"but not below", module("1.4.0", memory("16")), "1.4.99", "tarvel", 0, 0, "1.4.0", "SL"},
        {"flash one byte over", module("2.0.0", configuration(455'095)), "2.0.10", "tarvel", 0, 6, "2.0.0", "SML"},
        {"flash at the limit", module("2.0.0", configuration(455'094)), "2.0.10", "tarvel", 0, 0, "2.0.0", "SML"},
        {"overlong module version is stored cut", module("10.100.1000"), "99.0.0", "tarvel", 0, 0, "10.100.10",
         "SML"},
        // Login failures keep what an earlier verification found.
        {"refused login", module("2.0.0", [](ModuleConfig& c) { c.start = ConsoleStart::LoggedOut; }), "1.5.13",
         "wrong", 0, 2, "1.2.3", ""},
        {"silent console", module("2.0.0", [](ModuleConfig& c) { c.silent = true; }), "1.5.13", "tarvel", 0, 3,
         "1.2.3", ""},
        {"port that cannot be opened", module("2.0.0"), "1.5.13", "tarvel", 0, 1, "1.2.3", "", true},
        // An unanswered version query resets the version.
        {"no reply after the login", module("2.0.10", kHangsAfterLogin), "2.0.10", "tarvel", 0, 1, "x.x.x", "S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ModuleHarness h(c.config);
        sim::LineFaults unopenable;
        unopenable.failOpen = c.unopenable;
        h.line.setFaults(unopenable);
        UpgradeSettings s;
        s.newVersion = c.target;
        s.username = "admin";
        s.password = c.password;
        s.programSize = c.programSize;
        s.deviceVersion = "1.2.3";
        EXPECT_EQ(runVerification(s), c.code);
        EXPECT_EQ(s.deviceVersion, c.deviceVersion);
        EXPECT_EQ(queries(h), c.queries);
        // The verifier is gone and the port with it.
        h.line.setFaults({});
        EXPECT_TRUE(CSerialPort().open("COM1", 38400, 4096, 4096));
    }
}

TEST(RunVerification, DefaultProgramSizeIsChosenByTargetAndKept)
{
    EXPECT_EQ(defaultProgramSize("1.5.13 "), 3'142'217);
    test::ModuleHarness h(module("1.5.0"));
    UpgradeSettings s, fresh;
    for (UpgradeSettings* settings : {&s, &fresh})
        settings->username = "admin", settings->password = "tarvel";
    for (const char* target : {"1.5.13", "2.0.10"}) {
        s.newVersion = target;
        runVerification(s);
        EXPECT_EQ(s.programSize, 2'843'741) << "stored at the first run and kept for later ones";
    }
    fresh.newVersion = "2.0.10";
    runVerification(fresh);
    EXPECT_EQ(fresh.programSize, 3'142'217);
}

TEST(VerificationTexts, VerdictLinesAndTheReasonForEveryCode)
{
    UpgradeSettings s;
    s.deviceVersion = "%s%n", s.newVersion = "2.0.10", s.comPort = "COM2";
    // A version text is a value, never a format.
    EXPECT_EQ(verificationFailedLine(s), "Unfortunately, the utility has determined that upgrading from version "
                                         "%s%n to version 2.0.10 will not be successful. ");
    s.deviceVersion = "1.0.0", s.newVersion = "1.5.1";
    EXPECT_EQ(verificationPassedText(s),
              "The test of your Tarvel router module indicates that you will be able to successfully "
              "upgrade from version 1.0.0 to version 1.5.1  with the current device configuration.\n\n"
              "Click Next if you wish to upgrade the device.");
    s.deviceVersion = "2.0.11", s.newVersion = "2.0.10";
    const std::string code3 =
        "Unable to login to the Tarvel Console Port.\n\nPlease check that the null modem cable is connected "
        "to COM2 and also to the Tarvel Console Port. Check that the status LED on the Tarvel is flashing green.";
    const std::pair<int, std::string> reasons[] = {
        {1, "Unable to login to the Tarvel Console Port.\n\nPlease check if another application is already "
            "using the COM Port.\nCheck that the null modem cable is connected to COM2.\n"},
        {2, "Unable to login to the Tarvel Console Port.\n\nPlease check that the username and password "
            "provided are correct."},
        {4, "The Tarvel router module operates best with the latest version of the firmware.\n\nSoftware "
            "version 2.0.10 is older than the software version 2.0.11" + strings::load(61216)},
        {5, strings::load(61217)}, {6, strings::load(61218)},
        {3, code3}, {0, code3}, {7, code3}, {-1, code3},  // every other code explains as 3 does
    };
    for (const auto& [code, text] : reasons)
        EXPECT_EQ(verificationReason(code, s), text) << code;
    EXPECT_EQ(strings::load(61217).rfind("The use of 1.5.x or greater software is not supported", 0), 0u);
    EXPECT_EQ(strings::load(61218).rfind("Your Tarvel router module contains too much configuration", 0), 0u);
}

}  // namespace
