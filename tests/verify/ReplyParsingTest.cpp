// The text rules and the reply parsers of the verification, without a port, as tables of input
// and result: labels present and missing, the limits of each comparison, and inputs that once
// would have overflowed.
#include "verify/CDeviceVerifier.h"
#include "verify/TextRules.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace textrules;
using V = CDeviceVerifier;

template <typename Out, typename F>
void expectTable(F rule, std::initializer_list<std::pair<std::string, Out>> rows)
{
    for (const auto& [in, out] : rows)
        EXPECT_EQ(rule(in), out) << ::testing::PrintToString(in);
}

TEST(TextRules, PositionsOutsideTheTextGiveDefinedTextsAndNumbersHoldAtTheLimits)
{
    EXPECT_EQ(find("abcabc", "c"), 2);
    EXPECT_EQ(find("abc", "C"), -1);  // case-sensitive
    for (const auto& [got, want] : {std::pair<std::string, std::string>{from("abc", -5), "abc"}, {from("abc", 1), "bc"},
                                    {from("abc", 3), ""}, {from("abc", 99), ""}, {first("abc", -1), ""}, {first("abc", 0), ""},
                                    {first("abc", 2), "ab"}, {first("abc", 40), "abc"},
                                    {trimLeft(" \t\r\n\v\fx y "), "x y "}, {trimLeft("\x01x"), "\x01x"}})
        EXPECT_EQ(got, want);
    expectTable<int>(number, {{"  -12abc", -12}, {"+7 8", 7}, {"\r\n 42\r\n", 42}, {"abc", 0}, {"- 5", 0},
                              {"", 0}, {"007", 7}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
                              {"2147483648", INT_MAX}, {std::string(5000, '9'), INT_MAX},
                              {"-" + std::string(40, '9'), INT_MIN}});
}

TEST(VersionNumber, WeightsTheThreePartsAndReadsOddTexts)
{
    expectTable<int>(V::versionNumber,
                     {{"2.0.10", 200'010}, {"1.5.13", 105'013}, {"1.5.0", 105'000}, {"x.x.x", 0}, {"", 0},
                      {"17", 17},          // no dot: the whole text
                      {"1.5", 100'005},    // one dot: the rest is the patch
                      {"1.100.0", 200'000}, {"1.5.1000", 106'000},  // parts spill into the next one
                      {"99999.0.0", INT_MAX}, {"-99999.0.0", INT_MIN}});
}

TEST(Replies, VersionMemoryFigureAndThresholdAreReadWhereTheLabelsSay)
{
    // The version: between the label and the next comma; without the label from position 10.
    expectTable<std::string>(V::moduleVersionText,
                             {{"\r\nTarvel Router, Version: 2.0.11, Built: x\r\n", "2.0.11"},
                              {", Version: 1.5.13,", "1.5.13"}, {"0123456789ABC,DEF", "ABC"},
                              {", Version: 2.0.10\r\nTarvel>", ""}, {"short", ""}});
    // The memory figure: the first word one character after the label (position 30 without
    // it); a word that no space ends reads as 0.
    expectTable<int>(V::memoryFigure, {{"\r\nTotal System Memory Resources: 4097 KBytes\r\n", 4097},
                                       {"Total System Memory Resources:\t\t16384 K", 16384},
                                       {"Total System Memory Resources:16384 K", 6384},
                                       {"Total System Memory Resources: 8192", 0},
                                       {std::string(30, '.') + "5000 K", 5000},
                                       {std::string(29, '.') + "5000 K", 0}, {"no figure here", 0}});
    // The listing's threshold: the second word after the label; a line end is no word end.
    expectTable<int>(V::flashThreshold, {{"x\r\nThreshold = 4097 K\r\nTarvel>", 4097},
                                         {"Threshold: level 8192 blocks", 8192}, {"Threshold = 4097", 0},
                                         {"Threshold = 4097\r\nTarvel>", 0}, {"", 0}});
    EXPECT_EQ(V::flashSize(4096), 3'670'016);
    EXPECT_EQ(V::flashSize(4097), 16'252'928);
}

std::string listing(const std::string& entries)
{
    return "\r\nMERIDOX Flash File System\r\nFLASHFS 12 3\r\nname size\r\n---- ----\r\n" + entries + "Tarvel>";
}

TEST(Listing, ConfigurationSizeSumsTheFilesThatAreNotExcluded)
{
    const V verifier;  // never opened: only the parsing is used
    for (const auto& name : verifier.excludedFiles)
        EXPECT_EQ(verifier.configurationSize(listing(name + " 1000\r\n")), 0) << name;
    EXPECT_FALSE(verifier.isExcludedFile("rtboot.bin "));
    const std::pair<std::string, std::int64_t> rows[] = {
        {listing("a.cfg 100\r\n"), 100},
        // Without the banner the whole reply is taken and its first four lines dropped.
        {"x 1\r\ny 2\r\nz 3\r\nw 4\r\nv.cfg 5\r\n", 5},
        {listing("RTBOOT.BIN 1000\r\nQuorvel.bin.z 10\r\n"), 1010},  // exclusions are case-sensitive
        {listing("a.cfg    123 bytes 01-02-03\r\nb.cfg 77\r\n"), 200},
        // No inner space, a space only at the end, and the unterminated last line are skipped.
        {listing("lonely\r\ntrail \r\nb.cfg 5\r\n") + " 999", 5},
        {listing("b.cfg 5\r\nlast.cfg 700"), 5},
        {listing(""), 0},
        {"", 0},
        // Past 2^31 without wrapping (in 32 bits this sum wraps to 0 and the flash rule passes).
        {listing("a.cfg 2147483647\r\nb.cfg 2147483647\r\nc.cfg 2\r\n"), 4'294'967'296LL},
    };
    EXPECT_EQ(V::flashVerdict(16'252'928, 3'142'217, 4'294'967'296LL), 6);
    // The rule's limit (exclusive): what the flash holds beside the program and 72,704 bytes.
    EXPECT_EQ(V::flashVerdict(72'706, 1, 0), 0);
    EXPECT_EQ(V::flashVerdict(72'706, 1, 1), 6);
    for (const auto& [reply, size] : rows)
        EXPECT_EQ(verifier.configurationSize(reply), size) << ::testing::PrintToString(reply);
    EXPECT_EQ(verifier.configurationSizeTexts(listing("a.cfg    123 bytes 01-02-03\r\n")),
              std::vector<std::string>{"123 bytes 01-02-03"});
}

}  // namespace
