#include "platform/SerialDeviceFactory.h"

#include "platform/PosixSerialDevice.h"

#include <cstdlib>

namespace platform {

std::string SerialDeviceFactory::devicePath(const std::string& portName)
{
    if (!portName.empty() && portName.front() == '/')
        return portName;
    auto fromEnv = [](const char* var, const char* fallback) {
        const char* v = std::getenv(var);
        return std::string(v && *v ? v : fallback);
    };
    if (portName == "COM1")
        return fromEnv("UPGRADE_COM1", "/dev/ttyS0");
    if (portName == "COM2")
        return fromEnv("UPGRADE_COM2", "/dev/ttyS1");
    return "/dev/" + portName;
}

std::unique_ptr<ISerialDevice> SerialDeviceFactory::open(const std::string& portName)
{
    if (portName.empty())
        return nullptr;
    return PosixSerialDevice::open(devicePath(portName), clock_);
}

}  // namespace platform
