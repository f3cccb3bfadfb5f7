#include "upgrade/UpgradeMessages.h"

#include "app/StringTable.h"

namespace {

std::string versionTail(const UpgradeSettings& settings)
{
    return strings::format(" %s of the firmware.", settings.newVersion.c_str());
}

}  // namespace

std::string upgradeCompletedLine(const UpgradeSettings& settings)
{
    return strings::load(strings::IDS_UPGRADE_OK) + versionTail(settings);
}

std::string upgradeFailedLine(const UpgradeSettings& settings)
{
    return strings::load(strings::IDS_UPGRADE_FAILED) + versionTail(settings);
}

std::string upgradeFailureDetails(int code, const UpgradeSettings& settings)
{
    const char* port = settings.comPort.c_str();
    switch (code) {
    case 1:
        return strings::load(strings::IDS_PORT_NOT_OPENED) +
               strings::format(" %s and also to the Tarvel Console Port.\n", port);
    case 2:
        return strings::load(strings::IDS_LOGIN_REFUSED);
    case 7:
        return strings::load(strings::IDS_BOOT_FAILED) +
               strings::format(" %s.\nCheck that the boot file \"%s\" is correct.", port,
                               settings.bootFile.c_str());
    case 8:
        return strings::load(strings::IDS_CODE_FAILED) +
               strings::format(" %s.\nCheck that the code file \"%s\" is correct.", port,
                               settings.codeFile.c_str());
    default:
        return strings::load(strings::IDS_NO_CONSOLE) +
               strings::format(" %s and also to the Tarvel Console Port.\n", port);
    }
}
