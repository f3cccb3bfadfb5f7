#pragma once
// CUpgradeCommandLineInfo: fills UpgradeSettings from the program's arguments, one ParseParam
// call per argument (see parseCommandLine). Option words are single letters compared whole and
// without regard to case ("E" is e, "ef" is nothing):
//   -n non-interactive (and no verification first)  -e erase the configuration
//   -f download at 115,200 bps                       -h show the usage text
//   -s size  -u username  -p password  -b boot-file  -c code-file  -o com-port
// A value option waits for the next argument (pendingOption); any option word cancels a wait.
// Values are stored as given; the -s value is read like atoi, saturating at the int32 limits.
// Nothing is ever reported: unknown words and stray values are ignored.

#include "app/CommandLineParser.h"
#include "app/UpgradeSettings.h"

#include <cstdint>
#include <string_view>

class CUpgradeCommandLineInfo : public CCommandLineInfo {
public:
    // Values of pendingOption.
    enum : int {
        kNoPending = 0,
        kPendingUsername = 1,
        kPendingPassword = 2,
        kPendingBootFile = 3,
        kPendingCodeFile = 4,
        kPendingComPort = 5,
        kPendingProgramSize = 6,
    };

    // settings is not owned and must outlive this object.
    explicit CUpgradeCommandLineInfo(UpgradeSettings* target) : settings(target) {}

    // isLast is not used: a value option at the end simply keeps waiting.
    void ParseParam(const char* param, bool isFlag, bool isLast) override;
    bool isOptionWord(std::string_view word) const override;

    // atoi: leading white space, an optional sign, then digits up to the first other character;
    // 0 without digits. Values beyond the int32 range saturate at INT32_MAX / INT32_MIN.
    static std::int32_t toInt(std::string_view text);

    int pendingOption = kNoPending;
    UpgradeSettings* settings;
};
