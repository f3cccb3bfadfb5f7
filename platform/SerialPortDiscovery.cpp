#include "platform/SerialPortDiscovery.h"

#include "platform/DiskDeviceTree.h"
#include "platform/PathComponents.h"
#include "platform/PrintableText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPathMax = 4096;  // PATH_MAX
constexpr int kMaxDepth = 64;           // folders above a tty searched for its driver and USB device

// The first line of a small sysfs or procfs file, without its line end; empty when unreadable
// or not a regular file.
std::string firstLine(const DeviceTree& tree, const std::string& file)
{
    // A USB string descriptor holds at most 126 UTF-16 units: 378 bytes of UTF-8.
    std::string line = tree.read(file, 512);
    line = line.substr(0, line.find('\n'));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// A decimal number that fits an int, without throwing; nullopt for anything else.
std::optional<int> parseInt(const std::string& s)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

// ttyS2 before ttyS10: names compare by their text, then by their trailing number.
bool naturalLess(const std::string& a, const std::string& b)
{
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        // Nine digits at most: what an int holds, and long names still order by their start.
        const std::string digits = s.substr(i, 9);
        return std::make_pair(s.substr(0, i), digits.empty() ? -1 : parseInt(digits).value_or(-1));
    };
    return split(a) < split(b);
}

bool isNumber(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string SerialPortInfo::summary() const
{
    std::string what = product;
    if (what.empty() && usb)
        what = "USB " + vendorId + ":" + productId;
    return what.empty() ? printable(device) : printable(device) + " (" + what + ")";
}

SerialPortDiscovery::SerialPortDiscovery(std::string root)
    : SerialPortDiscovery(std::make_shared<DiskDeviceTree>(std::move(root)))
{
}

SerialPortDiscovery::SerialPortDiscovery(std::shared_ptr<const DeviceTree> tree) : tree_(std::move(tree)) {}

std::string SerialPortDiscovery::onDisk(const std::string& path) const
{
    return tree_->onDisk(path);
}

std::string SerialPortDiscovery::resolve(const std::string& path) const
{
    // Component by component, as the kernel does: a link in the middle of a path (sysfs is full
    // of them) changes what ".." means after it. Done by hand so that absolute targets stay
    // inside the root. The components still to walk are kept next-one-last.
    std::vector<std::string> todo;
    pushComponentsReversed(path, todo);
    std::string done;  // "" stands for "/"
    int hops = 0;
    while (!todo.empty()) {
        std::string c = std::move(todo.back());
        todo.pop_back();
        if (c == ".")
            continue;
        if (c == "..") {
            done.resize(done.rfind('/') == std::string::npos ? 0 : done.rfind('/'));
            continue;
        }
        const std::size_t before = done.size();
        done += '/';
        done += c;
        // Longer than the kernel takes a path: nothing is there.
        if (done.size() > kPathMax)
            return {};
        if (tree_->kind(done) != DeviceTree::Kind::Link)
            continue;
        const std::string target = tree_->linkTarget(done);
        if (target.empty() || ++hops > 40)
            return {};
        done.resize(target.front() == '/' ? 0 : before);
        pushComponentsReversed(target, todo);
    }
    const std::string found = done.empty() ? std::string("/") : done;
    return tree_->exists(found) ? found : std::string();
}

SerialPortDiscovery::Found SerialPortDiscovery::scan() const
{
    // Device node -> its stable name.
    std::map<std::string, std::string> byId;
    std::vector<std::string> links = tree_->list("/dev/serial/by-id");
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
        const std::string path = "/dev/serial/by-id/" + link;
        const std::string device = resolve(path);
        if (!device.empty())
            byId.emplace(device, path);
    }

    std::vector<SerialPortInfo> usb, uarts, others;
    std::vector<std::string> empty;
    std::vector<std::string> names = tree_->list("/sys/class/tty");
    std::sort(names.begin(), names.end(), naturalLess);
    for (const auto& name : names) {
        const std::string classDir = "/sys/class/tty/" + name;
        const std::string deviceDir = resolve(classDir + "/device");
        if (deviceDir.empty())
            continue;  // virtual consoles, ptys and the like have no device behind them
        SerialPortInfo info;
        info.name = name;
        info.device = "/dev/" + name;
        if (auto it = byId.find(info.device); it != byId.end())
            info.byId = it->second;
        // Up the device tree: the first driver that is not the generic serial port layer, and
        // the USB device (the one with idVendor) for an adapter.
        // A real device sits a dozen folders deep at most; a fabricated one may sit thousands deep.
        int depth = 0;
        for (fs::path d = deviceDir; d.has_relative_path() && d != "/sys/devices" && d != "/sys" && depth++ < kMaxDepth;
             d = d.parent_path()) {
            const std::string dir = d.string();
            if (info.driver.empty()) {
                const fs::path driver = resolve(dir + "/driver");
                if (!driver.empty() && driver.parent_path().parent_path().filename() != "serial-base")
                    info.driver = printable(driver.filename().string());
            }
            if (!info.usb && tree_->exists(dir + "/idVendor")) {
                info.usb = true;
                info.vendorId = printable(firstLine(*tree_, dir + "/idVendor"));
                info.productId = printable(firstLine(*tree_, dir + "/idProduct"));
                info.manufacturer = printable(firstLine(*tree_, dir + "/manufacturer"));
                info.product = printable(firstLine(*tree_, dir + "/product"));
            }
        }
        if (info.usb) {
            usb.push_back(info);
            continue;
        }
        const std::string type = firstLine(*tree_, classDir + "/type");
        if (type.empty())
            others.push_back(info);
        else if (type != "0")
            info.builtIn = true, uarts.push_back(info);
        else
            empty.push_back(name);
    }
    // Adapters with a stable name first, in its order; the others keep the kernel's numbering.
    std::stable_sort(usb.begin(), usb.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        if (a.byId.empty() != b.byId.empty())
            return !a.byId.empty();
        return !a.byId.empty() && a.byId < b.byId;
    });
    Found s;
    s.usable = std::move(usb);
    s.usable.insert(s.usable.end(), uarts.begin(), uarts.end());
    s.usable.insert(s.usable.end(), others.begin(), others.end());
    s.empty = std::move(empty);
    return s;
}

std::vector<SerialPortInfo> SerialPortDiscovery::ports() const
{
    return scan().usable;
}

std::vector<std::string> SerialPortDiscovery::emptySlots() const
{
    return scan().empty;
}

std::string SerialPortDiscovery::comPortPath(int index) const
{
    const auto usable = ports();
    if (index < 0 || static_cast<std::size_t>(index) >= usable.size())
        return {};
    return usable[static_cast<std::size_t>(index)].openPath();
}

bool SerialPortDiscovery::find(const std::string& path, SerialPortInfo& out) const
{
    const std::string device = resolve(path);
    if (device.empty())
        return false;
    for (const auto& p : ports()) {
        if (p.device == device) {
            out = p;
            return true;
        }
    }
    return false;
}

std::vector<PortHolder> SerialPortDiscovery::holders(const std::string& path) const
{
    std::vector<PortHolder> found;
    const std::string device = resolve(path);
    if (device.empty())
        return found;
    const std::string self = std::to_string(::getpid());
    for (const auto& pid : tree_->list("/proc")) {
        const std::optional<int> number = isNumber(pid) ? parseInt(pid) : std::nullopt;
        if (!number || pid == self)
            continue;
        // Another user's descriptors are not readable unless we are root: those are skipped.
        const std::string fds = "/proc/" + pid + "/fd";
        for (const auto& fd : tree_->list(fds)) {
            if (tree_->linkTarget(fds + "/" + fd) == device) {
                found.push_back({*number, printable(firstLine(*tree_, "/proc/" + pid + "/comm"))});
                break;
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return found;
}

PortAccess SerialPortDiscovery::access(const std::string& path) const
{
    PortAccess a;
    const std::string device = resolve(path);
    if (device.empty()) {
        a.state = PortAccess::State::Missing;
        return a;
    }
    a.holders = holders(device);
    if (tree_->accessDenied(device))
        a.state = PortAccess::State::PermissionDenied;
    else if (!a.holders.empty())
        a.state = PortAccess::State::Busy;
    return a;
}

}  // namespace platform
