// The command line: how arguments are classified and what each one does to the settings.
#include "app/CUpgradeCommandLineInfo.h"
#include "app/UsageText.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Every field, so that "nothing else changed" is one comparison.
std::string dump(const UpgradeSettings& s)
{
    std::ostringstream o;
    o << s.eraseConfig << s.fastDownload << s.nonInteractive << s.showUsage << ' ' << s.programSize
      << ' ' << s.verifyFirst << s.upgradeDone << ' ' << s.verifyResult << ' ' << s.upgradeResult
      << " [" << s.comPort << "][" << s.newVersion << "][" << s.deviceVersion << "][" << s.username
      << "][" << s.password << "][" << s.bootFile << "][" << s.codeFile << ']';
    return o.str();
}

struct CommandLine : ::testing::Test {
    UpgradeSettings s;
    const std::string defaults = dump(UpgradeSettings{});

    void parse(const std::vector<std::string>& args)
    {
        CUpgradeCommandLineInfo info(&s);
        parseCommandLine(args, info);
    }
};

TEST_F(CommandLine, ProgramSizeOptionInEverySpelling)
{
    for (const char* option : {"-s", "-S", "/s", "/S"}) {
        UpgradeSettings fresh;
        CUpgradeCommandLineInfo info(&fresh);
        parseCommandLine({option, "5000"}, info);
        EXPECT_EQ(fresh.programSize, 5000) << option;
    }
}

TEST_F(CommandLine, OptionWordsAreSingleLettersCaseInsensitive)
{
    parse({"-ne", "-ef", "-", "/"});
    EXPECT_EQ(dump(s), defaults);

    parse({"-N", "-e", "/F", "/h"});
    EXPECT_TRUE(s.nonInteractive);
    EXPECT_FALSE(s.verifyFirst);
    EXPECT_TRUE(s.eraseConfig);
    EXPECT_TRUE(s.fastDownload);
    EXPECT_TRUE(s.showUsage);
}

TEST_F(CommandLine, AnOptionWordCancelsAWaitingValue)
{
    parse({"-u", "-e", "-p", "-secret", "word", "-s", "-5", "-b", "/o", "-u"});
    EXPECT_TRUE(s.eraseConfig);
    EXPECT_EQ(s.username, "");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.programSize, 0);
    EXPECT_EQ(s.bootFile, "");
    EXPECT_EQ(s.comPort, "COM1");
}

TEST_F(CommandLine, StrayValuesAreIgnored)
{
    parse({"hello", "-u", "op", "world", "COM2"});
    UpgradeSettings expected;
    expected.username = "op";
    EXPECT_EQ(dump(s), dump(expected));
}

TEST_F(CommandLine, ValuesAreStoredVerbatimAndTheLaterOneWins)
{
    parse({"-o", "com1", "-u", " Op Name ", "-p", "x", "-p", "", "-c", "first", "-c", "tarvel.dmf"});
    EXPECT_EQ(s.comPort, "com1");
    EXPECT_EQ(s.username, " Op Name ");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.codeFile, "tarvel.dmf");
}

TEST_F(CommandLine, AbsolutePathsAreValues)
{
    parse({"-b", "/home/op/tarvelboot.dmf", "/c", "/home/op/tarvel.dmf", "-o", "/dev/ttyUSB0", "-u", "/x",
           "-p", "/"});
    EXPECT_EQ(s.bootFile, "/home/op/tarvelboot.dmf");
    EXPECT_EQ(s.codeFile, "/home/op/tarvel.dmf");
    EXPECT_EQ(s.comPort, "/dev/ttyUSB0");
    EXPECT_EQ(s.username, "/x");
    EXPECT_EQ(s.password, "/");
}

TEST_F(CommandLine, ProgramSizeReadsLikeAtoiWithoutOverflow)
{
    parse({"-s", "123abc"});
    EXPECT_EQ(s.programSize, 123);
    parse({"-s", "kilobytes"});
    EXPECT_EQ(s.programSize, 0);

    const std::pair<const char*, std::int32_t> cases[] = {
        {"", 0},
        {" \t\n42", 42},
        {"+7", 7},
        {" -3", -3},
        {"- 3", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"99999999999999999999999999999999", INT32_MAX},
        {" -2147483648", INT32_MIN},
        {" -2147483649", INT32_MIN},
        {" -99999999999999999999999999999999", INT32_MIN},
        {"000000000000000000000000000012", 12},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(CUpgradeCommandLineInfo::toInt(text), value) << '"' << text << '"';
}

TEST_F(CommandLine, NoArgumentsKeepTheDefaultsAndTheProgramNameIsSkipped)
{
    const char* none[] = {"upgrade"};
    CUpgradeCommandLineInfo info(&s);
    parseCommandLine(1, none, info);
    EXPECT_EQ(dump(s), defaults);
    EXPECT_EQ(s.comPort, "COM1");
    EXPECT_EQ(s.newVersion, "2.0.10");
    EXPECT_TRUE(s.verifyFirst);

    const char* argv[] = {"-e", "-f"};
    parseCommandLine(2, argv, info);
    EXPECT_FALSE(s.eraseConfig);
    EXPECT_TRUE(s.fastDownload);
}

// Records the calls, to check the walk itself.
struct RecordingInfo : CUpgradeCommandLineInfo {
    using CUpgradeCommandLineInfo::CUpgradeCommandLineInfo;
    void ParseParam(const char* param, bool isFlag, bool isLast) override
    {
        calls.push_back(std::string(isFlag ? "flag:" : "value:") + param + (isLast ? ":last" : ""));
    }
    std::vector<std::string> calls;
};

TEST_F(CommandLine, WalkMarksFlagsAndTheLastArgument)
{
    RecordingInfo info(&s);
    parseCommandLine({"-Sx", "/O", "/sx", "/dev/ttyS1", "-", "plain", ""}, info);
    const std::vector<std::string> expected = {"flag:Sx",    "flag:O", "value:/sx", "value:/dev/ttyS1",
                                               "flag:",      "value:plain", "value::last"};
    EXPECT_EQ(info.calls, expected);
}

TEST(UsageText, NamesExactlyTheParsersOptionsAndSurvivesPrintf)
{
    const std::string text = kUsageText;
    EXPECT_EQ(text.find('%'), std::string::npos);
    UpgradeSettings s;
    CUpgradeCommandLineInfo info(&s);
    std::string described;
    for (std::size_t at = text.find("\t-"); at != std::string::npos; at = text.find("\t-", at + 1)) {
        const std::string letter = text.substr(at + 2, 1);
        EXPECT_TRUE(info.isOptionWord(letter)) << letter;
        described += letter;
    }
    EXPECT_EQ(described, "nefhsupbco");
}

}  // namespace
