// The verification's console conversation against the virtual module, on virtual time: the login
// passes, the queries and their timing, the order of the checks (the first failure decides),
// what is written back, and the operator texts, byte for byte.
#include "app/StringTable.h"
#include "serial/CSerialPort.h"
#include "support/ModuleHarness.h"
#include "verify/CDeviceVerifier.h"
#include "verify/Verification.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;
using Tweak = std::function<void(ModuleConfig&)>;

constexpr std::int64_t kByteUs = 260;

ModuleConfig config(const Tweak& tweak, ConsoleStart start = ConsoleStart::AtPrompt, const char* version = "2.0.10")
{
    ModuleConfig c;
    c.start = start, c.version = version;
    if (tweak)
        tweak(c);
    return c;
}
Tweak hangAt(std::int64_t us) { return [us](ModuleConfig& c) { c.hangAtUs = us; }; }

TEST(VerifierLogin, EveryConsoleStateSendsItsPassesAtTheRightTimes)
{
    using Check = std::function<void(test::ModuleHarness&)>;
    struct Case { const char* name; ModuleConfig config; std::string password; int code; std::string sent; Check check; };
    const Case cases[] = {
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
         [](test::ModuleHarness& h) { EXPECT_EQ(h.nowUs(), 2 * (kByteUs + 5'000'000 + 12'788'000 + 1'000'000)); }},
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

TEST(RunVerification, TheWholeConversationOfAHealthyModule)
{
    test::ModuleHarness h(config({}, ConsoleStart::AtPrompt, "1.5.13"));
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
    const Tweak halfMegabyte = [](ModuleConfig& c) {
        c.threshold = "1024", c.files = {{"quorvel.bin.z", 2'900'000}, {"system.cfg", 500'000}};
    };
    // 3,670,016 - 3,142,217 - 72,704 = 455,095 bytes left for the configuration, exclusive.
    const auto configuration = [](std::int64_t size) -> Tweak {
        return [size](ModuleConfig& c) {
            c.threshold = "4096", c.files = {{"rtboot.bin", 131'072}, {"event-log.local", 9'999}, {"system.cfg", size}};
        };
    };
    const auto memory = [](const char* figure) -> Tweak { return [figure](ModuleConfig& c) { c.memoryFigure = figure; }; };
    const ConsoleStart prompt = ConsoleStart::AtPrompt;
    // programSize 0: chosen by the target; queries sent: S(ystem), M(emory), L(ist).
    struct Case { const char* name; ModuleConfig config; std::string target, password; std::int32_t programSize;
                  int code; std::string deviceVersion, queries; bool unopenable = false; };
    const Case cases[] = {
        {"echoing", config([](ModuleConfig& c) { c.echo = true; }, ConsoleStart::LoggedOut, "2.0.1"), "2.0.10",
         "tarvel", 0, 0, "2.0.1", "SML"},
        // Answers after the 2.5 s query wait: the read still takes it.
        {"slow", config([](ModuleConfig& c) { c.replyDelayUs = 3'000'000; }, prompt, "2.0.1"), "2.0.10", "tarvel", 0,
         0, "2.0.1", "SML"},
        {"default program size", config(halfMegabyte, prompt, "1.5.0"), "2.0.10", "tarvel", 0, 6, "1.5.0", "SML"},
        {"given program size", config(halfMegabyte, prompt, "1.5.0"), "2.0.10", "tarvel", 3'000'000, 0, "1.5.0", "SML"},
        {"1.5.13's own program size", config(halfMegabyte, prompt, "1.5.0"), "1.5.13", "tarvel", 0, 0, "1.5.0", "SML"},
        {"equal version", config({}), "2.0.10", "tarvel", 0, 0, "2.0.10", "SML"},
        {"newer module", config({}, prompt, "2.0.11"), "2.0.10", "tarvel", 0, 4, "2.0.11", "S"},
        {"memory at the floor", config(memory("4096"), prompt, "1.5.0"), "1.5.13", "tarvel", 0, 5, "1.5.0", "SM"},
        {"memory above it", config(memory("4097"), prompt, "1.5.0"), "1.5.13", "tarvel", 0, 0, "1.5.0", "SML"},
        {"memory without its label",
         config([](ModuleConfig& c) { c.memoryReply = "\r\nMemory: 65536 KBytes\r\n"; }, prompt, "1.5.0"), "2.0.10",
         "tarvel", 0, 5, "1.5.0", "SM"},
        {"memory asked from target 1.5.0", config(memory("16"), prompt, "1.4.0"), "1.5.0", "tarvel", 0, 5, "1.4.0", "SM"},
        {"but not below", config(memory("16"), prompt, "1.4.0"), "1.4.99", "tarvel", 0, 0, "1.4.0", "SL"},
        {"flash one byte over", config(configuration(455'095), prompt, "2.0.0"), "2.0.10", "tarvel", 0, 6, "2.0.0", "SML"},
        {"flash at the limit", config(configuration(455'094), prompt, "2.0.0"), "2.0.10", "tarvel", 0, 0, "2.0.0", "SML"},
        // Stored cut to the verifier's buffer, compared whole.
        {"overlong module version", config({}, prompt, "10.100.1000"), "99.0.0", "tarvel", 0, 0, "10.100.10", "SML"},
        {"overlong and newer", config({}, prompt, "10.100.1000"), "10.100.999", "tarvel", 0, 4, "10.100.10", "S"},
        // Login failures keep what an earlier verification found.
        {"refused login", config({}, ConsoleStart::LoggedOut), "1.5.13", "wrong", 0, 2, "1.2.3", ""},
        {"silent console", config([](ModuleConfig& c) { c.silent = true; }), "1.5.13", "tarvel", 0, 3, "1.2.3", ""},
        {"port that cannot be opened", config({}), "1.5.13", "tarvel", 0, 1, "1.2.3", "", true},
        // An unanswered query gives 1; an unanswered version query resets the version.
        {"no version reply", config(hangAt(5'300'000)), "2.0.10", "tarvel", 0, 1, "x.x.x", "S"},
        {"no memory reply", config(hangAt(6'000'000)), "2.0.10", "tarvel", 0, 1, "2.0.10", "SM"},
        {"no listing", config(hangAt(9'000'000)), "2.0.10", "tarvel", 0, 1, "2.0.10", "SML"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ModuleHarness h(c.config);
        h.line.setFaults({c.unopenable});
        UpgradeSettings s;
        s.newVersion = c.target, s.username = "admin", s.password = c.password;
        s.programSize = c.programSize, s.deviceVersion = "1.2.3";
        EXPECT_EQ(runVerification(s), c.code);
        EXPECT_EQ(s.deviceVersion, c.deviceVersion);
        EXPECT_EQ(s.programSize, c.programSize ? c.programSize : c.target == "1.5.13" ? 2'843'741 : 3'142'217)
            << "stored, so that later verifications keep it";
        std::string queries;
        for (const auto& b : h.bursts())
            queries += b.text.find("Show System") != std::string::npos   ? "S"
                       : b.text.find("Show Memory") != std::string::npos ? "M"
                       : b.text.find("List Files") != std::string::npos  ? "L"
                                                                          : "";
        EXPECT_EQ(queries, c.queries);
        // The verifier is gone and the port with it.
        h.line.setFaults({});
        EXPECT_TRUE(CSerialPort().open("COM1", 38400, 4096, 4096));
    }
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
    const std::string login = "Unable to login to the Tarvel Console Port.\n\nPlease check ";
    const std::string code3 = login + "that the null modem cable is connected to COM2 and also to the Tarvel Console "
                                      "Port. Check that the status LED on the Tarvel is flashing green.";
    const std::pair<int, std::string> reasons[] = {
        {1, login + "if another application is already using the COM Port.\nCheck that the null modem cable is "
                    "connected to COM2.\n"},
        {2, login + "that the username and password provided are correct."},
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
