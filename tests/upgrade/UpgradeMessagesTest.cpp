// The failed page's Details texts by result code and the two result lines, byte for byte; user
// texts are values, never formats.
#include "upgrade/UpgradeMessages.h"

#include "app/StringTable.h"

#include <gtest/gtest.h>

TEST(UpgradeMessages, ResultLinesAndTheDetailsOfEveryCode)
{
    UpgradeSettings s;
    s.comPort = "COM2%s", s.bootFile = "C:\\fw\\%d.dmf", s.codeFile = "/home/op/tarvel.dmf";
    EXPECT_EQ(upgradeFailedLine(s),
              "The Tarvel router module was not successfully upgraded to version 2.0.10 of the firmware.");
    s.newVersion = "1.5.13";
    EXPECT_EQ(upgradeCompletedLine(s),
              "The Tarvel router module has been successfully upgraded to version 1.5.13 of the firmware.");
    const std::string tail = " COM2%s and also to the Tarvel Console Port.\n";
    const std::pair<int, std::string> details[] = {
        {1, strings::load(strings::IDS_PORT_NOT_OPENED) + tail},
        {2, strings::load(strings::IDS_LOGIN_REFUSED)},
        {7, "Unable to download the boot file to the Tarvel.\n\nPlease check that the Tarvel is powered on.\nCheck "
            "that the null modem cable is connected to COM2%s.\nCheck that the boot file \"C:\\fw\\%d.dmf\" is correct."},
        {8, strings::load(strings::IDS_CODE_FAILED) + " COM2%s.\nCheck that the code file \"/home/op/tarvel.dmf\" is correct."},
        {3, strings::load(strings::IDS_NO_CONSOLE) + tail}, {0, strings::load(strings::IDS_NO_CONSOLE) + tail},
        {9, strings::load(strings::IDS_NO_CONSOLE) + tail}, {-1, strings::load(strings::IDS_NO_CONSOLE) + tail},
    };
    for (const auto& [code, text] : details)
        EXPECT_EQ(upgradeFailureDetails(code, s), text) << code;
}
