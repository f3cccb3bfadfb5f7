// SerialPortDiscovery on Windows: the serial ports are the COMn names that the system's device
// map holds (QueryDosDeviceA), USB adapters included, in the order of their numbers; the driver
// field is the kernel device behind the name ("\Device\Serial0", "\Device\VCP0"). Windows names
// ports itself, so there are no empty slots and the root and link lookups of the POSIX tree do
// not apply: paths are the "\\.\COMn" names. Who holds a port cannot be read without opening it,
// so access() knows only whether the port exists.
#include "platform/SerialPortDiscovery.h"

#include "platform/PrintableText.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace platform {

namespace {

const std::string kDevicePrefix = "\\\\.\\";

// "COM12" -> 12; 0 for anything else.
int comNumber(const std::string& name)
{
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
        return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 9999)
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

std::string withoutPrefix(const std::string& path)
{
    return path.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0 ? path.substr(kDevicePrefix.size()) : path;
}

std::string targetOf(const std::string& name)
{
    char target[1024];
    const DWORD n = QueryDosDeviceA(name.c_str(), target, sizeof target);
    return n > 0 ? std::string(target) : std::string();
}

}  // namespace

std::string SerialPortInfo::summary() const
{
    return driver.empty() ? device : device + " (" + driver + ")";
}

SerialPortDiscovery::SerialPortDiscovery(std::string root) : root_(std::move(root)) {}

// Windows keeps its port names in the device map, not in a tree of files: the tree is kept only
// so that the interface is the same.
SerialPortDiscovery::SerialPortDiscovery(std::shared_ptr<const DeviceTree> tree) : tree_(std::move(tree)) {}

std::string SerialPortDiscovery::onDisk(const std::string& path) const
{
    return path;
}

std::string SerialPortDiscovery::resolve(const std::string& path) const
{
    SerialPortInfo info;
    return find(path, info) ? info.device : std::string();
}

SerialPortDiscovery::Found SerialPortDiscovery::scan() const
{
    // The whole device map: a list of zero-terminated names, ended by an empty one. It grows
    // with the devices present, so the buffer grows until it fits.
    std::vector<char> names(64 * 1024);
    DWORD n = 0;
    while ((n = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0 &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < 16 * 1024 * 1024)
        names.resize(names.size() * 2);
    Found s;
    for (std::size_t i = 0; i < n && names[i] != '\0';) {
        const std::string name(&names[i]);
        i += name.size() + 1;
        if (comNumber(name) == 0)
            continue;
        SerialPortInfo p;
        p.name = name;
        p.device = kDevicePrefix + name;
        p.driver = printable(targetOf(name));  // a driver's own text: shown, never obeyed
        // The serial driver's own ports (\Device\SerialN) are the machine's UARTs.
        p.builtIn = p.driver.rfind("\\Device\\Serial", 0) == 0;
        s.usable.push_back(p);
    }
    std::sort(s.usable.begin(), s.usable.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) { return comNumber(a.name) < comNumber(b.name); });
    return s;
}

std::vector<SerialPortInfo> SerialPortDiscovery::ports() const
{
    return scan().usable;
}

std::vector<std::string> SerialPortDiscovery::emptySlots() const
{
    return {};
}

std::string SerialPortDiscovery::comPortPath(int index) const
{
    const auto p = ports();
    return index >= 0 && static_cast<std::size_t>(index) < p.size() ? p[static_cast<std::size_t>(index)].device
                                                                    : std::string();
}

bool SerialPortDiscovery::find(const std::string& path, SerialPortInfo& out) const
{
    std::string name = withoutPrefix(path);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const SerialPortInfo& p : ports())
        if (p.name == name) {
            out = p;
            return true;
        }
    return false;
}

std::vector<PortHolder> SerialPortDiscovery::holders(const std::string&) const
{
    return {};
}

PortAccess SerialPortDiscovery::access(const std::string& path) const
{
    PortAccess a;
    SerialPortInfo info;
    if (!find(path, info))
        a.state = PortAccess::State::Missing;
    return a;
}

}  // namespace platform
