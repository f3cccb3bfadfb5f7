#pragma once
// SerialDeviceFactory: opens real serial devices (PosixSerialDevice) by port name.
// Port names: "COM1" is /dev/ttyS0 and "COM2" is /dev/ttyS1, unless the environment variable
// UPGRADE_COM1 or UPGRADE_COM2 names another device; a name that starts with '/' is a device
// path used as it is. Any other name is looked up as "/dev/<name>".

#include "platform/IClock.h"
#include "platform/ISerialDevice.h"

#include <string>

namespace platform {

class SerialDeviceFactory final : public ISerialDeviceFactory {
public:
    explicit SerialDeviceFactory(IClock& clock) : clock_(clock) {}
    std::unique_ptr<ISerialDevice> open(const std::string& portName) override;

    // The device path that a port name stands for (see above).
    static std::string devicePath(const std::string& portName);

private:
    IClock& clock_;
};

}  // namespace platform
