// PortDiagnosis on Windows: the reason for a failed open comes from its system error code
// (GetLastError of CreateFileA): a port that does not exist, one that another program holds
// (Windows opens serial ports for one program at a time and does not say which one holds it),
// or the system's own words for anything else. No group membership or ModemManager applies.
#include "platform/PortDiagnosis.h"

#include <windows.h>

namespace platform {

namespace {

std::string systemText(int error)
{
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "system error " + std::to_string(error) : s;
}

}  // namespace

std::string PortDiagnosis::existingPorts() const
{
    std::string list;
    for (const SerialPortInfo& p : discovery_.ports())
        list += (list.empty() ? "" : ", ") + p.name;
    return list.empty() ? "none" : list;
}

std::string PortDiagnosis::modemManagerRule(const SerialPortInfo&)
{
    return {};
}

std::string PortDiagnosis::permissionAdvice(const std::string& device) const
{
    return "Access denied: " + device + " is in use by another program, or this user may not open it.";
}

std::string PortDiagnosis::busyAdvice(const std::string& device, const std::vector<PortHolder>&) const
{
    return "Busy: " + device + " is in use by another program; close that program and try again.";
}

std::string PortDiagnosis::explain(const std::string& portName, const std::string& path, int openError) const
{
    const std::string named = portName == path ? path : path + " (" + portName + ")";
    switch (openError) {
    case 0:
        return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "No such port: " + named + ".\nSerial ports found: " + existingPorts() + ".";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return busyAdvice(path, {});
    default:
        return named + ": " + systemText(openError) + ".";
    }
}

}  // namespace platform
