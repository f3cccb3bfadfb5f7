#pragma once
// PortDiagnosis: why a serial device cannot be opened, in words an operator can act on. Given
// the port name, the device path it stood for and the error of the failed open (errno; 0 when
// not known), it looks at the device through SerialPortDiscovery and returns a few lines:
//  - no such device: which one, and the serial ports that do exist;
//  - permission denied: the device's group and mode, and the command that adds this user to
//    the group (sudo usermod -aG <group> $USER) with the note that it takes a new login, or
//    that a new login is all that is missing;
//  - busy: the processes that hold it; for ModemManager, the udev rule that makes it leave the
//    adapter alone (with the adapter's USB ids);
//  - not a terminal, or the system's own words for any other error.
// Reads only; never opens the device (opening a real port can reset what is attached to it).

#include "platform/SerialPortDiscovery.h"

#include <string>

namespace platform {

class PortDiagnosis {
public:
    explicit PortDiagnosis(const SerialPortDiscovery& discovery) : discovery_(discovery) {}

    // Lines separated by '\n', without a trailing one.
    std::string explain(const std::string& portName, const std::string& path, int openError) const;

    // The lines for a device that this user may not open (also used by the port list).
    std::string permissionAdvice(const std::string& device) const;
    // The lines for a device held by others; holders as found by SerialPortDiscovery.
    std::string busyAdvice(const std::string& device, const std::vector<PortHolder>& holders) const;
    // The udev rule line that makes ModemManager ignore a device.
    static std::string modemManagerRule(const SerialPortInfo& port);
    // "/dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0", or "none".
    std::string existingPorts() const;

private:
    const SerialPortDiscovery& discovery_;
};

}  // namespace platform
