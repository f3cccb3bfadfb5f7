// upgrade-cli's command line: upgrade's options keep their meanings, the additions work, and
// what a headless run cannot guess is a usage error; the target-version rule's boundaries.
#include "app/VersionRule.h"
#include "cli/CliCommandLineInfo.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

struct Parsed {
    UpgradeSettings settings;
    CliFlags flags;
    bool ok = false;
};

std::unique_ptr<Parsed> parse(std::vector<std::string> args, bool withFiles = true)
{
    if (withFiles)
        args.insert(args.end(), {"-b", "/fw/tarvelboot.dmf", "-c", "/fw/tarvel.dmf"});
    auto p = std::make_unique<Parsed>();
    p->ok = parseCliArguments(args, p->settings, p->flags);
    return p;
}

}  // namespace

TEST(CliCommandLine, OptionsDefaultsAndTheVerifyChoices)
{
    auto p = parse({"-e", "/F", "-s", "5000", "-u", "admin", "-p", "secret", "-o", "/dev/ttyUSB0", "-t", "1.5.13", "-y"});
    ASSERT_TRUE(p->ok) << p->flags.error;
    const UpgradeSettings& s = p->settings;
    EXPECT_TRUE(s.eraseConfig && s.fastDownload && s.verifyFirst && p->flags.acceptAgreement);
    EXPECT_FALSE(p->flags.verifyOnly);
    EXPECT_EQ(std::tie(s.programSize, s.username, s.password, s.comPort, s.bootFile, s.codeFile, s.newVersion),
              std::make_tuple(5000, "admin", "secret", "/dev/ttyUSB0", "/fw/tarvelboot.dmf", "/fw/tarvel.dmf", "1.5.13"));
    auto plain = parse({});
    ASSERT_TRUE(plain->ok);
    EXPECT_EQ(plain->settings.newVersion + " " + plain->settings.comPort, "2.0.10 COM1");
    EXPECT_FALSE(plain->flags.acceptAgreement);
    EXPECT_FALSE(parse({"-n"})->settings.verifyFirst);
    auto verifyOnly = parse({"-V"}, false);  // no files needed
    EXPECT_TRUE(verifyOnly->ok && verifyOnly->flags.verifyOnly) << verifyOnly->flags.error;
    EXPECT_TRUE(parse({"-h"}, false)->ok);
}

TEST(CliCommandLine, UsageErrors)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"-t", "2.0"}, "Invalid Firmware Version entered."},
        {{"-q"}, "unknown option -q"},
        {{"-ne"}, "unknown option -ne"},
        {{"-h", "-zz"}, "unknown option -zz"},  // -h does not excuse an unknown option
        {{"-V", "-n"}, "-n"},
        {{"stray"}, "unexpected argument \"stray\""},
        {{"-u"}, "option -u needs a value"},  // followed by -b: the wait is cancelled
        {{"-b", "/fw/tarvelboot.dmf", "-c"}, "option -c needs a value"},
        {{"-b", "/fw/tarvelboot.dmf", "-c", "/fw/tarvel.dmf", "-t"}, "option -t needs a value"},
        {{"-c", "/fw/tarvel.dmf"}, "boot file (-b) is needed"},
        {{"-b", "/fw/tarvelboot.dmf"}, "code file (-c) is needed"},
        {{"-b", "/fw/TARVELBOOT.DMF", "-c", "/fw/tarvel.dmf"}, "Invalid Tarvel boot file selected."},
        {{"-b", "/fw/tarvelboot.dmf", "-c", "/fw/code.bin"}, "Invalid Tarvel code file selected."},
    };
    for (const auto& [args, mentions] : cases) {
        auto p = parse(args, args.size() < 2 || (args[0] != "-b" && args[0] != "-c"));
        EXPECT_FALSE(p->ok) << mentions;
        EXPECT_NE(p->flags.error.find(mentions), std::string::npos) << p->flags.error;
    }
}

TEST(VersionRule, TheBoundariesOfEachCondition)
{
    for (const char* v : {"2.0.10", "1.5.13", "10.25.100", "1.2.345678", "2.0.", "123.45.678", "1.23.4567", "9.99.999"})
        EXPECT_TRUE(isValidVersion(v)) << v;
    for (const char* v : {"", "2.0", "2..10", "1234.5.6", "2.100.1", "x2.0.10", "2.0.10x", " 2.0.10", "2.0.10 ",
                          "1.2.3456789", ".2.0", "2.0.1.0", "2.a.1", "2.0.-1", "2.0.1\n", "123.45.67890", "1.234.5"})
        EXPECT_FALSE(isValidVersion(v)) << '"' << v << '"';
}
