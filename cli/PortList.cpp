#include "cli/PortList.h"

#include "platform/PortDiagnosis.h"
#include "platform/PrintableText.h"

#include <sstream>

namespace {

using platform::PortAccess;
using platform::SerialPortInfo;
using platform::printable;

// Continuation lines of an advice, under its field.
std::string indented(const std::string& text)
{
    std::string out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out += "                " + line + "\n";
    return out;
}

std::string accessText(const platform::SerialPortDiscovery& discovery, const std::string& device)
{
    const platform::PortDiagnosis diagnosis(discovery);
    const PortAccess access = discovery.access(device);
    switch (access.state) {
    case PortAccess::State::Ok:
        return "yes\n";
    case PortAccess::State::Missing:
        return "no: the device is gone\n";
    case PortAccess::State::PermissionDenied:
        return "no\n" + indented(diagnosis.permissionAdvice(device));
    case PortAccess::State::Busy:
        return "in use\n" + indented(diagnosis.busyAdvice(device, access.holders));
    }
    return "\n";
}

}  // namespace

std::string portListText(const platform::SerialDeviceFactory& devices)
{
    const platform::SerialPortDiscovery& discovery = devices.discovery();
    const auto found = discovery.scan();
    const auto& ports = found.usable;
    const std::string com[2] = {devices.devicePath("COM1", &ports), devices.devicePath("COM2", &ports)};
    auto comNames = [&](const std::string& device) {
        std::string names;
        for (int i = 0; i < 2; ++i)
            if (!com[i].empty() && discovery.resolve(com[i]) == device)
                names += std::string(names.empty() ? "" : ", ") + (i == 0 ? "COM1" : "COM2");
        return names;
    };

    std::string text;
    bool comShown[2] = {false, false};
    for (const SerialPortInfo& p : ports) {
        const std::string names = comNames(p.device);
        for (int i = 0; i < 2; ++i)
            comShown[i] = comShown[i] || names.find(i == 0 ? "COM1" : "COM2") != std::string::npos;
        text += printable(p.openPath()) + (names.empty() ? "" : "  (" + names + ")") + "\n";
        text += "    device      " + printable(p.device) + "\n";
        if (p.usb) {
            text += "    usb         " + p.vendorId + ":" + p.productId;
            for (const std::string* s : {&p.manufacturer, &p.product})
                if (!s->empty())
                    text += "  " + *s;
            text += "\n";
        }
        text += "    driver      " + (p.driver.empty() ? std::string("unknown") : p.driver) + "\n";
        text += "    can open    " + accessText(discovery, p.device);
    }
    for (int i = 0; i < 2; ++i) {
        // A device named in the environment that discovery does not count as a serial port.
        if (comShown[i] || com[i].empty())
            continue;
        const std::string name = i == 0 ? "COM1" : "COM2";
        const std::string device = discovery.resolve(com[i]);
        text += printable(com[i]) + "  (" + name + ", from UPGRADE_" + name + ")\n";
        text += "    device      " + (device.empty() ? std::string("missing") : printable(device)) + "\n";
        if (!device.empty())
            text += "    can open    " + accessText(discovery, device);
    }
    if (ports.empty())
        text += "No serial port found.\n";
    const auto& empty = found.empty;
    if (!empty.empty()) {
        text += "Built-in port names without a UART behind them (not used):";
        for (const auto& name : empty)
            text += " " + printable(name);
        text += "\n";
    }
    return text;
}
