// The pseudo-terminal must carry every byte value unchanged in both directions (the ZModem
// tests and the simulator run binary protocols over it) and report a vanished peer.
#include "sim/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::uint8_t> allBytes()
{
    std::vector<std::uint8_t> v;
    for (int i = 0; i < 256; ++i)
        v.push_back(static_cast<std::uint8_t>(i));
    return v;
}

std::vector<std::uint8_t> readFromMaster(sim::PseudoTerminal& pty, std::size_t n)
{
    std::vector<std::uint8_t> got;
    std::uint8_t buf[512];
    while (got.size() < n) {
        const long r = pty.readSome(buf, sizeof buf, 2000);
        if (r <= 0)
            break;
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}

TEST(PseudoTerminalTest, CarriesEveryByteUnchangedBothWays)
{
    std::string error;
    auto pty = sim::PseudoTerminal::open(&error);
    ASSERT_TRUE(pty) << error;
    EXPECT_EQ(pty->slavePath().rfind("/dev/pts/", 0), 0u);

    const auto bytes = allBytes();
    ASSERT_EQ(::write(pty->slaveFd(), bytes.data(), bytes.size()), 256);
    EXPECT_EQ(readFromMaster(*pty, 256), bytes);

    // The other way, through a second descriptor on the slave path (as a serial device opens it).
    const int other = ::open(pty->slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_TRUE(pty->writeAll(bytes.data(), bytes.size(), 2000));
    std::vector<std::uint8_t> got(256);
    std::size_t have = 0;
    while (have < 256) {
        pollfd p{other, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        const ssize_t r = ::read(other, got.data() + have, 256 - have);
        ASSERT_GT(r, 0);
        have += static_cast<std::size_t>(r);
    }
    EXPECT_EQ(got, bytes);
    ::close(other);
}

TEST(PseudoTerminalTest, ReadTimesOutAndSeesTheSlaveGo)
{
    auto pty = sim::PseudoTerminal::open();
    ASSERT_TRUE(pty);
    std::uint8_t b;
    EXPECT_EQ(pty->readSome(&b, 1, 10), 0);
    pty->closeSlave();
    EXPECT_EQ(pty->slaveFd(), -1);
    EXPECT_EQ(pty->readSome(&b, 1, 100), -1);
}

}  // namespace
