#include "app/StringTable.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <vector>

namespace strings {

namespace {

const std::map<int, std::string>& table()
{
    static const std::map<int, std::string> t{
        {IDS_COM1, "COM1"},
        {IDS_COM2, "COM2"},
        {IDS_VERIFY_FAILED, "Unfortunately, the utility has determined that upgrading from version"},
        {IDS_VERIFY_OK_TAIL, " with the current device configuration."},
        {IDS_VERIFY_OK_NEXT, "\n\nClick Next if you wish to upgrade the device."},
        {IDS_VERIFY_OK,
         "The test of your Tarvel router module indicates that you will be able to successfully "
         "upgrade from version"},
        {IDS_PORT_NOT_OPENED,
         "Unable to login to the Tarvel Console Port.\n\nPlease check if another application is "
         "already using the COM Port.\nCheck that the null modem cable is connected to"},
        {IDS_LOGIN_REFUSED,
         "Unable to login to the Tarvel Console Port.\n\nPlease check that the username and "
         "password provided are correct."},
        {IDS_VERSION_OLDER,
         "The Tarvel router module operates best with the latest version of the "
         "firmware.\n\nSoftware version"},
        {IDS_VERSION_OLDER_TAIL,
         " already running on the device.\n\nPlease visit the Tarvel support web site at "
         "http://support.tarvel.example/ and select \"Router Modules\" in the Firmware "
         "Downloads section to find the latest firmware revision for your module. If the "
         "firmware on your module is older than the revision offered there, download that "
         "firmware together with its release notes and run this tool again."},
        {IDS_MEMORY,
         "The use of 1.5.x or greater software is not supported unless additional memory is "
         "installed.\n\nYou must install the 16M SIMM upgrade to the Tarvel Router Module.\n\n"
         "The memory upgrade is available through your usual Tarvel distribution channel; order "
         "part number TRM-MEM16-A or TRM-MEM16-B. "
         "Once you have installed the memory upgrade please re-run this tool."},
        {IDS_FLASH,
         "Your Tarvel router module contains too much configuration information. There is not "
         "enough Flash memory remaining in which to install the new software.\n\nYou need to "
         "decrease the size of the configuration information stored in the device.\n\nPlease "
         "consult the user documentation to learn how to decrease the configuration information "
         "stored on your device. Alternatively you can opt to erase the current configuration "
         "information in order to allow the new firmware to be downloaded."},
        {IDS_NO_CONSOLE,
         "Unable to login to the Tarvel Console Port.\n\nPlease check that the null modem cable "
         "is connected to"},
        {IDS_NO_CONSOLE_LED, "Check that the status LED on the Tarvel is flashing green."},
        {IDS_UPGRADE_FAILED, "The Tarvel router module was not successfully upgraded to version"},
        {IDS_UPGRADE_OK, "The Tarvel router module has been successfully upgraded to version"},
        {IDS_BOOT_FAILED,
         "Unable to download the boot file to the Tarvel.\n\nPlease check that the Tarvel is "
         "powered on.\nCheck that the null modem cable is connected to"},
        {IDS_CODE_FAILED,
         "Unable to download the code file to the Tarvel.\n\nPlease check that the Tarvel is "
         "powered on.\nCheck that the null modem cable is connected to"},
    };
    return t;
}

}  // namespace

const std::string& load(int id)
{
    static const std::string empty;
    const auto& t = table();
    auto it = t.find(id);
    return it == t.end() ? empty : it->second;
}

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, args);
        out.assign(buf.data(), static_cast<std::size_t>(n));
    }
    va_end(args);
    return out;
}

}  // namespace strings
