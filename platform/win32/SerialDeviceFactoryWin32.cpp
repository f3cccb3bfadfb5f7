// SerialDeviceFactory on Windows: port names are the system's own. "COM1" to "COM9" would open
// as they are, but "COM10" and above name a device only in the "\\.\" form, so every name
// is opened in that form. A name that already is a device path ("\\.\...") is used as it is.
// The driver keeps the serial time-outs here, so the clock is not needed. There is no device
// tree to root elsewhere, and no UPGRADE_COMn override: Windows' own names are the ones to use.
#include "platform/SerialDeviceFactory.h"

#include "platform/PortDiagnosis.h"
#include "platform/win32/Win32SerialDevice.h"

#include <windows.h>

namespace platform {

namespace {

// The last failed open on this thread (see the POSIX factory): name, path and system error.
struct LastFailure {
    std::string portName;
    std::string path;
    int error = 0;
};
thread_local LastFailure t_lastFailure;

}  // namespace

std::string SerialDeviceFactory::defaultRoot()
{
    return {};
}

// The ports found do not matter: a name stands for itself.
std::string SerialDeviceFactory::devicePath(const std::string& portName, const std::vector<SerialPortInfo>*) const
{
    static const std::string kDevicePrefix = "\\\\.\\";
    if (portName.empty() || portName.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0)
        return portName;
    return kDevicePrefix + portName;
}

std::unique_ptr<ISerialDevice> SerialDeviceFactory::open(const std::string& portName)
{
    const std::string path = devicePath(portName);
    std::unique_ptr<ISerialDevice> device;
    int error = ERROR_FILE_NOT_FOUND;
    if (!path.empty()) {
        device = Win32SerialDevice::open(path);
        error = static_cast<int>(GetLastError());
    }
    if (!device)
        t_lastFailure = {portName, path, error};
    return device;
}

// Windows' port names are stable: a run keeps the name itself.
ResolvedPort SerialDeviceFactory::resolve(const std::string& portName)
{
    return {portName, portName, devicePath(portName)};
}

std::string SerialDeviceFactory::describe(const std::string& portName)
{
    const std::string path = devicePath(portName);
    if (path.empty())
        return "none found";
    // A name the system's device map does not list stands for no port, as an empty one does.
    SerialPortInfo info;
    return discovery_.find(path, info) ? info.summary() : "none found";
}

std::string SerialDeviceFactory::openFailure(const std::string& portName)
{
    if (t_lastFailure.portName != portName)
        return {};
    return PortDiagnosis(discovery_).explain(portName, t_lastFailure.path, t_lastFailure.error);
}

}  // namespace platform
