#include "platform/DiskDeviceTree.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

DiskDeviceTree::DiskDeviceTree(std::string root) : root_(std::move(root))
{
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
    if (root_ == "/")
        root_.clear();
}

DeviceTree::Kind DiskDeviceTree::kind(const std::string& path) const
{
    struct stat st {};
    if (::lstat(onDisk(path).c_str(), &st) != 0)
        return Kind::None;
    if (S_ISLNK(st.st_mode))
        return Kind::Link;
    if (S_ISDIR(st.st_mode))
        return Kind::Directory;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

bool DiskDeviceTree::exists(const std::string& path) const
{
    struct stat st {};
    return ::stat(onDisk(path).c_str(), &st) == 0;
}

std::string DiskDeviceTree::linkTarget(const std::string& path) const
{
    std::error_code ec;
    const fs::path target = fs::read_symlink(onDisk(path), ec);
    return ec ? std::string() : target.string();
}

std::vector<std::string> DiskDeviceTree::list(const std::string& path) const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(onDisk(path), ec))
        names.push_back(e.path().filename().string());
    return names;
}

std::string DiskDeviceTree::read(const std::string& path, std::size_t limit) const
{
    // Non-blocking, and only a regular file is read: a FIFO without a writer would wait forever.
    const int fd = ::open(onDisk(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        text.resize(limit);
        const ssize_t got = ::read(fd, text.data(), limit);
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return text;
}

std::optional<DeviceTree::Status> DiskDeviceTree::status(const std::string& path) const
{
    struct stat st {};
    if (::stat(onDisk(path).c_str(), &st) != 0)
        return std::nullopt;
    return Status{static_cast<unsigned>(st.st_mode), static_cast<unsigned>(st.st_uid), static_cast<unsigned>(st.st_gid)};
}

bool DiskDeviceTree::accessDenied(const std::string& path) const
{
    return ::access(onDisk(path).c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}

}  // namespace platform
