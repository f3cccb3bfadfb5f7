#pragma once
// FakeDeviceTree: a fabricated /sys, /dev and /proc in the test's temporary folder, laid out as the
// kernel and udev lay them out (relative links through /sys/devices, a serial-base port device
// between a UART and its driver, by-id links), for SerialPortDiscovery and what builds on it.
// A new tree is the standard one: an FTDI USB adapter ttyUSB0 with a by-id name, a real UART
// ttyS0 (type 4) and a legacy slot ttyS1 with an I/O address but no UART (type 0), plus a
// virtual console. Every entry is made twice: on disk below root(), and in memory().

#include "platform/MemoryDeviceTree.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace test {

class FakeDeviceTree {
public:
    static constexpr const char* kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

    FakeDeviceTree()
    {
        usbAdapter("ttyUSB0", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio", kById);
        uart("ttyS0", "00:01", "4", "0x3F8");
        uart("ttyS1", "00:02", "0", "0x2F8");
        dir("/sys/devices/virtual/tty/tty0");
        link("/sys/class/tty/tty0", "../../devices/virtual/tty/tty0");
    }

    std::string root() const { return dir_.path().string(); }
    const std::shared_ptr<platform::MemoryDeviceTree>& memory() const { return memory_; }

    void usbAdapter(const std::string& name, const std::string& usbPort, const std::string& vid, const std::string& pid,
                    const std::string& maker, const std::string& product, const std::string& driver,
                    const std::string& byId)
    {
        const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbPort;
        for (const auto& [field, text] : {std::pair{"idVendor", vid}, {"idProduct", pid}, {"manufacturer", maker},
                                          {"product", product}})
            file(usb + "/" + field, text);
        const std::string port = usb + "/" + usbPort + ":1.0/" + name;
        link(port + "/driver", "../../../../../../../bus/usb-serial/drivers/" + driver);
        dir("/sys/bus/usb-serial/drivers/" + driver);
        link(port + "/tty/" + name + "/device", "../../../" + name);
        plugInAgain(name, usbPort, byId);
    }

    // What unplug() took away, back again (the kernel's device entries stay in this tree).
    void plugInAgain(const std::string& name, const std::string& usbPort, const std::string& byId)
    {
        const std::string port = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbPort + "/" + usbPort + ":1.0/" + name;
        if (!byId.empty())
            link(byId, "../../" + name);
        file("/dev/" + name, "");
        link("/sys/class/tty/" + name, "../.." + port.substr(4) + "/tty/" + name);
    }

    void unplug(const std::string& name, const std::string& byId)
    {
        for (const std::string& p : {"/sys/class/tty/" + name, "/dev/" + name, byId})
            if (!p.empty())
                std::filesystem::remove(path(p)), memory_->remove(p);
    }

    void uart(const std::string& name, const std::string& pnp, const std::string& type, const std::string& ioPort)
    {
        const std::string ctrl = "/sys/devices/pnp0/" + pnp, portDev = ctrl + "/" + pnp + ":0/" + pnp + ":0.0";
        link(ctrl + "/driver", "../../../bus/pnp/drivers/serial");
        dir("/sys/bus/pnp/drivers/serial");
        // The generic port layer's driver, by an absolute link: it must be found inside the root.
        link(portDev + "/driver", "/sys/bus/serial-base/drivers/port");
        dir("/sys/bus/serial-base/drivers/port");
        file(portDev + "/tty/" + name + "/type", type);
        file(portDev + "/tty/" + name + "/port", ioPort);
        link(portDev + "/tty/" + name + "/device", "../../../" + pnp + ":0.0");
        link("/sys/class/tty/" + name, "../.." + portDev.substr(4) + "/tty/" + name);
        file("/dev/" + name, "");
    }

    // A process with the device open, as /proc shows it.
    void holder(int pid, const std::string& command, const std::string& device)
    {
        file("/proc/" + std::to_string(pid) + "/comm", command);
        link("/proc/" + std::to_string(pid) + "/fd/3", device);
    }

    std::filesystem::path path(const std::string& p) const { return root() + p; }
    void dir(const std::string& p) { std::filesystem::create_directories(path(p)), memory_->addFolder(p); }
    void file(const std::string& p, const std::string& text)
    {
        std::filesystem::create_directories(path(p).parent_path());
        std::ofstream(path(p)) << text << (text.empty() ? "" : "\n");
        memory_->addFile(p, text + (text.empty() ? "" : "\n"));
    }
    void link(const std::string& p, const std::string& target)
    {
        std::filesystem::create_directories(path(p).parent_path());
        std::filesystem::create_symlink(target, path(p));
        memory_->addLink(p, target);
    }
    // A FIFO without a writer, ever.
    void fifo(const std::string& p)
    {
        std::filesystem::create_directories(path(p).parent_path());
        ::mkfifo(path(p).c_str(), 0600);
        memory_->addOther(p);
    }

private:
    TempDir dir_{"devtree"};
    std::shared_ptr<platform::MemoryDeviceTree> memory_ = std::make_shared<platform::MemoryDeviceTree>();
};

}  // namespace test
