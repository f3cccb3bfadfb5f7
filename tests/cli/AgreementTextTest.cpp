// The layout the agreement dialog and upgrade-cli rely on: sixteen blocks that join to one text
// with single blank lines, the buttons named in the last one.
#include "app/AgreementText.h"

#include <gtest/gtest.h>

TEST(AgreementText, SixteenBlocksJoinedWithBlankLinesAndTheButtonsNamedLast)
{
    const auto& blocks = agreementBlocks();
    ASSERT_EQ(blocks.size(), 16u);
    EXPECT_EQ(blocks[0].rfind("IMPORTANT:  READ BEFORE USING THIS SOFTWARE\n\n", 0), 0u);
    for (std::size_t i = 1; i < blocks.size(); ++i)
        EXPECT_TRUE(blocks[i].rfind("\n\n", 0) == 0 && blocks[i][2] != '\n') << "block " << i + 1;
    EXPECT_EQ(agreementText().find_first_of("\t\r"), std::string::npos);
    EXPECT_LT(blocks[15].find("'I accept'"), blocks[15].find("'I reject'"));
}
