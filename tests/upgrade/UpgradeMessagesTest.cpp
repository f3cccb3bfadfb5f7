// The failed page's Details texts by result code and the two result lines, byte for byte.
#include "upgrade/UpgradeMessages.h"

#include "app/StringTable.h"

#include <gtest/gtest.h>

namespace {

struct MessagesTest : ::testing::Test {
    UpgradeSettings s;
    void SetUp() override
    {
        s.comPort = "COM2";
        s.bootFile = "C:\\fw\\tarvelboot.dmf";
        s.codeFile = "/home/op/tarvel.dmf";
    }
};

}  // namespace

TEST_F(MessagesTest, ResultLinesNameTheTargetVersion)
{
    EXPECT_EQ(upgradeFailedLine(s),
              "The Tarvel router module was not successfully upgraded to version 2.0.10 of the firmware.");
    s.newVersion = "1.5.13";
    EXPECT_EQ(upgradeCompletedLine(s),
              "The Tarvel router module has been successfully upgraded to version 1.5.13 of the firmware.");
}

TEST_F(MessagesTest, DetailsByCode)
{
    const std::string port =
        strings::load(strings::IDS_PORT_NOT_OPENED) + " COM2 and also to the Tarvel Console Port.\n";
    const std::string cable =
        strings::load(strings::IDS_NO_CONSOLE) + " COM2 and also to the Tarvel Console Port.\n";
    EXPECT_EQ(upgradeFailureDetails(1, s), port);
    EXPECT_EQ(upgradeFailureDetails(2, s), strings::load(strings::IDS_LOGIN_REFUSED));
    EXPECT_EQ(upgradeFailureDetails(7, s),
              "Unable to download the boot file to the Tarvel.\n\nPlease check that the Tarvel is powered "
              "on.\nCheck that the null modem cable is connected to COM2.\nCheck that the boot file "
              "\"C:\\fw\\tarvelboot.dmf\" is correct.");
    EXPECT_EQ(upgradeFailureDetails(8, s),
              strings::load(strings::IDS_CODE_FAILED) +
                  " COM2.\nCheck that the code file \"/home/op/tarvel.dmf\" is correct.");
    for (int other : {3, 0, 4, 5, 6, 9, -1})
        EXPECT_EQ(upgradeFailureDetails(other, s), cable) << other;
}

TEST_F(MessagesTest, PercentSignsInUserTextsAreNotFormats)
{
    s.comPort = "/dev/tty%s%n";
    s.bootFile = "%d%x.tarvelboot.dmf";
    EXPECT_NE(upgradeFailureDetails(7, s).find("/dev/tty%s%n.\nCheck that the boot file \"%d%x.tarvelboot.dmf\""),
              std::string::npos);
}
