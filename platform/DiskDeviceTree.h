#pragma once
// DiskDeviceTree: the device tree of this computer, read below a root folder ("/" normally; a
// fabricated /sys, /dev and /proc for trying things out and for tests). A link's absolute target
// is the kernel's business here: it leads outside the root, as it would on disk.

#include "platform/DeviceTree.h"

namespace platform {

class DiskDeviceTree final : public DeviceTree {
public:
    explicit DiskDeviceTree(std::string root = "/");

    Kind kind(const std::string& path) const override;
    bool exists(const std::string& path) const override;
    std::string linkTarget(const std::string& path) const override;
    std::vector<std::string> list(const std::string& path) const override;
    std::string read(const std::string& path, std::size_t limit) const override;
    std::optional<Status> status(const std::string& path) const override;
    bool accessDenied(const std::string& path) const override;
    std::string onDisk(const std::string& path) const override { return root_ + path; }

private:
    std::string root_;  // without a trailing '/'; empty for "/"
};

}  // namespace platform
