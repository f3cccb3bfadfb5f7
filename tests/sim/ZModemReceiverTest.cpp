// The test receiver on hand-made frames: it must notice damage and end a session as a module
// does, or the sender's tests that rely on it would prove nothing. Whole transfers through it
// (both checks, every frame end, the stored file) are run by the sender's transfer tests.
#include "zmodem/support/ZModemFrames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace zmodem;
using zmtest::binHeader;
using zmtest::Bytes;
using zmtest::hexHeader;
using zmtest::subpacket;

const Bytes kZrqinit = Bytes("**\x18" "B00000000000000\r\x8a\x11", 21);

struct ReceiverFixture : ::testing::Test {
    sim::TimedByteQueue out;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::int64_t now = 0;
    std::unique_ptr<sim::ZModemReceiver> rx;

    void start(sim::ZModemReceiverOptions o = {}) { rx = std::make_unique<sim::ZModemReceiver>(out, 0, 0, o, store); }
    // Feeds the bytes at the current time and returns the complete answer.
    Bytes send(const Bytes& w)
    {
        now += 1000;
        rx->advance(now);
        rx->receive(reinterpret_cast<const std::uint8_t*>(w.data()), w.size(), now);
        Bytes r;
        while (!out.empty())
            r += static_cast<char>(out.pop());
        return r;
    }
};

TEST_F(ReceiverFixture, DamagedFramesAreRefusedAndResentDataAccepted)
{
    start();
    send(kZrqinit);
    send(binHeader(ZFILE, 0, true) + subpacket(Bytes("f\0" "4", 3), ZCRCW, true) + "\x11");
    Bytes good = subpacket("wxyz", ZCRCW, true);
    Bytes bad = good;
    bad[1] ^= 0x01;  // one flipped bit in the data
    EXPECT_EQ(send(binHeader(ZDATA, 0, true) + bad), hexHeader(ZRPOS, 0));
    // The rest of the damaged frame is ignored until ZDATA at the position asked for.
    EXPECT_EQ(send(subpacket("more", ZCRCG, true)), "");
    EXPECT_EQ(send(binHeader(ZDATA, 2, true)), hexHeader(ZRPOS, 0));
    EXPECT_EQ(send(binHeader(ZDATA, 0, true) + good), hexHeader(ZACK, 4));
    // A header with a bad check is ignored altogether.
    Bytes badHeader = binHeader(ZEOF, 4, true);
    badHeader[4] ^= 0x02;
    EXPECT_EQ(send(badHeader), "");
    // A ZEOF before the end of the received data asks for the rest.
    EXPECT_EQ(send(binHeader(ZEOF, 9, true)), hexHeader(ZRPOS, 4));
    const auto f = store->files().at(0);
    EXPECT_EQ(Bytes(f.data.begin(), f.data.end()), "wxyz");
    EXPECT_EQ(f.crcErrors, 1);
    EXPECT_FALSE(f.complete);
    // A damaged file information subpacket is answered with ZNAK.
    Bytes info = subpacket(Bytes("g\0" "1", 3), ZCRCW, true);
    info[0] ^= 0x01;
    EXPECT_EQ(send(binHeader(ZFILE, 0, true) + info), hexHeader(ZNAK, 0));
}

TEST_F(ReceiverFixture, CancelSilenceAndGivingUpEndTheSession)
{
    start();
    send(kZrqinit);
    send("\x18\x18\x18\x18");
    EXPECT_FALSE(rx->finished());
    send("\x18");
    EXPECT_TRUE(rx->finished());
    EXPECT_EQ(store->sessionsAborted(), 1);

    sim::ZModemReceiverOptions o;
    o.silentFrom = sim::ReceiverStage::Init;
    o.giveUpUs = 30'000'000;
    start(o);
    EXPECT_EQ(send(kZrqinit), "");
    EXPECT_EQ(rx->nextEventUs(), now + 30'000'000);
    rx->advance(now + 29'999'999);
    EXPECT_FALSE(rx->finished());
    rx->advance(now + 30'000'000);
    EXPECT_TRUE(rx->finished());
    EXPECT_EQ(store->sessionsAborted(), 2);
}

}  // namespace
