// Mapping COM1/COM2 onto the serial ports found, describing them, and explaining a failed open,
// on a fabricated /sys, /dev and /proc (support/FakeDeviceTree.h). What is found for each port
// shows in upgrade-cli's port list (tests/cli).
#include "platform/PortDiagnosis.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SerialPortDiscovery.h"
#include "platform/SystemClock.h"
#include "support/FakeDeviceTree.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

using test::FakeDeviceTree;

struct DeviceTree : ::testing::Test {
    FakeDeviceTree tree;
    platform::SystemClock clock;
    test::ScopedEnv com1{"UPGRADE_COM1", nullptr}, com2{"UPGRADE_COM2", nullptr};
    void SetUp() override { tree.standard(); }
};

TEST_F(DeviceTree, ComPortsFollowTheAdapterAcrossReplugsAndTheEnvironmentOverrides)
{
    const platform::SerialDeviceFactory f(clock, tree.root());
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
    EXPECT_EQ(f.discovery().resolve(byId), "") << "the link of a pulled adapter leads nowhere";
    test::ScopedEnv one("UPGRADE_COM1", "/dev/ttyUSB3"), two("UPGRADE_COM2", "/dev/pts/9");
    for (const auto& [name, path] : {std::pair{"COM1", "/dev/ttyUSB3"}, {"COM2", "/dev/pts/9"},
                                     {"/dev/ttyACM0", "/dev/ttyACM0"}, {"ttyUSB0", "/dev/ttyUSB0"}})
        EXPECT_EQ(f.devicePath(name), path);
}

TEST_F(DeviceTree, DescriptionsForThePortPageAndWhatIsNoPortOfThisComputer)
{
    platform::SerialDeviceFactory f(clock, tree.root());
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

}  // namespace
