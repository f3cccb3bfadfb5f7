#include "platform/SerialPortDiscovery.h"

#include "platform/PrintableText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs or procfs file, without its line end; empty when unreadable
// or not a regular file. Bounded and non-blocking: under a fabricated root a "file" may be a FIFO
// or something endless, and nothing here may hang or grow on what it finds.
std::string firstLine(const std::string& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat st {};
    char buffer[512];  // a USB string descriptor holds at most 126 UTF-16 units: 378 bytes of UTF-8
    ssize_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    std::string line(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
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

SerialPortDiscovery::SerialPortDiscovery(std::string root) : root_(std::move(root))
{
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
    if (root_ == "/")
        root_.clear();
}

std::string SerialPortDiscovery::onDisk(const std::string& path) const
{
    return root_ + path;
}

std::string SerialPortDiscovery::resolve(const std::string& path) const
{
    // Component by component, as the kernel does: a link in the middle of a path (sysfs is full
    // of them) changes what ".." means after it. Done by hand so that absolute targets stay
    // inside the root.
    std::vector<std::string> todo;
    for (const auto& c : fs::path(path).relative_path())
        todo.push_back(c.string());
    std::reverse(todo.begin(), todo.end());
    fs::path done = "/";
    std::error_code ec;
    int hops = 0;
    while (!todo.empty()) {
        const std::string c = todo.back();
        todo.pop_back();
        if (c.empty() || c == ".")
            continue;
        if (c == "..") {
            done = done.parent_path();
            continue;
        }
        const fs::path next = done / c;
        const fs::path disk = onDisk(next.string());
        if (!fs::is_symlink(fs::symlink_status(disk, ec))) {
            done = next;
            continue;
        }
        const fs::path target = fs::read_symlink(disk, ec);
        if (ec || ++hops > 40)
            return {};
        if (target.is_absolute())
            done = "/";
        std::vector<std::string> parts;
        for (const auto& t : target.relative_path())
            parts.push_back(t.string());
        todo.insert(todo.end(), parts.rbegin(), parts.rend());
    }
    if (!fs::exists(fs::status(onDisk(done.string()), ec)))
        return {};
    return done.string();
}

SerialPortDiscovery::Scan SerialPortDiscovery::scan() const
{
    std::error_code ec;
    // Device node -> its stable name.
    std::map<std::string, std::string> byId;
    std::vector<std::string> links;
    for (const auto& e : fs::directory_iterator(onDisk("/dev/serial/by-id"), ec))
        links.push_back(e.path().filename().string());
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
        const std::string path = "/dev/serial/by-id/" + link;
        const std::string device = resolve(path);
        if (!device.empty())
            byId.emplace(device, path);
    }

    std::vector<SerialPortInfo> usb, uarts, others;
    std::vector<std::string> empty;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(onDisk("/sys/class/tty"), ec))
        names.push_back(e.path().filename().string());
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
        for (fs::path d = deviceDir; d.has_relative_path() && d != "/sys/devices" && d != "/sys"; d = d.parent_path()) {
            const std::string dir = d.string();
            if (info.driver.empty()) {
                const fs::path driver = resolve(dir + "/driver");
                if (!driver.empty() && driver.parent_path().parent_path().filename() != "serial-base")
                    info.driver = printable(driver.filename().string());
            }
            if (!info.usb && fs::exists(onDisk(dir + "/idVendor"), ec)) {
                info.usb = true;
                info.vendorId = printable(firstLine(onDisk(dir + "/idVendor")));
                info.productId = printable(firstLine(onDisk(dir + "/idProduct")));
                info.manufacturer = printable(firstLine(onDisk(dir + "/manufacturer")));
                info.product = printable(firstLine(onDisk(dir + "/product")));
            }
        }
        if (info.usb) {
            usb.push_back(info);
            continue;
        }
        const std::string type = firstLine(onDisk(classDir + "/type"));
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
    Scan s;
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
    std::error_code ec;
    for (const auto& proc : fs::directory_iterator(onDisk("/proc"), ec)) {
        const std::string pid = proc.path().filename().string();
        const std::optional<int> number = isNumber(pid) ? parseInt(pid) : std::nullopt;
        if (!number || pid == self)
            continue;
        std::error_code fdError;
        // Another user's descriptors are not readable unless we are root: those are skipped.
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fd.path(), linkError);
            if (!linkError && target == device) {
                found.push_back({*number, printable(firstLine((proc.path() / "comm").string()))});
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
    if (::access(onDisk(device).c_str(), R_OK | W_OK) != 0 && errno == EACCES)
        a.state = PortAccess::State::PermissionDenied;
    else if (!a.holders.empty())
        a.state = PortAccess::State::Busy;
    return a;
}

}  // namespace platform
