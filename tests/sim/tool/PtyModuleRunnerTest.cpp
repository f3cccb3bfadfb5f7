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
#include <thread>

namespace {

struct PtyModule : ::testing::Test {
    platform::SystemClock clock;
    platform::SerialDeviceFactory factory{clock};
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
    std::unique_ptr<sim::PseudoTerminal> pty;
    std::unique_ptr<sim::VirtualModule> module;
    std::unique_ptr<sim::PtyModuleRunner> runner;
    std::thread loop;

    void start(sim::ModuleConfig cfg)
    {
        std::string error;
        pty = sim::PseudoTerminal::open(&error);
        ASSERT_TRUE(pty) << error;
        module = std::make_unique<sim::VirtualModule>(std::move(cfg), clock.nowUs());
        runner = std::make_unique<sim::PtyModuleRunner>(pty->masterFd(), *module, clock);
        loop = std::thread([this] { EXPECT_TRUE(runner->run()); });
    }
    void TearDown() override
    {
        if (runner)
            runner->requestStop();
        if (loop.joinable())
            loop.join();
    }
    // Waits (up to 1 s) until the module has received something.
    std::string receivedSoon()
    {
        for (int i = 0; i < 100 && module->received().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return module->received();
    }
};

}  // namespace

TEST_F(PtyModule, HostAtTheWrongSpeedIsGarbledUntilItReopensAtTheRightOne)
{
    sim::ModuleConfig cfg;
    cfg.promptAtStart = false;
    start(cfg);
    {
        CSerialPort fast;
        ASSERT_TRUE(fast.open(pty->slavePath(), 115200, 4096, 4096)) << ::testing::PrintToString(notifier.texts());
        fast.writeText("\r");
        const std::string heard = receivedSoon();
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(static_cast<std::uint8_t>(heard[0]), sim::SimSerialDevice::garble('\r'));
        EXPECT_EQ(runner->hostBaud(), 115200u);
    }
    CSerialPort port;
    ASSERT_TRUE(port.open(pty->slavePath(), 38400, 4096, 4096));
    port.writeText("\r");
    std::string text;
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_EQ(CSerialPort::lastLine(text), "Tarvel>");
    EXPECT_EQ(runner->hostBaud(), 38400u);
}
