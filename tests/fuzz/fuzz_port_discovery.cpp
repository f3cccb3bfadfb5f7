// libFuzzer target: port discovery's readers of /sys, /dev/serial/by-id and /proc over a device
// tree built in memory from the input (MemoryDeviceTree reads as a tree on disk does; the device
// tree tests hold the two side by side).
// The input's first byte chooses what is asked of the tree (and which port, which error), so that
// each run asks one thing; the rest is a list of records: an operation byte (its low two bits: file, link, folder, FIFO;
// the next bit: this user may not open it; the three above: its mode and group), a byte choosing
// the folder it goes below, then a NUL-ended name (which may hold '/') and a NUL-ended text (the
// file's content or the link's target). Nothing may crash, hang (on a FIFO, a link loop, an
// endless file) or throw, and everything that is shown to the operator stays printable.
#include "FuzzBench.h"
#include "cli/PortList.h"
#include "platform/MemoryDeviceTree.h"
#include "platform/PortDiagnosis.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SerialPortDiscovery.h"
#include "platform/SystemClock.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

using fuzz::require;

// Text for the operator: lines of printable bytes (UTF-8 allowed), nothing that steers a terminal.
void requireShowable(const std::string& text)
{
    for (unsigned char c : text)
        require(c == '\n' || (c >= 0x20 && c != 0x7f));
}

const char* const kFolders[] = {"/sys/class/tty/", "/sys/devices/pci0/usb1/", "/dev/", "/dev/serial/by-id/",
                                "/proc/", "/sys/bus/usb-serial/drivers/", "/sys/devices/pnp0/", "/sys/"};

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool done() const { return pos >= size; }
    std::uint8_t byte() { return done() ? 0 : data[pos++]; }
    std::string text(std::size_t limit)
    {
        std::string s;
        while (!done() && data[pos] != 0 && s.size() < limit)
            s += static_cast<char>(data[pos++]);
        while (!done() && data[pos] != 0)
            ++pos;
        ++pos;
        return s;
    }
};

// Modes and groups a device node may have: the usual ones, one for its owner only, and groups
// that this machine may not know.
const platform::DeviceTree::Status kStatus[] = {
    {0100644, 0, 0}, {020660, 0, 20}, {020600, 1000, 5}, {020666, 0, 0},
    {020660, 0, 4000000000u}, {010600, 0, 0}, {020606, 12345, 20}, {0100000, 0, 65534},
};

void build(platform::MemoryDeviceTree& tree, Reader in)
{
    for (const char* folder : kFolders)
        tree.addFolder(folder);
    for (int records = 0; !in.done() && records < 64; ++records) {
        const int op = in.byte();
        const std::string path = kFolders[in.byte() % std::size(kFolders)] + in.text(96);
        const std::string text = in.text(300);
        const bool denied = (op & 4) != 0;
        const platform::DeviceTree::Status status = kStatus[(op >> 3) % std::size(kStatus)];
        switch (op % 4) {
        case 0: tree.addFile(path, text, status, denied); break;
        case 1: tree.addLink(path, text); break;
        case 2: tree.addFolder(path); break;
        default: tree.addOther(path, status, denied); break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static platform::SystemClock clock;
    static const bool once = [] {
        ::unsetenv("UPGRADE_COM1");
        ::unsetenv("UPGRADE_COM2");
        return true;
    }();
    (void)once;
    if (size == 0)
        return 0;
    const unsigned what = data[0];
    auto tree = std::make_shared<platform::MemoryDeviceTree>();
    build(*tree, Reader{data + 1, size - 1});

    platform::SerialDeviceFactory devices(clock, tree);
    const platform::SerialPortDiscovery& discovery = devices.discovery();
    const platform::PortDiagnosis why(discovery);
    const auto ports = discovery.ports();
    const std::size_t k = (what >> 3) % 4;  // a port by its place: COM1, COM2, ...
    const platform::SerialPortInfo none;
    const platform::SerialPortInfo& port = k < ports.size() ? ports[k] : none;
    const std::string name = k == 0 ? "COM1" : port.openPath();
    switch (what % 8) {
    case 0:
        for (const auto& p : ports) {
            require(p.device == "/dev/" + p.name);
            for (const std::string* field : {&p.driver, &p.vendorId, &p.productId, &p.manufacturer, &p.product})
                requireShowable(*field);
            requireShowable(p.summary());
        }
        break;
    case 1: {
        require(discovery.comPortPath(static_cast<int>(k)) == port.openPath());
        platform::SerialPortInfo found;
        if (discovery.find(port.openPath(), found))
            require(found.device == discovery.resolve(port.openPath()));
        break;
    }
    case 2: {
        const auto holders = discovery.holders(port.device);
        require(std::is_sorted(holders.begin(), holders.end(),
                               [](const auto& a, const auto& b) { return a.pid < b.pid; }));
        requireShowable(why.busyAdvice(port.device, holders));
        break;
    }
    case 3: {
        const int errors[] = {0, EACCES, EIO, ENOTTY, EBUSY, ENOENT, EPERM, ENXIO};
        requireShowable(why.explain(name, port.openPath(), errors[(what >> 5) % std::size(errors)]));
        break;
    }
    case 4: requireShowable(portListText(devices)); break;
    case 5:
        for (const std::string& n : {std::string("COM1"), std::string("COM2"), port.openPath()})
            requireShowable(devices.describe(n));
        break;
    case 6: requireShowable(why.explain("COM2", devices.devicePath("COM2"), ENOENT)); break;
    default:
        discovery.access(port.openPath());
        requireShowable(why.permissionAdvice(port.device));
        break;
    }
    return 0;
}
