// upgrade-cli's command line: upgrade's options keep their meanings, the additions work, and
// what a headless run cannot guess is a usage error.
#include "cli/CliCommandLineInfo.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    UpgradeSettings settings;
    CliFlags flags;
    bool ok = false;
};

std::unique_ptr<Parsed> parse(const std::vector<std::string>& args)
{
    auto p = std::make_unique<Parsed>();
    p->ok = parseCliArguments(args, p->settings, p->flags);
    return p;
}

const std::vector<std::string> kFiles = {"-b", "/fw/tarvelboot.dmf", "-c", "/fw/tarvel.dmf"};

std::vector<std::string> withFiles(std::vector<std::string> args)
{
    args.insert(args.end(), kFiles.begin(), kFiles.end());
    return args;
}

}  // namespace

TEST(CliCommandLine, UpgradeOptionsKeepTheirMeaningsAndPathsAreValues)
{
    auto p = parse(withFiles({"-e", "/F", "-s", "5000", "-u", "admin", "-p", "secret", "-o", "/dev/ttyUSB0",
                              "-t", "1.5.13", "-y"}));
    ASSERT_TRUE(p->ok) << p->flags.error;
    EXPECT_TRUE(p->settings.eraseConfig);
    EXPECT_TRUE(p->settings.fastDownload);
    EXPECT_EQ(p->settings.programSize, 5000);
    EXPECT_EQ(p->settings.username, "admin");
    EXPECT_EQ(p->settings.password, "secret");
    EXPECT_EQ(p->settings.comPort, "/dev/ttyUSB0");
    EXPECT_EQ(p->settings.bootFile, "/fw/tarvelboot.dmf");
    EXPECT_EQ(p->settings.codeFile, "/fw/tarvel.dmf");
    EXPECT_EQ(p->settings.newVersion, "1.5.13");
    EXPECT_TRUE(p->flags.acceptAgreement);
    EXPECT_TRUE(p->settings.verifyFirst);
    EXPECT_FALSE(p->flags.verifyOnly);
}

TEST(CliCommandLine, DefaultsAndTheVerifyChoices)
{
    auto plain = parse(kFiles);
    ASSERT_TRUE(plain->ok);
    EXPECT_EQ(plain->settings.newVersion, "2.0.10");
    EXPECT_EQ(plain->settings.comPort, "COM1");
    EXPECT_FALSE(plain->flags.acceptAgreement);

    auto noVerify = parse(withFiles({"-n"}));
    ASSERT_TRUE(noVerify->ok);
    EXPECT_FALSE(noVerify->settings.verifyFirst);

    auto verifyOnly = parse({"-V"});  // no files needed
    ASSERT_TRUE(verifyOnly->ok) << verifyOnly->flags.error;
    EXPECT_TRUE(verifyOnly->flags.verifyOnly);

    EXPECT_FALSE(parse({"-V", "-n"})->ok);
    EXPECT_TRUE(parse({"-h", "-zz"})->flags.error.size() > 0);  // -h does not excuse an unknown option
    EXPECT_TRUE(parse({"-h"})->ok);
}

TEST(CliCommandLine, UsageErrors)
{
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {withFiles({"-t", "2.0"}), "Invalid Firmware Version entered."},
        {withFiles({"-q"}), "unknown option -q"},
        {withFiles({"-ne"}), "unknown option -ne"},
        {withFiles({"stray"}), "unexpected argument \"stray\""},
        {withFiles({"-u"}), "option -u needs a value"},       // followed by -b: the wait is cancelled
        {{"-b", "/fw/tarvelboot.dmf", "-c"}, "option -c needs a value"},
        {{"-b", "/fw/tarvelboot.dmf", "-c", "/fw/tarvel.dmf", "-t"}, "option -t needs a value"},
        {{"-c", "/fw/tarvel.dmf"}, "boot file (-b) is needed"},
        {{"-b", "/fw/tarvelboot.dmf"}, "code file (-c) is needed"},
        {{"-b", "/fw/TARVELBOOT.DMF", "-c", "/fw/tarvel.dmf"}, "Invalid Tarvel boot file selected."},
        {{"-b", "/fw/tarvelboot.dmf", "-c", "/fw/code.bin"}, "Invalid Tarvel code file selected."},
    };
    for (const auto& c : cases) {
        auto p = parse(c.args);
        EXPECT_FALSE(p->ok) << c.mentions;
        EXPECT_NE(p->flags.error.find(c.mentions), std::string::npos) << p->flags.error;
    }
}
