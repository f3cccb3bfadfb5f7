#pragma once
// SerialPortDiscovery: the serial devices of this computer, as the kernel describes them in
// /sys/class/tty and udev names them in /dev/serial/by-id, read through a DeviceTree: the disk
// below a root directory ("/" normally; a fabricated tree for trying things out), or a tree in
// memory. Paths handed out are the system's own ("/dev/ttyUSB0"), without the root.
//
// A tty is a serial device when it has a device behind it (/sys/class/tty/<name>/device).
// It is a USB adapter when a USB device (idVendor) is among its ancestors; other ttys with a
// UART type file are built-in ports, usable only when the kernel found a UART there (type != 0:
// a legacy slot such as ttyS1 keeps its I/O address even when nothing answers at it).
//
// ports() lists the usable devices in the order in which COM1, COM2, ... are given out:
// USB adapters first (those with a by-id name sorted by it, then the others by device name),
// then real built-in UARTs by number, then other serial ttys. emptySlots() names the built-in
// ports without a UART. comPortPath(n) is the n-th usable port (0 = COM1) by its stable name:
// the by-id link where there is one, else the device node; empty when there is none.
// Every call reads the tree afresh, so an adapter plugged in again is found again.
//
// The descriptive fields (driver, USB ids and strings, a holder's command) are kept printable
// (PrintableText.h); names and paths are kept as they are, for opening, and escaped where shown.
//
// access() tells whether this user can open a device now: missing, permission denied (with the
// device's group), or held by other processes (found through /proc/<pid>/fd where readable).

#include "platform/DeviceTree.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {

struct SerialPortInfo {
    std::string name;          // kernel name: ttyUSB0
    std::string device;        // /dev/ttyUSB0
    std::string byId;          // /dev/serial/by-id/usb-..., empty when udev made none
    std::string driver;        // ftdi_sio, cdc_acm, serial, serial8250, ...
    bool usb = false;
    bool builtIn = false;      // a UART of the machine itself rather than an adapter
    std::string vendorId;      // USB only: "0403"
    std::string productId;     // "6001"
    std::string manufacturer;  // "FTDI"
    std::string product;       // "FT232R USB UART"

    // The name to open it by: the stable by-id name where there is one.
    const std::string& openPath() const { return byId.empty() ? device : byId; }
    // A short description for the operator: "/dev/ttyUSB0 (FT232R USB UART)".
    std::string summary() const;
};

struct PortHolder {
    int pid = 0;
    std::string command;  // the process's name (/proc/<pid>/comm)
};

struct PortAccess {
    enum class State { Ok, Missing, PermissionDenied, Busy };
    State state = State::Ok;
    std::vector<PortHolder> holders;  // processes that have the device open (other than us)
};

class SerialPortDiscovery {
public:
    explicit SerialPortDiscovery(std::string root = "/");
    explicit SerialPortDiscovery(std::shared_ptr<const DeviceTree> tree);

    std::vector<SerialPortInfo> ports() const;
    std::vector<std::string> emptySlots() const;
    // Both from one reading of the tree.
    struct Found {
        std::vector<SerialPortInfo> usable;  // ports()
        std::vector<std::string> empty;      // emptySlots()
    };
    Found scan() const;
    std::string comPortPath(int index) const;

    // The usable port whose device node or by-id name is path (links are followed).
    bool find(const std::string& path, SerialPortInfo& out) const;
    // Processes (not this one) with path's device open, as far as /proc lets us see.
    std::vector<PortHolder> holders(const std::string& path) const;
    PortAccess access(const std::string& path) const;

    // Where path is on disk, for opening it; empty when the tree is not on disk.
    std::string onDisk(const std::string& path) const;
    const DeviceTree& tree() const { return *tree_; }
    // The system path that a path (possibly a link) finally names, without the root; empty when
    // it does not exist.
    std::string resolve(const std::string& path) const;

private:
    std::string root_;
    std::shared_ptr<const DeviceTree> tree_;
};

}  // namespace platform
