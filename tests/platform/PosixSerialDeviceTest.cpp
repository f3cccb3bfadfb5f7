// The POSIX serial device on a pseudo-terminal pair: the device (or CSerialPort on it) gets the
// slave path, the test plays the far end on the master. In real time with loose bounds, except
// the paced write, which runs on virtual time. Each case takes < 1 s.
#include "platform/Platform.h"
#include "platform/PosixSerialDevice.h"
#include "platform/RecordingNotifier.h"
#include "platform/SystemClock.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <set>
#include <poll.h>
#include <tuple>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point t0)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct PtyLine : ::testing::Test {
    int master = -1;
    std::string slave;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};  // real clock and devices
    platform::SystemClock clock;
    CSerialPort port;

    void SetUp() override
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        slave = ::ptsname(master);
    }
    void TearDown() override
    {
        if (master >= 0)
            ::close(master);
    }
    void send(const std::string& s) { ASSERT_EQ(::write(master, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    // What the host sent, collected until the line has been quiet for 50 ms.
    std::string heard()
    {
        std::string got;
        char buf[256];
        pollfd p{master, POLLIN, 0};
        for (ssize_t n; ::poll(&p, 1, 50) > 0 && (n = ::read(master, buf, sizeof buf)) > 0;)
            got.append(buf, static_cast<std::size_t>(n));
        return got;
    }
    // The device itself at 38,400 bps with the given time-outs.
    std::unique_ptr<platform::PosixSerialDevice> device(const platform::SerialTimeouts& t)
    {
        auto dev = platform::PosixSerialDevice::open(slave, clock);
        platform::LineSettings s;
        s.baudRate = 38400;
        EXPECT_TRUE(dev && dev->setState(s) && dev->setTimeouts(t));
        return dev;
    }
};

TEST_F(PtyLine, LineSettingsAndEveryByteValueBothWaysWithWaitingBytesCounted)
{
    platform::LineSettings want, dcb;
    want.outxCtsFlow = true, want.rtsControl = platform::LineSettings::RtsControl::Handshake;
    for (std::uint32_t baud : {115200u, 38400u}) {
        ASSERT_TRUE(port.open(slave, baud, 4096, 4096)) << "modem-control ioctls fail on a pty; open must not";
        want.baudRate = baud;
        EXPECT_TRUE(port.getState(dcb) && dcb == want);
    }
    const std::string raw("\xff\x00\x11\x13\r\n\x7f\x03\x1a\x80", 10);
    send(raw);
    pause(20);
    EXPECT_EQ(port.bytesAvailable(), 10);
    for (unsigned char expected : raw)
        EXPECT_EQ(port.readByte(500), static_cast<int>(expected));
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_TRUE(port.writeText(raw));
    EXPECT_EQ(heard(), raw);
    EXPECT_TRUE(notifier.boxes().empty());
}

TEST_F(PtyLine, ReadsEndAsTheirTimeOutsSayAndAHungUpLineFailsAtOnce)
{
    // readText: the gap timer runs only once the first byte is in, so a late first byte is still
    // taken, and a pause shorter than the gap does not end the text.
    ASSERT_TRUE(port.open(slave, 38400, 4096, 4096));
    std::thread farEnd([this] { pause(250), send("Log"), pause(100), send("in: "); });
    auto t0 = Clock::now();
    std::string text;
    EXPECT_TRUE(port.readText(text));
    EXPECT_EQ(text, "Login: ");
    EXPECT_TRUE(msSince(t0) >= 540 && msSince(t0) <= 950) << msSince(t0);
    farEnd.join();
    port.close();

    auto dev = device({0, 0, 2000, 0, 0});
    ASSERT_TRUE(dev);
    std::uint8_t buf[16];
    std::size_t received = 99;
    send("ok");
    pause(20);
    ::close(master);
    master = -1;
    t0 = Clock::now();
    dev->read(buf, sizeof buf, received);  // what was buffered before the hang-up may still come
    EXPECT_FALSE(dev->read(buf, sizeof buf, received));
    EXPECT_EQ(received, 0u);
    EXPECT_LE(msSince(t0), 500) << "a hung-up line must neither wait out its time-outs nor spin";
    // Nor can its settings be read or changed (tcgetattr fails), nor its input counted.
    platform::LineSettings s;
    std::uint32_t inQueue = 0;
    EXPECT_FALSE(dev->getState(s) || dev->setState(s) || dev->clearError(&inQueue));
}

// Counts the readings of a real clock: a wait that ends early and goes round again shows as
// many readings.
struct CountingClock final : platform::IClock {
    platform::SystemClock real;
    std::atomic<int> readings{0};
    std::int64_t nowUs() override { return ++readings, real.nowUs(); }
    void sleepMs(std::int64_t ms) override { real.sleepMs(ms); }
};

TEST_F(PtyLine, AReadWaitsOutItsTimeOutsInWholePollsWithoutSpinning)
{
    CountingClock counting;
    auto dev = platform::PosixSerialDevice::open(slave, counting);
    ASSERT_TRUE(dev && dev->setState({}));  // raw: a byte is there to read without a line end
    // Total limit on a silent line; gap after a first byte. A time-out is no failure.
    for (const platform::SerialTimeouts& t : {platform::SerialTimeouts{0, 0, 50, 0, 0}, platform::SerialTimeouts{30, 0, 0, 0, 0}}) {
        ASSERT_TRUE(dev->setTimeouts(t));
        if (t.readInterval)
            send("a");
        std::uint8_t buf[8];
        std::size_t received = 99;
        counting.readings = 0;
        const auto t0 = Clock::now();
        EXPECT_TRUE(dev->read(buf, sizeof buf, received));
        EXPECT_EQ(received, t.readInterval ? 1u : 0u);
        EXPECT_TRUE(msSince(t0) >= 29 && msSince(t0) <= 300) << msSince(t0);
        EXPECT_LE(counting.readings, 8) << "the read went round " << counting.readings << " times";
    }
}

TEST_F(PtyLine, EverySpeedItKnowsIsSetAndReadBackAndNoOtherIsTaken)
{
    auto dev = platform::PosixSerialDevice::open(slave, clock);
    ASSERT_TRUE(dev);
    platform::LineSettings s, got;
    for (std::uint32_t baud : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u}) {
        s.baudRate = baud;
        EXPECT_TRUE(dev->setState(s) && dev->getState(got) && got.baudRate == baud) << baud;
        for (std::uint32_t other : {baud - 1, baud + 1}) {
            s.baudRate = other;
            EXPECT_FALSE(dev->setState(s)) << other;
        }
        EXPECT_TRUE(dev->getState(got) && got.baudRate == baud) << "a refused speed changes nothing";
    }
    // A speed set from outside that it has no word for reads as 0.
    const int observer = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    ASSERT_TRUE(observer >= 0 && ::tcgetattr(observer, &t) == 0);
    cfsetospeed(&t, B50);
    ASSERT_EQ(::tcsetattr(observer, TCSANOW, &t), 0);
    ::close(observer);
    EXPECT_TRUE(dev->getState(got) && got.baudRate == 0);
}

TEST_F(PtyLine, OpenIsExclusiveRefusesWhatIsNoTerminalAndFollowsTheEnvironment)
{
    CSerialPort second;
    ASSERT_TRUE(port.open(slave, 38400, 4096, 4096));
    for (const std::string& path : {slave, std::string("/dev/null"), std::string("/nonexistent/ttyS9"), std::string()})
        EXPECT_FALSE(second.open(path, 38400, 4096, 4096)) << path;
    EXPECT_EQ(notifier.texts(), (std::vector<std::string>(4, "Unable to gain access to the COM port.")));
    port.close();
    test::ScopedEnv com2("UPGRADE_COM2", slave.c_str());
    EXPECT_TRUE(second.open("COM2", 38400, 4096, 4096));
}

TEST_F(PtyLine, TerminalSettingsFoundAtOpenComeBackAtClose)
{
    // A second descriptor on the slave shows the settings from outside (the raw mode in between
    // shows in the other cases: an echo or a canonical read would change their bytes).
    const int observer = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(observer, 0);
    termios before{}, after{};
    ASSERT_EQ(::tcgetattr(observer, &before), 0);
    before.c_lflag |= ICANON | ECHO;
    before.c_iflag |= ICRNL | IXON;
    cfsetospeed(&before, B9600);
    ASSERT_TRUE(::tcsetattr(observer, TCSANOW, &before) == 0 && ::tcgetattr(observer, &before) == 0);
    ASSERT_TRUE(port.open(slave, 38400, 4096, 4096));
    port.close();
    ASSERT_EQ(::tcgetattr(observer, &after), 0);
    ::close(observer);

    EXPECT_EQ(std::tie(after.c_iflag, after.c_oflag, after.c_cflag, after.c_lflag),
              std::tie(before.c_iflag, before.c_oflag, before.c_cflag, before.c_lflag));
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
}

TEST_F(PtyLine, AWriteGetsNoFurtherAheadOfTheLineThanTheOutputQueue)
{
    // Nobody reads, and the pty would take some 20 KB: in its 500 ms the write places its queue
    // and what the line carries meanwhile (10 bits a character), and a time-out is not a failure.
    auto dev = device({0, 0, 0, 0, 500});
    ASSERT_TRUE(dev && dev->setupQueues(4096, 4096));
    const std::vector<std::uint8_t> data(1 << 20, 'x');
    std::size_t written = 9;
    // Held back by the device itself (as by CTS), a time-out too, with nothing written.
    const int slaveFd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::tcflow(slaveFd, TCOOFF), 0);
    EXPECT_TRUE(dev->write(data.data(), 1, written));
    EXPECT_EQ(written, 0u);
    ::tcflow(slaveFd, TCOON), ::close(slaveFd);
    const auto t0 = Clock::now();
    EXPECT_TRUE(dev->write(data.data(), data.size(), written));
    const long elapsed = msSince(t0);  // a late wake-up may take what the line freed meanwhile
    EXPECT_TRUE(elapsed >= 495 && elapsed <= 1500) << elapsed;
    EXPECT_TRUE(written >= 4096 + 1920 - 60 && written <= 4096u + static_cast<std::size_t>(elapsed + 1) * 3840 / 1000 + 1)
        << written;
}

TEST_F(PtyLine, SingleBytesBeyondAFullOutputQueueGoAtTheLinesPaceInFewWakeUps)
{
    // CSerialPort::writeByte on virtual time: 4,096 bytes fill the queue at once; the next 800
    // follow as the line (3,840 characters a second at 38,400 bps) makes room.
    struct Factory final : platform::ISerialDeviceFactory {
        platform::VirtualClock time;
        std::string path;
        std::unique_ptr<platform::ISerialDevice> open(const std::string&) override
        {
            return platform::PosixSerialDevice::open(path, time);
        }
    } factory;
    factory.path = slave;
    platform::ScopedPlatform paced{{&factory.time, &factory, nullptr, nullptr}};
    ASSERT_TRUE(port.open("COM1", 38400, 4096, 4096));
    std::set<std::int64_t> wakeUps;
    for (int i = 0; i < 4096 + 800; ++i) {
        ASSERT_TRUE(port.writeByte(i)) << i;
        const std::int64_t us = factory.time.nowUs();
        const std::int64_t carried = us * 3840 / 1'000'000;
        ASSERT_TRUE(i + 1 - carried <= 4096 && (i >= 4096 || us == 0)) << "byte " << i << " at " << us << " us";
        wakeUps.insert(us);
    }
    const std::int64_t lineTimeUs = 800 * 1'000'000 / 3840;  // 208,333 us
    EXPECT_TRUE(factory.time.nowUs() >= lineTimeUs && factory.time.nowUs() <= lineTimeUs + 6000) << factory.time.nowUs();
    // Held back, the writer wakes each time some 4 ms of line time (16 characters) have freed
    // room, late by at most the rounding to whole milliseconds: never once per character, and
    // never so late that the queue runs dry.
    for (auto at = std::next(wakeUps.begin()); std::next(at) != wakeUps.end(); ++at)
        EXPECT_TRUE(*std::next(at) - *at >= 4000 && *std::next(at) - *at <= 6000) << *at << " to " << *std::next(at);
    EXPECT_EQ(port.writeErrorCount, 0);
}

TEST_F(PtyLine, WriteByteWaitsOutAShortCtsHoldAndFailsOnlyWhenHeldPastItsBudget)
{
    // tcflow on a slave descriptor holds the host's writes back as a low CTS would.
    const int slaveFd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slaveFd, 0);
    ASSERT_TRUE(port.open(slave, 38400, 4096, 4096));
    const std::int64_t droppedBefore = CSerialPort::droppedBytes();
    std::string sent;
    for (int i = 0; i < 1000; ++i)
        sent += static_cast<char>(i * 7);
    ASSERT_EQ(::tcflow(slaveFd, TCOOFF), 0);
    std::thread release([&] { pause(30), ::tcflow(slaveFd, TCOON); });
    for (char c : sent)
        EXPECT_TRUE(port.writeByte(static_cast<std::uint8_t>(c)));
    release.join();
    EXPECT_TRUE(heard() == sent);

    ASSERT_EQ(::tcflow(slaveFd, TCOOFF), 0);
    const auto t0 = Clock::now();
    EXPECT_FALSE(port.writeByte('a'));
    EXPECT_TRUE(msSince(t0) >= 55 && msSince(t0) <= 400) << "10 ms per byte + 50 ms: " << msSince(t0);
    EXPECT_EQ(port.writeErrorCount, 1);
    EXPECT_EQ(CSerialPort::droppedBytes(), droppedBefore + 1);
    ASSERT_EQ(::tcflow(slaveFd, TCOON), 0);
    EXPECT_TRUE(port.writeByte('b'));
    EXPECT_EQ(heard(), "b");
    ::close(slaveFd);
}

}  // namespace
