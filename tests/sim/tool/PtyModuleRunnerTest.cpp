// The virtual module on a real pseudo-terminal, in real time, reached through CSerialPort with
// the real platform services. Kept short: it lasts well under a second. The paced line is
// measured by the paced_upgrade benchmark.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SystemClock.h"
#include "serial/CSerialPort.h"
#include "sim/PseudoTerminal.h"
#include "sim/PtyModuleRunner.h"
#include "sim/SimSerialDevice.h"
#include "sim/VirtualModule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

TEST(PtyModule, HostAtTheWrongSpeedIsGarbledUntilItReopensAtTheRightOne)
{
    platform::SystemClock clock;
    platform::SerialDeviceFactory factory{clock};
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
    const auto pty = sim::PseudoTerminal::open();
    ASSERT_TRUE(pty);
    sim::ModuleConfig cfg;
    cfg.promptAtStart = false;
    sim::VirtualModule module(cfg, clock.nowUs());
    sim::PtyModuleRunner runner(pty->masterFd(), module, clock);
    std::jthread loop([&] { EXPECT_TRUE(runner.run()); });
    // However the test ends, the runner is told to stop before its thread is joined.
    const std::unique_ptr<sim::PtyModuleRunner, void (*)(sim::PtyModuleRunner*)> stop(
        &runner, [](sim::PtyModuleRunner* r) { r->requestStop(); });
    {
        CSerialPort fast;
        ASSERT_TRUE(fast.open(pty->slavePath(), 115200, 4096, 4096)) << ::testing::PrintToString(notifier.texts());
        fast.writeText("\r");
        for (int i = 0; i < 100 && module.received().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string heard = module.received();
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(static_cast<std::uint8_t>(heard[0]), sim::SimSerialDevice::garble('\r'));
        EXPECT_EQ(runner.hostBaud(), 115200u);
    }
    CSerialPort port;
    ASSERT_TRUE(port.open(pty->slavePath(), 38400, 4096, 4096));
    port.writeText("\r");
    std::string text;
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(CSerialPort::lastLine(text), "Tarvel>");
    EXPECT_EQ(runner.hostBaud(), 38400u);
}
