// The virtual module on a real pseudo-terminal, in real time, reached through CSerialPort with
// the real platform services; and the paced line on its own. Kept short: each case lasts well
// under a second or two.
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

#include <atomic>
#include <chrono>
#include <mutex>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

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
    EXPECT_TRUE(port.confirmPrompt("Tarvel>"));
    ASSERT_TRUE(port.writeText("\rShow System\r"));
    platform::sleepMs(300);
    ASSERT_TRUE(port.readText(text, 4096));
    EXPECT_NE(text.find(", Version: 2.0.10,"), std::string::npos) << text;
    EXPECT_EQ(runner->hostBaud(), 38400u);
}

namespace {

// A clock that can be put forward, as a runner sees time when it wakes late.
struct JumpingClock : platform::IClock {
    platform::SystemClock real;
    std::atomic<std::int64_t> offsetUs{0};
    std::int64_t nowUs() override { return real.nowUs() + offsetUs.load(); }
    void sleepMs(std::int64_t ms) override { real.sleepMs(ms); }
};

// Records what reaches the far end: every byte, and after each hand-over the count so far and
// the time stamped on it.
struct RecordingPeer : sim::ILinePeer {
    std::mutex mutex;
    std::string bytes;
    std::vector<std::pair<std::size_t, std::int64_t>> handovers;
    sim::TimedByteQueue out;

    void advance(std::int64_t) override {}
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) override
    {
        std::lock_guard lock(mutex);
        bytes.append(reinterpret_cast<const char*>(data), n);
        handovers.emplace_back(bytes.size(), nowUs);
    }
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out; }
    std::size_t count()
    {
        std::lock_guard lock(mutex);
        return bytes.size();
    }
};

}  // namespace

TEST(PacedLine, BytesArriveOneCharacterTimeApartAndALateRunnerCatchesUp)
{
    auto pty = sim::PseudoTerminal::open();
    ASSERT_TRUE(pty);
    termios t{};
    ASSERT_EQ(::tcgetattr(pty->slaveFd(), &t), 0);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    ASSERT_EQ(::tcsetattr(pty->slaveFd(), TCSANOW, &t), 0);
    JumpingClock clock;
    RecordingPeer peer;
    sim::PtyRunnerOptions options;
    options.pace = true;
    sim::PtyModuleRunner runner(pty->masterFd(), peer, clock, options);
    std::thread loop([&] { EXPECT_TRUE(runner.run()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    // A UART's worth at once, as a port with an empty queue writes it.
    std::string sent(4096, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7 + 3);
    const double charUs = 1e7 / 38400;
    const std::int64_t t0 = clock.nowUs();
    ASSERT_EQ(::write(pty->slaveFd(), sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The runner now sleeps through half a second (the clock jumps): what the line carried
    // meanwhile must reach the peer at its next look, not half a second later.
    clock.offsetUs += 500'000;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::int64_t checkedAt = clock.nowUs();
    const std::size_t caughtUp = peer.count();
    const auto dueBy = [&](std::int64_t at) { return static_cast<double>(at - t0) / charUs; };
    EXPECT_GE(static_cast<double>(caughtUp), std::min(4096.0, dueBy(checkedAt - 150'000)));

    for (int i = 0; i < 200 && peer.count() < sent.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    runner.requestStop();
    loop.join();
    EXPECT_TRUE(peer.bytes == sent) << peer.bytes.size() << " bytes";
    // Never ahead of the line: byte n has fully arrived n character times after it was written
    // (a wake-up's worth of slack).
    for (const auto& [count, at] : peer.handovers)
        EXPECT_LE(static_cast<double>(count), dueBy(at) + 8) << "at " << at - t0 << " us";
}
