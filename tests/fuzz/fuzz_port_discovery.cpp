// libFuzzer target: port discovery's readers of /sys, /dev/serial/by-id and /proc over a device
// tree built from the input in a folder of its own (the root that UPGRADE_DEVICE_ROOT gives).
// The input is a list of records: an operation byte (file, link, folder, FIFO), a byte choosing
// the folder it goes below, then a NUL-ended name (which may hold '/') and a NUL-ended text (the
// file's content or the link's target). Nothing may crash, hang (on a FIFO, a link loop, an
// endless file) or throw, and everything that is shown to the operator stays printable.
#include "FuzzBench.h"
#include "cli/PortList.h"
#include "platform/PortDiagnosis.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SerialPortDiscovery.h"
#include "platform/SystemClock.h"

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

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

// A name below a folder of the tree: no "..", no empty parts, so that the files land inside it.
std::string cleanName(const std::string& name)
{
    std::string out, part;
    std::istringstream parts(name);
    while (std::getline(parts, part, '/'))
        if (!part.empty() && part != "." && part != "..")
            out += (out.empty() ? "" : "/") + part;
    return out;
}

// Never blocks: a FIFO made earlier at the same path is left as it is.
void writeFile(const fs::path& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        require(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
    ::close(fd);
}

void build(const std::string& root, Reader in)
{
    for (const char* folder : kFolders)
        fs::create_directories(root + folder);
    for (int records = 0; !in.done() && records < 64; ++records) {
        const int op = in.byte() % 4;
        const std::string folder = kFolders[in.byte() % std::size(kFolders)];
        const std::string name = cleanName(in.text(96));
        const std::string text = in.text(300);
        if (name.empty())
            continue;
        const fs::path path = root + folder + name;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        switch (op) {
        case 0: writeFile(path, text); break;
        case 1: fs::create_symlink(text, path, ec); break;
        case 2: fs::create_directories(path, ec); break;
        default: ::mkfifo(path.c_str(), 0600); break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory where there is such a folder: a tree is made and removed at every input.
    static const std::string root = (fs::is_directory("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
                                    "/tarvel-fuzz-devtree-" + std::to_string(::getpid());
    static platform::SystemClock clock;
    static const bool once = [] {
        ::unsetenv("UPGRADE_COM1");
        ::unsetenv("UPGRADE_COM2");
        return true;
    }();
    (void)once;
    std::error_code ec;
    fs::remove_all(root, ec);
    build(root, Reader{data, size});

    const platform::SerialDeviceFactory devices(clock, root);
    const platform::SerialPortDiscovery& discovery = devices.discovery();
    const platform::PortDiagnosis why(discovery);
    const auto ports = discovery.ports();
    for (std::size_t i = 0; i < ports.size() && i < 3; ++i) {
        const auto& p = ports[i];
        require(p.device == "/dev/" + p.name);
        require(discovery.comPortPath(static_cast<int>(i)) == p.openPath());
        for (const std::string* field : {&p.driver, &p.vendorId, &p.productId, &p.manufacturer, &p.product})
            requireShowable(*field);
        requireShowable(p.summary());
        const auto holders = discovery.holders(p.device);
        require(std::is_sorted(holders.begin(), holders.end(),
                               [](const auto& a, const auto& b) { return a.pid < b.pid; }));
        for (int error : {0, EACCES, EIO, ENOTTY})
            requireShowable(why.explain(i == 0 ? "COM1" : p.openPath(), p.openPath(), error));
        requireShowable(why.busyAdvice(p.device, holders));
        discovery.access(p.openPath());
    }
    requireShowable(why.explain("COM2", devices.devicePath("COM2"), ENOENT));
    requireShowable(portListText(devices));
    fs::remove_all(root, ec);
    return 0;
}
