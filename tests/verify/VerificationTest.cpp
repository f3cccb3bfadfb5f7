// runVerification against the virtual module (order of the checks, the first failure decides,
// what is written back) and the operator texts, byte for byte.
#include "app/StringTable.h"
#include "serial/CSerialPort.h"
#include "support/ModuleHarness.h"
#include "verify/Verification.h"

#include <gtest/gtest.h>

namespace {

using sim::ConsoleStart;
using sim::ModuleConfig;

ModuleConfig module(const std::string& version, const std::string& memory = "16384")
{
    ModuleConfig c;
    c.version = version;
    c.memoryFigure = memory;
    return c;
}

// The settings of a verification of newVersion with the module's credentials.
struct Target : UpgradeSettings {
    explicit Target(const std::string& version)
    {
        newVersion = version;
        username = "admin";
        password = "tarvel";
    }
};

// --- the run -------------------------------------------------------------------------------------

TEST(RunVerification, HealthyModulePassesAfterAllThreeQueriesInOrder)
{
    test::ModuleHarness h(module("1.5.13"));
    Target s("2.0.10");
    EXPECT_EQ(runVerification(s), 0);
    EXPECT_EQ(s.deviceVersion, "1.5.13");
    const std::string sent = h.hostText();
    const auto sys = sent.find("\rShow System\r");
    const auto mem = sent.find("\rShow Memory\r");
    const auto list = sent.find("\rList Files\r ");
    ASSERT_NE(sys, std::string::npos);
    ASSERT_NE(mem, std::string::npos);
    ASSERT_NE(list, std::string::npos);
    EXPECT_LT(sys, mem);
    EXPECT_LT(mem, list);
    // The verifier is gone and the port with it.
    CSerialPort after;
    EXPECT_TRUE(after.open("COM1", 38400, 4096, 4096));
}

TEST(RunVerification, EchoingAndSlowModulesAreReadAlike)
{
    ModuleConfig echoing = module("2.0.1");
    echoing.echo = true;
    echoing.start = ConsoleStart::LoggedOut;
    ModuleConfig slow = module("2.0.1");
    slow.replyDelayUs = 3'000'000;  // answers after the 2.5 s query wait: the read still takes it
    for (const ModuleConfig& c : {echoing, slow}) {
        test::ModuleHarness h(c);
        Target s("2.0.10");
        EXPECT_EQ(runVerification(s), 0);
        EXPECT_EQ(s.deviceVersion, "2.0.1");
    }
}

TEST(RunVerification, DefaultProgramSizeIsChosenByTargetAndStored)
{
    {
        test::ModuleHarness h(module("1.5.0"));
        Target s("1.5.13");
        runVerification(s);
        EXPECT_EQ(s.programSize, 2'843'741);
        // Kept for later runs even when the target changes.
        s.newVersion = "2.0.10";
        runVerification(s);
        EXPECT_EQ(s.programSize, 2'843'741);
    }
    {
        test::ModuleHarness h(module("1.5.0"));
        Target s("2.0.10");
        runVerification(s);
        EXPECT_EQ(s.programSize, 3'142'217);
    }
    EXPECT_EQ(defaultProgramSize("1.5.13"), 2'843'741);
    EXPECT_EQ(defaultProgramSize("1.5.13 "), 3'142'217);
    EXPECT_EQ(defaultProgramSize("1.5.1"), 3'142'217);
}

TEST(RunVerification, GivenProgramSizeIsUsedUnchanged)
{
    // 500,000 bytes of configuration in the small flash: too much beside the default program
    // (limit 455,094), enough beside a 3,000,000-byte one (limit 597,312).
    ModuleConfig c = module("1.5.0");
    c.threshold = "1024";
    c.files = {{"quorvel.bin.z", 2'900'000}, {"system.cfg", 500'000}};
    {
        test::ModuleHarness h(c);
        Target s("2.0.10");
        EXPECT_EQ(runVerification(s), 6);
    }
    {
        test::ModuleHarness h(c);
        Target s("2.0.10");
        s.programSize = 3'000'000;
        EXPECT_EQ(runVerification(s), 0);
        EXPECT_EQ(s.programSize, 3'000'000);
    }
}

TEST(RunVerification, VersionRuleEqualPassesNewerModuleFails)
{
    {
        test::ModuleHarness h(module("2.0.10"));
        Target s("2.0.10");
        EXPECT_EQ(runVerification(s), 0);
    }
    {
        test::ModuleHarness h(module("2.0.11"));
        Target s("2.0.10");
        EXPECT_EQ(runVerification(s), 4);
        EXPECT_EQ(s.deviceVersion, "2.0.11");
        EXPECT_EQ(h.count("\rShow Memory\r"), 0u);
        EXPECT_EQ(h.count("\rList Files\r"), 0u);
        const std::string reason = verificationReason(4, s);
        EXPECT_NE(reason.find("Software version 2.0.10 is older than the software version 2.0.11 already"),
                  std::string::npos);
    }
}

TEST(RunVerification, MemoryRuleStopsBeforeTheListing)
{
    test::ModuleHarness h(module("1.5.0", "4096"));
    Target s("1.5.13");
    EXPECT_EQ(runVerification(s), 5);
    EXPECT_EQ(h.count("\rShow Memory\r"), 1u);
    EXPECT_EQ(h.count("\rList Files\r"), 0u);
}

TEST(RunVerification, OldTargetSkipsTheMemoryQuery)
{
    test::ModuleHarness h(module("1.4.0", "16"));
    Target s("1.4.2");
    EXPECT_EQ(runVerification(s), 0);
    EXPECT_EQ(h.count("\rShow Memory\r"), 0u);
    EXPECT_EQ(h.count("\rList Files\r"), 1u);
}

TEST(RunVerification, LoginFailuresKeepTheEarlierVersionAndQueryNothing)
{
    ModuleConfig refused = module("2.0.0");
    refused.start = ConsoleStart::LoggedOut;
    ModuleConfig silent;
    silent.silent = true;
    for (const auto& [config, expected] : {std::pair<ModuleConfig, int>{refused, 2}, {silent, 3}}) {
        test::ModuleHarness h(config);
        Target s("1.5.13");
        s.password = "wrong";
        s.deviceVersion = "1.2.3";
        EXPECT_EQ(runVerification(s), expected);
        EXPECT_EQ(s.deviceVersion, "1.2.3");
        EXPECT_EQ(h.count("Show"), 0u);
        EXPECT_EQ(h.count("List"), 0u);
    }
    {
        test::ModuleHarness h;
        sim::LineFaults f;
        f.failOpen = true;
        h.line.setFaults(f);
        Target s("1.5.13");
        EXPECT_EQ(runVerification(s), 1);
        EXPECT_EQ(s.deviceVersion, "x.x.x");
    }
}

TEST(RunVerification, UnansweredVersionQueryGivesOneAndResetsTheVersion)
{
    ModuleConfig c = module("2.0.10");
    c.hangAtUs = 5'300'000;
    test::ModuleHarness h(c);
    Target s("2.0.10");
    s.deviceVersion = "1.2.3";  // from an earlier verification
    EXPECT_EQ(runVerification(s), 1);
    EXPECT_EQ(s.deviceVersion, "x.x.x");
    EXPECT_EQ(h.count("\rShow System\r"), 1u);
    EXPECT_EQ(h.count("\rShow Memory\r"), 0u);
    EXPECT_EQ(h.count("\rList Files\r"), 0u);
}

TEST(RunVerification, FlashRuleExactlyAtTheLimit)
{
    for (const auto& [configuration, expected] : {std::pair<std::int64_t, int>{455'095, 6}, {455'094, 0}}) {
        ModuleConfig c = module("2.0.0");
        c.threshold = "4096";
        c.files = {{"rtboot.bin", 131'072}, {"event-log.local", 9'999}, {"system.cfg", configuration}};
        test::ModuleHarness h(c);
        Target s("2.0.10");
        EXPECT_EQ(runVerification(s), expected) << configuration;
    }
}

TEST(RunVerification, OverlongModuleVersionIsStoredCut)
{
    test::ModuleHarness h(module("10.100.1000"));
    Target s("99.0.0");
    EXPECT_EQ(runVerification(s), 0);
    EXPECT_EQ(s.deviceVersion, "10.100.10");
}

// --- texts ---------------------------------------------------------------------------------------

struct Texts : UpgradeSettings {
    Texts(const std::string& device, const std::string& target, const std::string& port)
    {
        deviceVersion = device;
        newVersion = target;
        comPort = port;
    }
};

TEST(VerificationTexts, FailedLineAndPassedText)
{
    EXPECT_EQ(verificationFailedLine(Texts("1.5.13", "2.0.10", "COM1")),
              "Unfortunately, the utility has determined that upgrading from version 1.5.13 to version "
              "2.0.10 will not be successful. ");
    EXPECT_EQ(verificationFailedLine(Texts("x.x.x", "2.0.10", "COM1")),
              "Unfortunately, the utility has determined that upgrading from version x.x.x to version "
              "2.0.10 will not be successful. ");
    EXPECT_EQ(verificationPassedText(Texts("1.0.0", "1.5.1", "COM1")),
              "The test of your Tarvel router module indicates that you will be able to successfully "
              "upgrade from version 1.0.0 to version 1.5.1  with the current device configuration.\n\n"
              "Click Next if you wish to upgrade the device.");
    // A version text is a value, never a format.
    EXPECT_NE(verificationFailedLine(Texts("%s%n", "2.0.10", "COM1")).find("version %s%n to"), std::string::npos);
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
    EXPECT_EQ(verificationReason(6, s).rfind("Your Tarvel router module contains too much configuration "
                                             "information. There is not enough Flash memory",
                                             0),
              0u);
    EXPECT_EQ(verificationReason(6, s), strings::load(61218));
    // Every other code explains as code 3 does.
    for (int other : {0, 7, 8, -1, 99})
        EXPECT_EQ(verificationReason(other, s), code3) << other;
}

}  // namespace
