// The command line: how arguments are classified and what each one does to the settings.
#include "app/CUpgradeCommandLineInfo.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <sstream>

namespace {

// Every field, so that "nothing else changed" is one comparison.
std::string dump(const UpgradeSettings& s)
{
    std::ostringstream o;
    o << s.eraseConfig << s.fastDownload << s.nonInteractive << s.showUsage << ' ' << s.programSize << ' '
      << s.verifyFirst << s.upgradeDone << ' ' << s.verifyResult << ' ' << s.upgradeResult << " [" << s.comPort
      << "][" << s.newVersion << "][" << s.deviceVersion << "][" << s.username << "][" << s.password << "]["
      << s.bootFile << "][" << s.codeFile << ']';
    return o.str();
}

TEST(CommandLine, EachArgumentChangesOnlyItsSetting)
{
    using Set = std::function<void(UpgradeSettings&)>;
    const std::pair<std::vector<std::string>, Set> cases[] = {
        // Option words are single letters, case-insensitive, with "-" or "/".
        {{}, [](UpgradeSettings&) {}},
        {{"-ne", "-ef", "-", "/"}, [](UpgradeSettings&) {}},
        {{"-N", "-e", "/F", "/h"},
         [](UpgradeSettings& e) {
             e.nonInteractive = e.eraseConfig = e.fastDownload = e.showUsage = true;
             e.verifyFirst = false;
         }},
        {{"-s", "7", "-S", "6", "/S", "5000"}, [](UpgradeSettings& e) { e.programSize = 5000; }},
        {{"/s", "123abc"}, [](UpgradeSettings& e) { e.programSize = 123; }},
        {{"-s", "kilobytes"}, [](UpgradeSettings&) {}},
        // An option word cancels a waiting value; stray values are ignored.
        {{"-u", "-e", "-p", "-secret", "word", "-s", "-5", "-b", "/o", "-u"}, [](UpgradeSettings& e) { e.eraseConfig = true; }},
        {{"hello", "-u", "op", "world", "COM2"}, [](UpgradeSettings& e) { e.username = "op"; }},
        // Values are stored verbatim, absolute paths are values, and the later one wins.
        {{"-o", "com1", "-u", " Op Name ", "-p", "x", "-p", "", "-c", "first", "-c", "tarvel.dmf"},
         [](UpgradeSettings& e) { e.comPort = "com1", e.username = " Op Name ", e.codeFile = "tarvel.dmf"; }},
        {{"-b", "/home/op/tarvelboot.dmf", "/c", "/home/op/tarvel.dmf", "-o", "/dev/ttyUSB0", "-u", "/x", "-p", "/"},
         [](UpgradeSettings& e) {
             e.bootFile = "/home/op/tarvelboot.dmf", e.codeFile = "/home/op/tarvel.dmf", e.comPort = "/dev/ttyUSB0";
             e.username = "/x", e.password = "/";
         }},
    };
    for (const auto& [args, set] : cases) {
        UpgradeSettings parsed, expected;
        CUpgradeCommandLineInfo info(&parsed);
        std::vector<const char*> argv{"-e"};  // the program's name, no argument
        for (const auto& a : args)
            argv.push_back(a.c_str());
        parseCommandLine(static_cast<int>(argv.size()), argv.data(), info);
        set(expected);
        EXPECT_EQ(dump(parsed), dump(expected)) << ::testing::PrintToString(args);
    }
}

TEST(CommandLine, ProgramSizeReadsLikeAtoiWithoutOverflow)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"", 0}, {" \t\n42", 42}, {"+7", 7}, {" -3", -3}, {"- 3", 0}, {"000000000000000000000000000012", 12},
        {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"99999999999999999999999999999999", INT32_MAX},
        {" -2147483648", INT32_MIN}, {" -2147483649", INT32_MIN}, {" -99999999999999999999999999999999", INT32_MIN}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(CUpgradeCommandLineInfo::toInt(text), value) << '"' << text << '"';
}

}  // namespace
