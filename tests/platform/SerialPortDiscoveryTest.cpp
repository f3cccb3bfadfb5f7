// Mapping COM1/COM2 onto the serial ports found, describing them, and explaining a failed open,
// on a fabricated /sys, /dev and /proc (support/FakeDeviceTree.h); what such a tree may hold that
// must neither hang the readers nor reach the operator's terminal; and an upgrade run that stays
// on its adapter while others come and go. What is found for each port shows in upgrade-cli's
// port list (tests/cli).
#include "platform/PortDiagnosis.h"
#include "platform/PrintableText.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SerialPortDiscovery.h"
#include "platform/SystemClock.h"
#include "sim/ZModemReceiver.h"
#include "support/FakeDeviceTree.h"
#include "support/ModuleHarness.h"
#include "support/ScopedEnv.h"
#include "upgrade/RecordingProgress.h"
#include "upgrade/UpgradeWorker.h"
#include "verify/Verification.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <functional>

namespace {

using test::FakeDeviceTree;

struct DeviceTree : ::testing::Test {
    FakeDeviceTree tree;
    platform::SystemClock clock;
    test::ScopedEnv com1{"UPGRADE_COM1", nullptr}, com2{"UPGRADE_COM2", nullptr};
    platform::SerialDeviceFactory f{clock, tree.root()};
};

TEST_F(DeviceTree, ComPortsFollowTheAdapterAcrossReplugsAndTheEnvironmentOverrides)
{
    const std::string byId = FakeDeviceTree::kById;
    const std::pair<std::function<void()>, std::vector<std::string>> steps[] = {
        {[] {}, {byId, "/dev/ttyS0"}},
        {[&] {  // plugged in again as ttyUSB1
             tree.unplug("ttyUSB0", byId);
             tree.usbAdapter("ttyUSB1", "1-3", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio", byId);
         },
         {byId, "/dev/ttyS0"}},
        // A second adapter without a stable name comes after it.
        {[&] { tree.usbAdapter("ttyACM0", "1-4", "2341", "0043", "", "", "cdc_acm", ""); }, {byId, "/dev/ttyACM0"}},
        {[&] { tree.unplug("ttyUSB1", byId), tree.unplug("ttyACM0", ""); }, {"/dev/ttyS0", ""}},
    };
    for (const auto& [change, com] : steps) {
        change();
        EXPECT_EQ((std::vector<std::string>{f.devicePath("COM1"), f.devicePath("COM2")}), com);
    }
    test::ScopedEnv one("UPGRADE_COM1", "/dev/ttyUSB3"), two("UPGRADE_COM2", "/dev/pts/9");
    for (const auto& [name, path] : {std::pair{"COM1", "/dev/ttyUSB3"}, {"COM2", "/dev/pts/9"},
                                     {"/dev/ttyACM0", "/dev/ttyACM0"}, {"ttyUSB0", "/dev/ttyUSB0"}})
        EXPECT_EQ(f.devicePath(name), path);
}

TEST_F(DeviceTree, DescriptionsForThePortPageAndWhatIsNoPortOfThisComputer)
{
    platform::SerialPortInfo found;
    ASSERT_TRUE(f.discovery().find(FakeDeviceTree::kById, found));
    EXPECT_EQ(found.device, "/dev/ttyUSB0");
    // A slot without a UART exists but is no port of this computer; a missing path, mapped or
    // given, is nothing at all.
    EXPECT_FALSE(f.discovery().find("/dev/ttyS1", found));
    EXPECT_EQ(f.describe("/dev/ttyS1"), "/dev/ttyS1");
    EXPECT_EQ(f.describe("COM1"), "/dev/ttyUSB0 (FT232R USB UART)");
    EXPECT_EQ(f.describe("COM2"), "/dev/ttyS0");
    tree.unplug("ttyS0", "");
    EXPECT_EQ(f.describe("COM2"), "none found");
    test::ScopedEnv mapped("UPGRADE_COM1", "/dev/ttyDOESNOTEXIST");
    for (const char* name : {"COM1", "/dev/pts/9", "ttyUSB7"})
        EXPECT_EQ(f.describe(name), "none found") << name;
}

TEST_F(DeviceTree, OpenFailuresAreExplained)
{
    tree.holder(4020, "ModemManager", "/dev/ttyUSB0");
    const platform::SerialPortDiscovery d(tree.root());
    const platform::PortDiagnosis why(d);
    const std::string ports = "Serial ports found: /dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0.";
    struct Case {
        std::string name, path;
        int error;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {"/dev/ttyUSB7", "/dev/ttyUSB7", ENOENT, {"No such device: /dev/ttyUSB7.\n" + ports}},
        {"COM2", "", 0, {"COM2 stands for no device", ports}},
        {"/dev/ttyS1", "/dev/ttyS1", EIO, {"/dev/ttyS1 has no UART behind it", ports}},
        {"COM1", FakeDeviceTree::kById, EBUSY,
         {"Busy: /dev/ttyUSB0 is held by ModemManager (pid 4020).",
          "ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
          "udevadm control --reload-rules"}},
        {"COM1", FakeDeviceTree::kById, 0, {"Busy: /dev/ttyUSB0 is held by ModemManager"}},
        {"/dev/ttyS0", "/dev/ttyS0", ENOTTY, {"/dev/ttyS0 is not a serial device."}},
    };
    for (const auto& c : cases) {
        const std::string text = why.explain(c.name, c.path, c.error);
        for (const auto& s : c.says)
            EXPECT_NE(text.find(s), std::string::npos) << c.name << " / " << c.error << ":\n" << text;
    }
    EXPECT_EQ(platform::PortDiagnosis::modemManagerRule(d.ports()[1]),
              "KERNEL==\"ttyS0\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
}

TEST_F(DeviceTree, WhatAFabricatedTreeHoldsCannotHangOrBreakTheReaders)
{
    const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
    tree.unplug("ttyUSB9", usb + "/product");
    tree.fifo(usb + "/product");
    tree.file(usb + "/manufacturer", std::string(1 << 20, 'M'));  // a megabyte without a line end
    tree.holder(4020, "kept", "/dev/ttyUSB0");
    const std::string bigPid = "/proc/99999999999999999999";
    tree.file(bigPid + "/comm", "skipped");
    tree.link(bigPid + "/fd/3", "/dev/ttyUSB0");
    tree.link("/dev/serial/by-id/usb-loop", "usb-loop2");
    tree.link("/dev/serial/by-id/usb-loop2", "usb-loop");
    tree.link("/sys/class/tty/ttyDEEP", "ttyDEEP/" + std::string(3000, 'x'));
    for (const platform::SerialPortDiscovery& d : {platform::SerialPortDiscovery(tree.root()),
                                                   platform::SerialPortDiscovery(tree.memory())}) {
        const auto ports = d.ports();
        ASSERT_EQ(ports.size(), 2u);
        EXPECT_EQ(ports[0].product, "");
        EXPECT_EQ(ports[0].manufacturer, std::string(512, 'M'));
        const auto holders = d.holders("/dev/ttyUSB0");
        ASSERT_EQ(holders.size(), 1u);
        EXPECT_EQ(holders[0].command, "kept");
        EXPECT_EQ(d.resolve("/dev/serial/by-id/usb-loop"), "");
    }
}

// The tree in memory (which the fuzz target reads) answers as the kernel does for the same
// entries on disk: links relative, absolute and dangling, ".." after a link, FIFOs, a folder
// that is a link, files with and without line ends.
TEST_F(DeviceTree, TheTreeInMemoryReadsAsTheTreeOnDisk)
{
    tree.usbAdapter("ttyACM0", "1-4", "2341", "0043", "", "", "cdc_acm", "");
    tree.holder(4020, "ModemManager", "/dev/ttyUSB0");
    tree.holder(4021, "minicom", "/dev/ttyACM0");
    tree.link("/dev/serial/by-id/usb-gone", "../../ttyUSB5");
    tree.link("/dev/serial/by-id/usb-loop", "usb-loop");
    tree.link("/dev/serial/by-id/usb-up", "../../../dev/./serial/../ttyS0");
    tree.fifo("/sys/class/tty/ttyS0/fifo");
    tree.file("/dev/plain", "two\nlines");
    tree.link("/dev/folder", "serial/by-id");
    // The kernel follows 40 links on the way to an entry, not 41.
    for (int i = 0; i <= 40; ++i)
        tree.link("/dev/chain" + std::to_string(i), i == 40 ? "ttyS0" : "chain" + std::to_string(i + 1));
    // UARTs in the order of their names' text, then number; the walk up stops below /sys/devices.
    tree.uart("ttyS10", "00:03", "4", "0x3E8");
    tree.uart("ttyS2", "00:04", "4", "0x2E8");
    tree.uart("hvc0", "00:05", "1", "0");
    tree.uart("7", "00:06", "1", "0");
    tree.file("/sys/devices/idVendor", "dead");
    const platform::SerialPortDiscovery disk(tree.root()), memory(tree.memory());
    auto describe = [](const platform::SerialPortDiscovery& d) {
        std::string text;
        for (const auto& p : d.ports())
            text += p.name + "|" + p.device + "|" + p.byId + "|" + p.driver + "|" + std::to_string(p.usb) +
                    std::to_string(p.builtIn) + "|" + p.vendorId + ":" + p.productId + "|" + p.manufacturer + "|" +
                    p.product + "\n";
        for (const auto& e : d.emptySlots())
            text += "empty " + e + "\n";
        for (const std::string path : {"/dev/serial/by-id/usb-gone", "/dev/serial/by-id/usb-loop",
                                       "/dev/serial/by-id/usb-up", "/dev/folder/usb-up", FakeDeviceTree::kById,
                                       "/sys/class/tty/ttyS0/device", "/sys/class/tty/tty0/device/..", "/dev/nothing",
                                       "/dev/chain0", "/dev/chain1", "//dev//serial/by-id//usb-up/"}) {
            text += path + " -> " + d.resolve(path) + "\n";
            for (const auto& h : d.holders(path))
                text += "  held by " + std::to_string(h.pid) + " " + h.command + "\n";
            text += "  access " + std::to_string(static_cast<int>(d.access(path).state)) + "\n";
        }
        return text;
    };
    EXPECT_EQ(describe(memory), describe(disk));
    std::vector<std::string> names;
    for (const auto& p : disk.ports())
        names.push_back(p.name + (p.usb ? " usb" : ""));
    EXPECT_EQ(names, (std::vector<std::string>{"ttyUSB0 usb", "ttyACM0 usb", "7", "hvc0", "ttyS0", "ttyS2", "ttyS10"}));
    for (const auto* d : {&disk, &memory}) {
        EXPECT_EQ(d->resolve("/dev/chain1"), "/dev/ttyS0") << "40 links";
        EXPECT_EQ(d->resolve("/dev/chain0"), "") << "41 links";
        EXPECT_EQ(d->resolve("//dev//serial/by-id//usb-up/"), "/dev/ttyS0");
    }

    // The reads themselves, where no link leads out of the tree.
    const platform::DeviceTree& onDisk = disk.tree();
    const platform::DeviceTree& inMemory = memory.tree();
    for (const std::string path : {"/dev", "/dev/plain", "/dev/folder", "/dev/folder/usb-gone", "/dev/folder/usb-up",
                                   "/dev/serial/by-id/usb-loop", "/sys/class/tty/ttyS0", "/sys/class/tty/ttyS0/type",
                                   "/sys/class/tty/ttyS0/fifo", "/sys/class/tty/ttyS0/device/../..", "/proc/4020/fd",
                                   "/missing", "/dev/plain/below", "/dev/chain0", "/dev/chain1"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(inMemory.kind(path), onDisk.kind(path));
        EXPECT_EQ(inMemory.exists(path), onDisk.exists(path));
        EXPECT_EQ(inMemory.linkTarget(path), onDisk.linkTarget(path));
        auto sorted = [](std::vector<std::string> v) { return std::sort(v.begin(), v.end()), v; };
        EXPECT_EQ(sorted(inMemory.list(path)), sorted(onDisk.list(path)));
        EXPECT_EQ(inMemory.read(path, 6), onDisk.read(path, 6));
        EXPECT_EQ(inMemory.status(path).has_value(), onDisk.status(path).has_value());
    }
    EXPECT_EQ(onDisk.read("/dev/plain", 6), "two\nli") << "a file is read up to the limit";
    EXPECT_EQ(inMemory.onDisk("/dev/plain"), "");
}

TEST_F(DeviceTree, TextFromOutsideIsShownWithItsControlBytesEscaped)
{
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"Evil\x1b[2J\x1b]0;pwned\x07", "Evil\\x1b[2J\\x1b]0;pwned\\x07"},
             {"a\r\nb\x7f\t", "a\\x0d\\x0ab\\x7f\\x09"},
             {"C:\\F\xc3\xafrmware \xe2\x82\xac \xf0\x9f\x94\x8c", "C:\\F\xc3\xafrmware \xe2\x82\xac \xf0\x9f\x94\x8c"},
             {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},               // CSI as a UTF-8 C1 control
             {"\x9b" "2J\xff\xe2\x82", "\\x9b2J\\xff\\xe2\\x82"},  // stray and cut-off bytes
             {"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80", "\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80"},  // overlong, surrogate, > U+10FFFF
         })
        EXPECT_EQ(platform::printable(in), out);
    // Descriptor strings, a by-id name and a process name, where the operator reads them.
    const std::string byId = "/dev/serial/by-id/usb-\x1b[31m-if00";
    tree.usbAdapter("ttyUSB1", "1-5", "0403", "6015", "Evil\x1b[2J", "X\x1b]0;pwned\x07", "ftdi_sio", byId);
    tree.holder(4021, "sh\x1b[2J", "/dev/ttyUSB1");
    const platform::PortDiagnosis why(f.discovery());
    const std::string shown = f.describe(byId) + "\n" + why.explain(byId, byId, EBUSY) + "\n" +
                              why.explain(byId, byId, ENOTTY) + "\n" + why.existingPorts();
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    for (const char* part : {"/dev/ttyUSB1 (X\\x1b]0;pwned\\x07)", "sh\\x1b[2J (pid 4021)", "usb-\\x1b[31m-if00 is not"})
        EXPECT_NE(shown.find(part), std::string::npos) << part << " in\n" << shown;
}

// A standard device tree with names resolved and opens routed as on a computer with its devices,
// installed as the platform's ports; every open that reaches a device talks to the virtual
// module. reached: the device node of each open, in order.
struct TreeRoutedPorts final : platform::ISerialDeviceFactory {
    FakeDeviceTree tree;
    test::ModuleHarness harness;
    platform::SerialDeviceFactory real;
    const platform::ScopedPlatform routed{{nullptr, this, nullptr, nullptr}};
    std::function<void()> afterFirstOpen;
    std::vector<std::string> reached;

    TreeRoutedPorts(platform::IClock& clock, const sim::ModuleConfig& cfg, platform::IThreadStarter& threads)
        : harness(cfg, &threads), real(clock, tree.root()) {}
    std::unique_ptr<platform::ISerialDevice> open(const std::string& name) override
    {
        reached.push_back(real.discovery().resolve(real.devicePath(name)));
        if (reached.size() == 1 && afterFirstOpen)
            afterFirstOpen();
        return reached.back().empty() ? nullptr : harness.factory.open("COM1");
    }
    platform::ResolvedPort resolve(const std::string& name) override { return real.resolve(name); }
};

TEST(RunPort, ARunStaysOnItsAdapterWhateverIsPluggedInMeanwhile)
{
    test::ScopedEnv com1{"UPGRADE_COM1", nullptr}, com2{"UPGRADE_COM2", nullptr};
    const std::string ours = FakeDeviceTree::kById, first = "/dev/serial/by-id/usb-AAA_Serial_0001-if00-port0";
    const auto plugFirst = [&](FakeDeviceTree& t) { t.usbAdapter("ttyUSB1", "1-5", "067b", "2303", "", "", "pl2303", first); };
    test::TempDir dir{"run"};
    platform::SystemClock clock;
    platform::InlineThreadStarter threads;
    sim::ModuleConfig cfg;
    cfg.receiver = sim::ZModemReceiver::factory({}, std::make_shared<sim::ReceivedFiles>());
    UpgradeSettings settings;
    settings.bootFile = dir.put("b.dmf", test::randomText(3000, 1));
    settings.codeFile = dir.put("c.dmf", test::randomText(5000, 2));
    struct Case { const char* name; std::function<void(FakeDeviceTree&)> change; int code; std::vector<std::string> reached; };
    const Case cases[] = {
        {"an adapter whose name sorts first", plugFirst, 0, {"/dev/ttyUSB0", "/dev/ttyUSB0"}},
        {"ours back as ttyUSB2",
         [&](FakeDeviceTree& t) {
             t.unplug("ttyUSB0", ours);
             t.usbAdapter("ttyUSB2", "1-3", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio", ours);
         },
         0, {"/dev/ttyUSB0", "/dev/ttyUSB2"}},
        {"ours pulled, another there", [&](FakeDeviceTree& t) { t.unplug("ttyUSB0", ours), plugFirst(t); }, 1,
         {"/dev/ttyUSB0", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TreeRoutedPorts ports(clock, cfg, threads);
        ports.afterFirstOpen = [&] { c.change(ports.tree); };
        RecordingProgress progress;
        UpgradeThreadParams params{&settings, &progress, {}};
        EXPECT_EQ(upgradeThreadProc(&params), static_cast<unsigned>(c.code));
        EXPECT_EQ(ports.reached, c.reached);
    }
    // One session: the verification and the upgrade after it reach the adapter the verification
    // found, until the operator chooses the port again.
    TreeRoutedPorts ports(clock, cfg, threads);
    EXPECT_EQ(runVerification(settings), 0);
    plugFirst(ports.tree);
    RecordingProgress progress;
    ASSERT_TRUE(startUpgradeThread(settings, progress));
    EXPECT_EQ(settings.upgradeResult.load(), 0);
    EXPECT_EQ(ports.reached, std::vector<std::string>(3, "/dev/ttyUSB0"));
    settings.comPort = "COM2", sessionPort(settings), settings.comPort = "COM1";
    EXPECT_EQ(sessionPort(settings).device, "/dev/ttyUSB1") << "chosen again, COM1 is the first adapter now";
}

}  // namespace
