// The layout the agreement dialog relies on: sixteen blocks, separated as one text, headings
// where the topics need them.
#include "app/AgreementText.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

// The heading of a block: the upper-case text before ":  " on its first line, or empty.
std::string headingOf(const std::string& block)
{
    const std::string body = block.rfind("\n\n", 0) == 0 ? block.substr(2) : block;
    const std::size_t colon = body.find(':');
    const std::size_t eol = body.find('\n');
    if (colon == std::string::npos || (eol != std::string::npos && colon > eol))
        return {};
    const std::string head = body.substr(0, colon);
    for (char c : head)
        if (std::islower(static_cast<unsigned char>(c)))
            return {};
    if (body.compare(colon, 3, ":  ") != 0)
        return {};
    return head;
}

}  // namespace

TEST(AgreementText, SixteenBlocksJoinedWithBlankLinesAndNoTabs)
{
    const auto& blocks = agreementBlocks();
    ASSERT_EQ(blocks.size(), 16u);
    EXPECT_EQ(blocks[0].rfind("IMPORTANT:  READ BEFORE USING THIS SOFTWARE\n\n", 0), 0u);
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].rfind("\n\n", 0), 0u) << "block " << i + 1;
        EXPECT_NE(blocks[i].substr(2, 1), "\n") << "block " << i + 1 << " has two blank lines";
    }
    const std::string text = agreementText();
    EXPECT_EQ(text.find('\t'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_GT(text.size(), 8000u);
    EXPECT_LT(text.size(), 9200u);
    EXPECT_NE(text.find("Tarvel Verification and Upgrade Utility"), std::string::npos);
}

TEST(AgreementText, HeadingsInTheTopicOrder)
{
    const auto& blocks = agreementBlocks();
    const std::vector<std::string> expected = {
        "IMPORTANT", "LICENCE GRANT", "", "ASSIGNMENT; NO REVERSE ENGINEERING", "",
        "EXPORT RESTRICTIONS", "TRADE SECRETS; TITLE", "GOVERNMENT LEGENDS", "TERM AND TERMINATION",
        "NO WARRANTIES", "LIMITATION OF LIABILITY", "DISCLAIMER", "GOVERNING LAW", "SEVERABILITY",
        "ENTIRE AGREEMENT", ""};
    for (std::size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(headingOf(blocks[i]), expected[i]) << "block " << i + 1;
}

TEST(AgreementText, LastBlockNamesBothButtonsAndAPhoneNumber)
{
    const std::string& last = agreementBlocks()[15];
    const std::size_t accept = last.find("'I accept'");
    const std::size_t reject = last.find("'I reject'");
    ASSERT_NE(accept, std::string::npos);
    ASSERT_NE(reject, std::string::npos);
    EXPECT_LT(accept, reject);
    EXPECT_NE(last.find("Telephone:"), std::string::npos);
}
