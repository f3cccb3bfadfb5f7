// Finding the serial ports, mapping COM1/COM2 onto them, and explaining a failed open, on a
// fabricated /sys, /dev and /proc (support/FakeDeviceTree.h).
#include "platform/PortDiagnosis.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SerialPortDiscovery.h"
#include "platform/SystemClock.h"
#include "support/FakeDeviceTree.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>

namespace {

using platform::PortAccess;
using platform::PortDiagnosis;
using platform::SerialDeviceFactory;
using platform::SerialPortDiscovery;
using test::FakeDeviceTree;

using test::ScopedEnv;

struct DeviceTree : ::testing::Test {
    FakeDeviceTree tree{::testing::UnitTest::GetInstance()->current_test_info()->name()};
    platform::SystemClock clock;
    ScopedEnv com1{"UPGRADE_COM1", nullptr};
    ScopedEnv com2{"UPGRADE_COM2", nullptr};
    void SetUp() override { tree.standard(); }
};

TEST_F(DeviceTree, FindsTheAdapterAndTheRealUartButNotTheEmptySlot)
{
    const SerialPortDiscovery d(tree.root());
    const auto ports = d.ports();
    ASSERT_EQ(ports.size(), 2u);
    const auto& usb = ports[0];
    EXPECT_EQ(usb.device, "/dev/ttyUSB0");
    EXPECT_EQ(usb.byId, FakeDeviceTree::kById);
    EXPECT_TRUE(usb.usb);
    EXPECT_EQ(usb.vendorId + ":" + usb.productId, "0403:6001");
    EXPECT_EQ(usb.manufacturer, "FTDI");
    EXPECT_EQ(usb.product, "FT232R USB UART");
    EXPECT_EQ(usb.driver, "ftdi_sio");
    const auto& uart = ports[1];
    EXPECT_EQ(uart.device, "/dev/ttyS0");
    EXPECT_FALSE(uart.usb);
    EXPECT_EQ(uart.openPath(), "/dev/ttyS0");
    EXPECT_EQ(uart.driver, "serial") << "the generic port layer is not the driver";
    EXPECT_EQ(d.emptySlots(), std::vector<std::string>{"ttyS1"}) << "an I/O address alone is no UART";
}

TEST_F(DeviceTree, ComPortsFollowTheAdapterAcrossReplugsAndTheEnvironmentOverrides)
{
    const SerialDeviceFactory f(clock, tree.root());
    struct Case {
        const char* what;
        std::function<void()> change;
        std::string com1, com2;
    };
    const std::vector<Case> cases = {
        {"as found", [] {}, FakeDeviceTree::kById, "/dev/ttyS0"},
        {"plugged in again as ttyUSB1",
         [&] {
             tree.unplug("ttyUSB0", FakeDeviceTree::kById);
             tree.usbAdapter("ttyUSB1", "1-3", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio",
                             FakeDeviceTree::kById);
         },
         FakeDeviceTree::kById, "/dev/ttyS0"},
        {"a second adapter without a stable name comes after it",
         [&] { tree.usbAdapter("ttyACM0", "1-4", "2341", "0043", "", "", "cdc_acm", ""); }, FakeDeviceTree::kById,
         "/dev/ttyACM0"},
        {"both pulled", [&] {
             tree.unplug("ttyUSB1", FakeDeviceTree::kById);
             tree.unplug("ttyACM0", "");
         },
         "/dev/ttyS0", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_EQ(f.devicePath("COM1"), c.com1);
        EXPECT_EQ(f.devicePath("COM2"), c.com2);
    }
    EXPECT_EQ(f.discovery().resolve(FakeDeviceTree::kById), "") << "the link of a pulled adapter leads nowhere";

    ScopedEnv one("UPGRADE_COM1", "/dev/ttyUSB3"), two("UPGRADE_COM2", "/dev/pts/9");
    EXPECT_EQ(f.devicePath("COM1"), "/dev/ttyUSB3");
    EXPECT_EQ(f.devicePath("COM2"), "/dev/pts/9");
    EXPECT_EQ(f.devicePath("/dev/ttyACM0"), "/dev/ttyACM0");
    EXPECT_EQ(f.devicePath("ttyUSB0"), "/dev/ttyUSB0");
}

TEST_F(DeviceTree, DescriptionsForThePortPageAndWhatIsNoPortOfThisComputer)
{
    SerialDeviceFactory f(clock, tree.root());
    platform::SerialPortInfo found;
    ASSERT_TRUE(f.discovery().find(FakeDeviceTree::kById, found));
    EXPECT_EQ(found.device, "/dev/ttyUSB0");
    // A slot without a UART exists but is no port; a missing path is nothing at all.
    for (const char* other : {"/dev/ttyS1", "/dev/pts/9"}) {
        EXPECT_FALSE(f.discovery().find(other, found)) << other;
        EXPECT_EQ(f.describe(other), other);
    }
    EXPECT_EQ(f.describe("COM1"), "/dev/ttyUSB0 (FT232R USB UART)");
    EXPECT_EQ(f.describe("COM2"), "/dev/ttyS0");
    tree.unplug("ttyS0", "");
    EXPECT_EQ(f.describe("COM2"), "none found");
}

TEST_F(DeviceTree, OpenFailuresAreExplained)
{
    tree.holder(4242, "ModemManager", "/dev/ttyUSB0");
    const SerialPortDiscovery d(tree.root());
    const PortDiagnosis why(d);
    EXPECT_EQ(d.access(FakeDeviceTree::kById).state, PortAccess::State::Busy);

    const std::string ports = "Serial ports found: /dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0.";
    struct Case {
        std::string name, path;
        int error;
        std::vector<std::string> says;
    };
    const std::vector<Case> cases = {
        {"/dev/ttyUSB7", "/dev/ttyUSB7", ENOENT, {"No such device: /dev/ttyUSB7.\n" + ports}},
        {"COM2", "", 0, {"COM2 stands for no device", ports}},
        {"/dev/ttyS1", "/dev/ttyS1", EIO, {"/dev/ttyS1 has no UART behind it", ports}},
        {"COM1",
         FakeDeviceTree::kById,
         EBUSY,
         {"Busy: /dev/ttyUSB0 is held by ModemManager (pid 4242).",
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
    EXPECT_EQ(PortDiagnosis::modemManagerRule(d.ports()[1]), "KERNEL==\"ttyS0\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
}

}  // namespace
