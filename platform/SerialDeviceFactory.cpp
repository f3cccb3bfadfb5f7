#include "platform/SerialDeviceFactory.h"

#include "platform/PortDiagnosis.h"
#include "platform/PosixSerialDevice.h"
#include "platform/PrintableText.h"

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

// The last failed open on this thread: the GUI thread's verification and the worker's run
// must not see each other's reasons.
struct LastFailure {
    std::string portName;
    std::string path;
    int error = 0;
};
thread_local LastFailure t_lastFailure;

}  // namespace

std::string SerialDeviceFactory::defaultRoot()
{
    const char* v = std::getenv("UPGRADE_DEVICE_ROOT");
    return v && *v ? v : "/";
}

std::string SerialDeviceFactory::devicePath(const std::string& portName, const std::vector<SerialPortInfo>* found) const
{
    if (!portName.empty() && portName.front() == '/')
        return portName;
    for (int i = 0; i < 2; ++i) {
        const std::string com = i == 0 ? "COM1" : "COM2";
        if (portName != com)
            continue;
        const char* v = std::getenv(i == 0 ? "UPGRADE_COM1" : "UPGRADE_COM2");
        if (v && *v)
            return v;
        if (!found)
            return discovery_.comPortPath(i);
        return static_cast<std::size_t>(i) < found->size() ? (*found)[static_cast<std::size_t>(i)].openPath() : std::string();
    }
    return portName.empty() ? std::string() : "/dev/" + portName;
}

ResolvedPort SerialDeviceFactory::resolve(const std::string& portName)
{
    const std::string path = devicePath(portName);
    if (path.empty())
        return {portName, portName, {}};
    return {portName, path, discovery_.resolve(path)};
}

std::unique_ptr<ISerialDevice> SerialDeviceFactory::open(const std::string& portName)
{
    const std::string path = devicePath(portName);
    int error = 0;
    std::unique_ptr<ISerialDevice> device;
    const std::string onDisk = path.empty() ? path : discovery_.onDisk(path);
    if (!onDisk.empty())
        device = PosixSerialDevice::open(onDisk, clock_, &error);
    else if (!path.empty())
        error = ENOENT;
    if (!device)
        t_lastFailure = {portName, path, error};
    return device;
}

std::string SerialDeviceFactory::describe(const std::string& portName)
{
    const std::string path = devicePath(portName);
    // A name mapped or given to a path where nothing is (a dangling link included) stands for
    // no port, just like an unmapped name with no port behind it.
    if (path.empty() || !discovery_.tree().exists(path))
        return "none found";
    SerialPortInfo info;
    if (!discovery_.find(path, info)) {
        // A link to something that is not a serial port of this computer (a pseudo-terminal).
        const std::string device = discovery_.resolve(path);
        return printable(device.empty() || device == path ? path : path + " (" + device + ")");
    }
    // Short enough for the port page; the stable name is in the port list.
    return info.summary();
}

std::string SerialDeviceFactory::openFailure(const std::string& portName)
{
    if (t_lastFailure.portName != portName)
        return {};
    return PortDiagnosis(discovery_).explain(portName, t_lastFailure.path, t_lastFailure.error);
}

}  // namespace platform
