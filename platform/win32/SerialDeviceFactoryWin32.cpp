// SerialDeviceFactory on Windows: port names are the system's own. "COM1" to "COM9" would open
// as they are, but "COM10" and above name a device only in the "\\.\" form, so every name
// is opened in that form. A name that already is a device path ("\\.\...") is used as it is.
// The driver keeps the serial time-outs here, so the clock is not needed.
#include "platform/SerialDeviceFactory.h"

#include "platform/win32/Win32SerialDevice.h"

namespace platform {

std::string SerialDeviceFactory::devicePath(const std::string& portName)
{
    static const std::string kDevicePrefix = "\\\\.\\";
    if (portName.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0)
        return portName;
    return kDevicePrefix + portName;
}

std::unique_ptr<ISerialDevice> SerialDeviceFactory::open(const std::string& portName)
{
    if (portName.empty())
        return nullptr;
    return Win32SerialDevice::open(devicePath(portName));
}

}  // namespace platform
