#pragma once
// SerialDeviceFactory: opens real serial devices (PosixSerialDevice) by port name.
// Port names: "COM1" and "COM2" are the devices named by the environment variables UPGRADE_COM1
// and UPGRADE_COM2 when these are set; otherwise the first and the second serial port that
// really exists (SerialPortDiscovery: USB adapters first, by their stable by-id names, then
// built-in ports with a UART), looked up at every open of the name itself; a run resolves
// the name once (resolve(): the adapter's by-id link, else its device node) and opens that, so
// that it stays on its adapter and finds it again under a new node. A name that starts with '/' is a device path used as it
// is; any other name is looked up as "/dev/<name>".
// The reason for a failed open (PortDiagnosis) is kept per thread for openFailure().

#include "platform/IClock.h"
#include "platform/ISerialDevice.h"
#include "platform/SerialPortDiscovery.h"

#include <string>

namespace platform {

class SerialDeviceFactory final : public ISerialDeviceFactory {
public:
    explicit SerialDeviceFactory(IClock& clock, std::string root = "/") : clock_(clock), discovery_(std::move(root)) {}
    // Ports found in a tree of its own (a tree in memory opens nothing).
    SerialDeviceFactory(IClock& clock, std::shared_ptr<const DeviceTree> tree) : clock_(clock), discovery_(std::move(tree)) {}
    std::unique_ptr<ISerialDevice> open(const std::string& portName) override;
    // "/dev/ttyUSB0 (FT232R USB UART)"; for a device that discovery does not know, the path with
    // the node a link leads to; or "none found".
    std::string describe(const std::string& portName) override;
    ResolvedPort resolve(const std::string& portName) override;
    std::string openFailure(const std::string& portName) override;

    // The device path that a port name stands for now (see above); empty when none. With the
    // ports just found, COM1 and COM2 are looked up among them instead of afresh.
    std::string devicePath(const std::string& portName, const std::vector<SerialPortInfo>* found = nullptr) const;
    const SerialPortDiscovery& discovery() const { return discovery_; }
    // The root below which devices are looked for: UPGRADE_DEVICE_ROOT when set (a fabricated
    // /sys and /dev for trying things out), else "/".
    static std::string defaultRoot();

private:
    IClock& clock_;
    SerialPortDiscovery discovery_;
};

}  // namespace platform
