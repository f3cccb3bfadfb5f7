#pragma once
// ResolvedPort: the device that a port name stood for when a run started. A run (a verification,
// an upgrade) is given one at its start and opens openPath at every open, its reopens included,
// so it stays on that device: an adapter plugged in meanwhile never takes its place, and an
// adapter that comes back under a new node (ttyUSB0 -> ttyUSB1) is found again by its stable
// by-id name. When that name is gone, the open fails; it never moves to another device.
// Made by ISerialDeviceFactory::resolve; a plain value, one per run or per port of a run.

#include <string>

namespace platform {

struct ResolvedPort {
    std::string name;      // as the operator gave it: "COM1", "/dev/ttyUSB0"
    std::string openPath;  // what each open uses: the by-id link or device path; name when it stood for none
    std::string device;    // the device node it led to at resolution; empty when none was found

    bool found() const { return !device.empty(); }
    bool operator==(const ResolvedPort&) const = default;
};

}  // namespace platform
