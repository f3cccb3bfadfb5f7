#pragma once
// UnpacedDeviceFactory: opens device paths as PosixSerialDevice without the line's pace, for
// runs against a receiver program on the far side of a pseudo-terminal, where no cable sets the
// speed and a transfer should go as fast as the machine allows. Header-only so that the
// benchmark can use it too.

#include "platform/PosixSerialDevice.h"

#include <memory>
#include <string>

namespace zmtest {

class UnpacedDeviceFactory final : public platform::ISerialDeviceFactory {
public:
    explicit UnpacedDeviceFactory(platform::IClock& clock) : clock_(clock) {}
    std::unique_ptr<platform::ISerialDevice> open(const std::string& path) override
    {
        auto device = platform::PosixSerialDevice::open(path, clock_);
        if (device)
            device->setLinePaced(false);
        return device;
    }

private:
    platform::IClock& clock_;
};

}  // namespace zmtest
