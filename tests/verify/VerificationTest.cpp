// runVerification against the virtual module (order of the checks, the first failure decides,
// what is written back) and the operator texts, byte for byte.
#include "app/StringTable.h"
#include "serial/CSerialPort.h"
#include "support/ModuleHarness.h"
#include "verify/Verification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;

ModuleConfig module(const std::string& version, const std::function<void(ModuleConfig&)>& tweak = {})
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
    std::vector<std::pair<std::int64_t, char>> sent;
    for (const auto& [text, letter] : {std::pair<const char*, char>{"\rShow System\r", 'S'},
                                       {"\rShow Memory\r", 'M'}, {"\rList Files\r ", 'L'}})
        for (std::size_t i = 0; i < h.count(text); ++i)
            sent.emplace_back(h.timeOf(text, i), letter);
    std::sort(sent.begin(), sent.end());
    std::string letters;
    for (const auto& q : sent)
        letters += q.second;
    return letters;
}

// --- the run -------------------------------------------------------------------------------------

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
        {"healthy module", module("1.5.13"), "2.0.10", "tarvel", 0, 0, "1.5.13", "SML"},
        {"echoing", module("2.0.1", [](ModuleConfig& c) { c.echo = true, c.start = ConsoleStart::LoggedOut; }),
         "2.0.10", "tarvel", 0, 0, "2.0.1", "SML"},
        // Answers after the 2.5 s query wait: the read still takes it.
        {"slow", module("2.0.1", [](ModuleConfig& c) { c.replyDelayUs = 3'000'000; }), "2.0.10", "tarvel", 0, 0,
         "2.0.1", "SML"},
        {"default program size", module("1.5.0", halfMegabyte), "2.0.10", "tarvel", 0, 6, "1.5.0", "SML"},
        {"given program size", module("1.5.0", halfMegabyte), "2.0.10", "tarvel", 3'000'000, 0, "1.5.0", "SML"},
        {"equal version", module("2.0.10"), "2.0.10", "tarvel", 0, 0, "2.0.10", "SML"},
        {"newer module", module("2.0.11"), "2.0.10", "tarvel", 0, 4, "2.0.11", "S"},
        {"memory rule", module("1.5.0", [](ModuleConfig& c) { c.memoryFigure = "4096"; }), "1.5.13", "tarvel", 0,
         5, "1.5.0", "SM"},
        {"old target skips the memory query", module("1.4.0", [](ModuleConfig& c) { c.memoryFigure = "16"; }),
         "1.4.2", "tarvel", 0, 0, "1.4.0", "SL"},
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
        {"no reply after the login", module("2.0.10", [](ModuleConfig& c) { c.hangAtUs = 5'300'000; }), "2.0.10",
         "tarvel", 0, 1, "x.x.x", "S"},
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
        if (c.programSize) {
            EXPECT_EQ(s.programSize, c.programSize);
        }
        // The verifier is gone and the port with it.
        h.line.setFaults({});
        EXPECT_TRUE(CSerialPort().open("COM1", 38400, 4096, 4096));
    }
}

TEST(RunVerification, DefaultProgramSizeIsChosenByTargetAndKept)
{
    EXPECT_EQ(defaultProgramSize("1.5.13"), 2'843'741);
    EXPECT_EQ(defaultProgramSize("1.5.13 "), 3'142'217);
    EXPECT_EQ(defaultProgramSize("1.5.1"), 3'142'217);
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

// --- texts ---------------------------------------------------------------------------------------

struct Texts : UpgradeSettings {
    Texts(const std::string& device, const std::string& target, const std::string& port = "COM1")
    {
        deviceVersion = device;
        newVersion = target;
        comPort = port;
    }
};

TEST(VerificationTexts, FailedLineAndPassedText)
{
    const std::string failed = "Unfortunately, the utility has determined that upgrading from version ";
    for (const char* device : {"1.5.13", "x.x.x"})
        EXPECT_EQ(verificationFailedLine(Texts(device, "2.0.10")),
                  failed + device + " to version 2.0.10 will not be successful. ");
    EXPECT_EQ(verificationPassedText(Texts("1.0.0", "1.5.1")),
              "The test of your Tarvel router module indicates that you will be able to successfully "
              "upgrade from version 1.0.0 to version 1.5.1  with the current device configuration.\n\n"
              "Click Next if you wish to upgrade the device.");
    // A version text is a value, never a format.
    EXPECT_NE(verificationFailedLine(Texts("%s%n", "2.0.10")).find("version %s%n to"), std::string::npos);
}

TEST(VerificationTexts, ReasonForEveryCode)
{
    const Texts s("2.0.11", "2.0.10", "COM2");
    EXPECT_EQ(verificationReason(1, s),
              "Unable to login to the Tarvel Console Port.\n\nPlease check if another application is already "
              "using the COM Port.\nCheck that the null modem cable is connected to COM2.\n");
    EXPECT_EQ(verificationReason(2, s),
              "Unable to login to the Tarvel Console Port.\n\nPlease check that the username and password "
              "provided are correct.");
    const std::string code3 =
        "Unable to login to the Tarvel Console Port.\n\nPlease check that the null modem cable is connected "
        "to COM2 and also to the Tarvel Console Port. Check that the status LED on the Tarvel is flashing green.";
    EXPECT_EQ(verificationReason(3, s), code3);
    EXPECT_EQ(verificationReason(4, s),
              "The Tarvel router module operates best with the latest version of the firmware.\n\nSoftware "
              "version 2.0.10 is older than the software version 2.0.11" + strings::load(61216));
    EXPECT_EQ(strings::load(61216).rfind(" already running on the device.\n\n", 0), 0u);
    EXPECT_EQ(verificationReason(5, s), strings::load(61217));
    EXPECT_EQ(verificationReason(5, s).rfind("The use of 1.5.x or greater software is not supported", 0), 0u);
    EXPECT_EQ(verificationReason(6, s), strings::load(61218));
    EXPECT_EQ(verificationReason(6, s).rfind("Your Tarvel router module contains too much configuration "
                                             "information. There is not enough Flash memory", 0), 0u);
    // Every other code explains as code 3 does.
    for (int other : {0, 7, 8, -1, 99})
        EXPECT_EQ(verificationReason(other, s), code3) << other;
}

}  // namespace
