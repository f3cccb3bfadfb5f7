#include "verify/Verification.h"

#include "app/StringTable.h"
#include "verify/CDeviceVerifier.h"

namespace {

constexpr std::int32_t kProgramSize1513 = 2'843'741;
constexpr std::int32_t kProgramSizeOther = 3'142'217;

}  // namespace

std::int32_t defaultProgramSize(const std::string& newVersion)
{
    return newVersion == "1.5.13" ? kProgramSize1513 : kProgramSizeOther;
}

int runVerification(UpgradeSettings& settings)
{
    CDeviceVerifier verifier;
    char deviceVersionBuffer[10] = "x.x.x";

    // Stored, so that later verifications of this run keep it even if the target changes.
    if (settings.programSize == 0)
        settings.programSize = defaultProgramSize(settings.newVersion);

    int code = verifier.login(sessionPort(settings).openPath, settings.username, settings.password);
    if (code != 0)
        return code;  // deviceVersion keeps what an earlier verification found

    code = verifier.checkVersion(settings.newVersion, deviceVersionBuffer, sizeof deviceVersionBuffer);
    settings.deviceVersion = deviceVersionBuffer;
    if (code != 0)
        return code;

    code = verifier.checkMemory(settings.newVersion);
    if (code != 0)
        return code;

    return verifier.checkFlashSpace(settings.programSize);
}

std::string verificationFailedLine(const UpgradeSettings& settings)
{
    return strings::load(strings::IDS_VERIFY_FAILED) +
           strings::format(" %s to version %s will not be successful. ", settings.deviceVersion.c_str(),
                           settings.newVersion.c_str());
}

std::string verificationPassedText(const UpgradeSettings& settings)
{
    return strings::load(strings::IDS_VERIFY_OK) +
           strings::format(" %s to version %s ", settings.deviceVersion.c_str(), settings.newVersion.c_str()) +
           strings::load(strings::IDS_VERIFY_OK_TAIL) + strings::load(strings::IDS_VERIFY_OK_NEXT);
}

std::string verificationReason(int code, const UpgradeSettings& settings)
{
    using namespace strings;
    switch (code) {
    case 1:
        return load(IDS_PORT_NOT_OPENED) + format(" %s.\n", settings.comPort.c_str());
    case 2:
        return load(IDS_LOGIN_REFUSED);
    case 4:
        return load(IDS_VERSION_OLDER) +
               format(" %s is older than the software version %s", settings.newVersion.c_str(),
                      settings.deviceVersion.c_str()) +
               load(IDS_VERSION_OLDER_TAIL);
    case 5:
        return load(IDS_MEMORY);
    case 6:
        return load(IDS_FLASH);
    default:
        return load(IDS_NO_CONSOLE) +
               format(" %s and also to the Tarvel Console Port. ", settings.comPort.c_str()) +
               load(IDS_NO_CONSOLE_LED);
    }
}
