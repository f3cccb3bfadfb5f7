// Watch mode on a fabricated device tree: adapters plugged in, left, pulled and plugged in again
// while the fleet watches, with runs that end as soon as they start.
#include "CapturedStream.h"
#include "cli/Fleet.h"

#include "platform/SerialDeviceFactory.h"
#include "platform/SystemClock.h"
#include "support/FakeDeviceTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

class InstantRuns final : public IRunLauncher {
public:
    struct Done final : IRunHandle {
        bool ended() const override { return true; }
        void kill() override {}
    };
    std::unique_ptr<IRunHandle> launch(const UpgradeSettings& choices, const PortRunOptions&, IPortEvents& sink) override
    {
        {
            std::lock_guard lock(mutex);
            ports.push_back(choices.comPort);
        }
        sink.event({.kind = PortEvent::Kind::Ended, .text = "", .detail = ""});
        return std::make_unique<Done>();
    }
    std::vector<std::string> started()
    {
        std::lock_guard lock(mutex);
        return ports;
    }
    std::mutex mutex;
    std::vector<std::string> ports;
};

}  // namespace

TEST(FleetWatch, UpgradesEachModuleAsItIsConnectedAndAModuleLeftConnectedOnlyOnce)
{
    test::FakeDeviceTree tree;  // ttyUSB0 (by-id kById), the UART ttyS0, the empty slot ttyS1
    const std::string second = "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0";
    platform::SystemClock clock;
    const platform::SerialDeviceFactory devices(clock, tree.root());
    InstantRuns runs;
    std::atomic<int> interrupts{0};
    test::TempDir dir("fleet-watch");
    test::CapturedStream progress(dir, "progress"), summary(dir, "summary");
    ConsoleOutput output(progress.file, false);
    FleetContext context{output, summary.file, clock, devices.discovery(),
                         [&](const std::string& name) { return devices.discovery().resolve(devices.devicePath(name)); },
                         runs, [&] { return interrupts.load(); }};
    FleetOptions options;
    options.watch = options.all = true;
    options.ports = {"/dev/ttyS1", "/dev/ttyS0"};  // built-in ports count when named; an empty slot is never there
    options.pollMs = 5;
    int status = -1;
    std::thread fleet([&] { status = runFleet(UpgradeSettings{}, options, context); });

    const auto settle = [&](std::size_t expected) {
        for (int i = 0; i < 400 && runs.started().size() < expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // a dozen looks more: nothing else starts
        return runs.started();
    };
    using V = std::vector<std::string>;
    const std::string first = test::FakeDeviceTree::kById;
    EXPECT_EQ(settle(2), (V{"/dev/ttyS0", first}));
    tree.usbAdapter("ttyUSB1", "1-3", "067b", "2303", "Prolific", "USB-Serial Controller", "pl2303", second);
    EXPECT_EQ(settle(3), (V{"/dev/ttyS0", first, second})) << "plugged in while watching";
    tree.unplug("ttyUSB0", first);
    EXPECT_EQ(settle(3).size(), 3u) << "pulled out: nothing to do";
    tree.plugInAgain("ttyUSB0", "1-2", first);
    EXPECT_EQ(settle(4), (V{"/dev/ttyS0", first, second, first})) << "a module connected in its place";

    interrupts = 1;
    fleet.join();
    EXPECT_EQ(status, 0);
    EXPECT_NE(summary.text().find(first + " #2 "), std::string::npos) << summary.text();
}
