#include "platform/PortDiagnosis.h"

#include "platform/PrintableText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::string groupName(gid_t gid, std::vector<std::string>* members = nullptr)
{
    group g{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(gid, &g, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::to_string(gid);
    if (members)
        for (char** m = g.gr_mem; m && *m; ++m)
            members->emplace_back(*m);
    return g.gr_name;
}

std::string userName(uid_t uid)
{
    passwd p{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &p, buffer.data(), buffer.size(), &found) != 0 || !found)
        return "uid " + std::to_string(uid);
    return p.pw_name;
}

bool sessionHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(n > 0 ? n : 0));
    const int got = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

std::string octal(unsigned mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777u);
    return text;
}

bool heldHere(const std::string& device)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (fs::read_symlink(fd.path(), linkError) == device && !linkError)
            return true;
    }
    return false;
}

}  // namespace

std::string PortDiagnosis::existingPorts() const
{
    std::string list;
    for (const auto& p : discovery_.ports())
        list += (list.empty() ? "" : ", ") + p.summary();
    return list.empty() ? "none" : list;
}

std::string PortDiagnosis::modemManagerRule(const SerialPortInfo& port)
{
    const std::string ignore = "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
    if (port.usb)
        return "ATTRS{idVendor}==\"" + port.vendorId + "\", ATTRS{idProduct}==\"" + port.productId + "\", " + ignore;
    return "KERNEL==\"" + printable(port.name) + "\", " + ignore;
}

std::string PortDiagnosis::permissionAdvice(const std::string& path) const
{
    const std::string device = printable(path);
    const std::optional<DeviceTree::Status> found = discovery_.tree().status(path);
    if (!found)
        return "Permission denied: " + device + ".";
    const DeviceTree::Status& st = *found;
    std::vector<std::string> members;
    const std::string group = groupName(st.gid, &members);
    const std::string mode = octal(st.mode);
    if ((st.mode & 0060) != 0060)
        return "Permission denied: " + device + " (mode " + mode + ") may be opened only by its owner, " +
               userName(st.uid) + "; joining its group " + group +
               " would not help.\nAsk the administrator to give the group access to it, for example with a udev "
               "rule: GROUP=\"dialout\", MODE=\"0660\".";
    const std::string me = userName(::getuid());
    const bool listed = std::find(members.begin(), members.end(), me) != members.end();
    if (listed && !sessionHasGroup(st.gid))
        return "Permission denied: " + device + " belongs to group " + group + " (mode " + mode + "). User " + me +
               " is in " + group + " already, but this login session started before that.\nLog out and in again "
               "(or run: newgrp " + group + ") for the group to take effect.";
    return "Permission denied: " + device + " belongs to group " + group + " (mode " + mode +
           "), and this user is not in it.\nAdd the user to the group with: sudo usermod -aG " + group +
           " $USER\nThen log out and in again: the new group takes effect at the next login.";
}

std::string PortDiagnosis::busyAdvice(const std::string& path, const std::vector<PortHolder>& holders) const
{
    const std::string device = printable(path);
    if (holders.empty()) {
        if (heldHere(path))
            return "Busy: " + device + " is already open in this program.";
        return "Busy: " + device + " is held by another program, which could not be identified (sudo fuser -v " +
               device + " names it).";
    }
    std::string who;
    bool modemManager = false;
    for (const auto& h : holders) {
        who += (who.empty() ? "" : ", ") + (h.command.empty() ? std::string("a process") : h.command) +
               " (pid " + std::to_string(h.pid) + ")";
        modemManager = modemManager || h.command == "ModemManager";
    }
    std::string text = "Busy: " + device + " is held by " + who + ".";
    if (!modemManager)
        return text + "\nEnd that program, then try again.";
    SerialPortInfo port;
    if (!discovery_.find(path, port))
        port.name = std::filesystem::path(path).filename().string();
    return text + "\nModemManager opens serial adapters to look for modems. A udev rule makes it leave this one "
                  "alone (see README, \"Serial port names\"); put this line into /etc/udev/rules.d/"
                  "99-tarvel-upgrade.rules:\n  " +
           modemManagerRule(port) +
           "\nthen run: sudo udevadm control --reload-rules && sudo udevadm trigger, and plug the adapter in "
           "again.";
}

std::string PortDiagnosis::explain(const std::string& portName, const std::string& path, int openError) const
{
    if (path.empty())
        return printable(portName) + " stands for no device: there is no such serial port on this computer.\nSerial ports "
                          "found: " +
               existingPorts() + ".";
    const std::string named = printable(portName == path ? path : path + " (" + portName + ")");
    const std::string device = discovery_.resolve(path);
    if (device.empty() || openError == ENOENT || openError == ENODEV || openError == ENXIO)
        return "No such device: " + named + ".\nSerial ports found: " + existingPorts() + ".";

    const PortAccess access = discovery_.access(device);
    if (openError == EACCES || openError == EPERM ||
        (openError == 0 && access.state == PortAccess::State::PermissionDenied))
        return permissionAdvice(device);
    if (openError == EBUSY || openError == EWOULDBLOCK || (openError == 0 && access.state == PortAccess::State::Busy))
        return busyAdvice(device, access.holders);
    if (openError == EIO) {
        const auto empty = discovery_.emptySlots();
        const std::string name = std::filesystem::path(device).filename().string();
        if (std::find(empty.begin(), empty.end(), name) != empty.end())
            return named + " has no UART behind it: the kernel found none there.\nSerial ports found: " +
                   existingPorts() + ".";
    }
    if (openError == ENOTTY)
        return named + " is not a serial device.";
    if (openError != 0)
        return named + ": " + std::strerror(openError) + ".";
    return {};
}

}  // namespace platform
