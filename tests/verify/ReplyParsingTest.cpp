// The text rules and the reply parsers of the verification, without a port: labels present and
// missing, the limits of each comparison, and inputs that once would have overflowed.
#include "verify/CDeviceVerifier.h"
#include "verify/TextRules.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace textrules;

TEST(TextRules, PositionsOutsideTheTextGiveDefinedTexts)
{
    EXPECT_EQ(find("abcabc", "c"), 2);
    EXPECT_EQ(find("abc", "C"), -1);  // case-sensitive
    EXPECT_EQ(from("abc", -5), "abc");
    EXPECT_EQ(from("abc", 1), "bc");
    EXPECT_EQ(from("abc", 3), "");
    EXPECT_EQ(from("abc", 99), "");
    EXPECT_EQ(first("abc", -1), "");
    EXPECT_EQ(first("abc", 0), "");
    EXPECT_EQ(first("abc", 2), "ab");
    EXPECT_EQ(first("abc", 3), "abc");
    EXPECT_EQ(first("abc", 40), "abc");
    EXPECT_EQ(trimLeft(" \t\r\n\v\fx y "), "x y ");
    EXPECT_EQ(trimLeft("\x01x"), "\x01x");  // only the six white-space characters
}

TEST(TextRules, NumberReadsLikeAtoiAndHoldsHugeValuesAtTheLimits)
{
    EXPECT_EQ(number("  -12abc"), -12);
    EXPECT_EQ(number("+7 8"), 7);
    EXPECT_EQ(number("\r\n 42\r\n"), 42);
    EXPECT_EQ(number("abc"), 0);
    EXPECT_EQ(number("- 5"), 0);
    EXPECT_EQ(number(""), 0);
    EXPECT_EQ(number("007"), 7);
    EXPECT_EQ(number("2147483647"), INT_MAX);
    EXPECT_EQ(number("-2147483648"), INT_MIN);
    EXPECT_EQ(number("2147483648"), INT_MAX);
    EXPECT_EQ(number(std::string(5000, '9')), INT_MAX);
    EXPECT_EQ(number("-" + std::string(40, '9')), INT_MIN);
}

TEST(VersionNumber, WeightsTheThreePartsAndReadsOddTexts)
{
    EXPECT_EQ(CDeviceVerifier::versionNumber("2.0.10"), 200'010);
    EXPECT_EQ(CDeviceVerifier::versionNumber("1.5.13"), 105'013);
    EXPECT_EQ(CDeviceVerifier::versionNumber("1.5.0"), 105'000);
    EXPECT_EQ(CDeviceVerifier::versionNumber("x.x.x"), 0);
    EXPECT_EQ(CDeviceVerifier::versionNumber("17"), 17);        // no dot: the whole text
    EXPECT_EQ(CDeviceVerifier::versionNumber("1.5"), 100'005);  // one dot: the rest is the patch
    EXPECT_EQ(CDeviceVerifier::versionNumber(""), 0);
    // Parts too large for their field spill into the next one.
    EXPECT_EQ(CDeviceVerifier::versionNumber("1.100.0"), CDeviceVerifier::versionNumber("2.0.0"));
    EXPECT_EQ(CDeviceVerifier::versionNumber("1.5.1000"), 106'000);
    // A major part this large would overflow the sum; it is held at the limit instead.
    EXPECT_EQ(CDeviceVerifier::versionNumber("99999.0.0"), INT_MAX);
    EXPECT_EQ(CDeviceVerifier::versionNumber("-99999.0.0"), INT_MIN);
}

TEST(SystemReply, VersionIsTheTextBetweenTheLabelAndTheNextComma)
{
    EXPECT_EQ(CDeviceVerifier::moduleVersionText("\r\nTarvel Router, Version: 2.0.11, Built: x\r\n"), "2.0.11");
    EXPECT_EQ(CDeviceVerifier::moduleVersionText(", Version: 1.5.13,"), "1.5.13");
    // Without the label: from position 10 up to the first comma after it.
    EXPECT_EQ(CDeviceVerifier::moduleVersionText("0123456789ABC,DEF"), "ABC");
    // Without a comma after that position: empty, which counts as version 0.
    EXPECT_EQ(CDeviceVerifier::moduleVersionText(", Version: 2.0.10\r\nTarvel>"), "");
    EXPECT_EQ(CDeviceVerifier::moduleVersionText("short"), "");
}

TEST(MemoryReply, FigureIsTheFirstWordAfterTheLabelAndOneCharacter)
{
    EXPECT_EQ(CDeviceVerifier::memoryFigure("\r\nTotal System Memory Resources: 4097 KBytes\r\n"), 4097);
    EXPECT_EQ(CDeviceVerifier::memoryFigure("Total System Memory Resources:\t\t16384 K"), 16384);
    // The character after the label is skipped whatever it is.
    EXPECT_EQ(CDeviceVerifier::memoryFigure("Total System Memory Resources:16384 K"), 6384);
    // No space after the figure: the word has no end, and the figure reads as 0.
    EXPECT_EQ(CDeviceVerifier::memoryFigure("Total System Memory Resources: 8192"), 0);
    // Without the label the reading starts at position 30 (-1 + 31).
    EXPECT_EQ(CDeviceVerifier::memoryFigure(std::string(30, '.') + "5000 K"), 5000);
    EXPECT_EQ(CDeviceVerifier::memoryFigure(std::string(29, '.') + "5000 K"), 0);
    EXPECT_EQ(CDeviceVerifier::memoryFigure("no figure here"), 0);
}

TEST(ListingThreshold, SecondWordAfterTheLabel)
{
    EXPECT_EQ(CDeviceVerifier::flashThreshold("x\r\nThreshold = 4097 K\r\nTarvel>"), 4097);
    EXPECT_EQ(CDeviceVerifier::flashThreshold("Threshold: level 8192 blocks"), 8192);
    // A second word that no space follows reads as 0.
    EXPECT_EQ(CDeviceVerifier::flashThreshold("Threshold = 4097"), 0);
    EXPECT_EQ(CDeviceVerifier::flashThreshold("Threshold = 4097\r\nTarvel>"), 0);  // a line end is no word end
    EXPECT_EQ(CDeviceVerifier::flashThreshold(""), 0);
    EXPECT_EQ(CDeviceVerifier::flashSize(4096), 3'670'016);
    EXPECT_EQ(CDeviceVerifier::flashSize(4097), 16'252'928);
}

struct ListingParse : ::testing::Test {
    CDeviceVerifier verifier;  // never opened: only the parsing is used
    static std::string listing(const std::string& entries)
    {
        return "\r\nMERIDOX Flash File System\r\nFLASHFS 12 3\r\nname size\r\n---- ----\r\n" + entries + "Tarvel>";
    }
};

TEST_F(ListingParse, HeaderLinesAreNeverFiles)
{
    EXPECT_EQ(verifier.configurationSize(listing("a.cfg 100\r\n")), 100);
    // Without the banner the whole reply is taken and its first four lines dropped.
    EXPECT_EQ(verifier.configurationSize("x 1\r\ny 2\r\nz 3\r\nw 4\r\nv.cfg 5\r\n"), 5);
}

TEST_F(ListingParse, ExcludedNamesDoNotCountButOtherCasesDo)
{
    for (const auto& name : verifier.excludedFiles)
        EXPECT_EQ(verifier.configurationSize(listing(name + " 1000\r\n")), 0) << name;
    EXPECT_FALSE(verifier.isExcludedFile("Rtboot.bin"));
    EXPECT_FALSE(verifier.isExcludedFile("rtboot.bin "));
    EXPECT_EQ(verifier.configurationSize(listing("RTBOOT.BIN 1000\r\nQuorvel.bin.z 10\r\n")), 1010);
}

TEST_F(ListingParse, SizeIsTheFirstNumberAfterTheName)
{
    const std::string reply = listing("a.cfg    123 bytes 01-02-03\r\nb.cfg 77\r\n");
    EXPECT_EQ(verifier.configurationSizeTexts(reply), (std::vector<std::string>{"123 bytes 01-02-03", "77"}));
    EXPECT_EQ(verifier.configurationSize(reply), 200);
}

TEST_F(ListingParse, LinesWithoutAnInnerSpaceAndTheLastLineAreSkipped)
{
    // "lonely" has no space; "trail " has its only space at the end; the prompt has no CR.
    EXPECT_EQ(verifier.configurationSize(listing("lonely\r\ntrail \r\nb.cfg 5\r\n") + " 999"), 5);
    EXPECT_EQ(verifier.configurationSize(listing("b.cfg 5\r\nlast.cfg 700")), 5);
    EXPECT_EQ(verifier.configurationSize(listing("")), 0);
    EXPECT_EQ(verifier.configurationSize(""), 0);
}

TEST_F(ListingParse, SizesAddUpPastTwoToTheThirtyFirstWithoutWrapping)
{
    const std::string big = listing("a.cfg 2147483647\r\nb.cfg 2147483647\r\nc.cfg 2\r\n");
    EXPECT_EQ(verifier.configurationSize(big), 4'294'967'296LL);
    // In 32 bits this sum wraps to 0 and the rule would pass.
    EXPECT_EQ(CDeviceVerifier::flashVerdict(16'252'928, 3'142'217, verifier.configurationSize(big)), 6);
}

TEST(FlashRule, WorkedLimits)
{
    struct Row {
        std::int64_t flash, program, largestConfiguration;
    };
    for (const Row& r : {Row{3'670'016, 3'142'217, 455'094}, Row{3'670'016, 2'843'741, 753'570},
                         Row{16'252'928, 3'142'217, 13'038'006}, Row{16'252'928, 2'843'741, 13'336'482}}) {
        SCOPED_TRACE(r.largestConfiguration);
        EXPECT_EQ(CDeviceVerifier::flashVerdict(r.flash, r.program, r.largestConfiguration), 0);
        EXPECT_EQ(CDeviceVerifier::flashVerdict(r.flash, r.program, r.largestConfiguration + 1), 6);
    }
    // Spare 1 passes, spare 0 does not.
    EXPECT_EQ(CDeviceVerifier::flashVerdict(72'706, 1, 0), 0);
    EXPECT_EQ(CDeviceVerifier::flashVerdict(72'705, 1, 0), 6);
}

}  // namespace
