#pragma once
// DeviceTree: what port discovery reads of /sys, /dev and /proc: the kind of an entry, a link's
// target, a folder's names, the start of a small file, a device's owner and mode, and whether
// this user may open it. Paths are the system's own ("/sys/class/tty"); the tree decides where
// they live: DiskDeviceTree below a root folder on disk, MemoryDeviceTree in memory.
//
// Every read is bounded and none blocks: in a fabricated tree a "file" may be a FIFO, endless, or
// a link that leads back to itself. Links met on the way to an entry are followed; a final link
// is followed everywhere except by kind() and linkTarget().

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class DeviceTree {
public:
    enum class Kind { None, File, Directory, Link, Other };
    struct Status {
        unsigned mode = 0;  // type and permission bits, as stat() gives them
        unsigned uid = 0;
        unsigned gid = 0;
    };

    virtual ~DeviceTree() = default;

    // The entry at path itself, a final link not followed; None where there is nothing.
    virtual Kind kind(const std::string& path) const = 0;
    // Whether path leads to anything (a dangling link or a loop leads nowhere).
    virtual bool exists(const std::string& path) const = 0;
    // A link's target as it was written; empty when path is no link.
    virtual std::string linkTarget(const std::string& path) const = 0;
    // The names in a folder, in no particular order; empty when path is no folder.
    virtual std::vector<std::string> list(const std::string& path) const = 0;
    // At most limit bytes from the start of a regular file; empty for anything else.
    virtual std::string read(const std::string& path, std::size_t limit) const = 0;
    virtual std::optional<Status> status(const std::string& path) const = 0;
    // Whether opening path for reading and writing would be refused for want of permission.
    virtual bool accessDenied(const std::string& path) const = 0;
    // Where path is on disk, for opening a device; empty for a tree that is not on disk.
    virtual std::string onDisk(const std::string& path) const = 0;
};

}  // namespace platform
