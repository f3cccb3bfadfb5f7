// The test receiver on hand-made frames: it must answer as a module does and notice damage,
// or the sender's tests that rely on it would prove nothing.
#include "zmodem/support/ZModemFrames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace zmodem;
using zmtest::binHeader;
using zmtest::Bytes;
using zmtest::subpacket;

const Bytes kZrqinit = Bytes("**\x18" "B00000000000000\r\x8a\x11", 21);
const Bytes kZfin = Bytes("**\x18" "B0800000000022d\r\x8a", 20);

struct ReceiverFixture : ::testing::Test {
    sim::TimedByteQueue out;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::int64_t now = 0;
    std::unique_ptr<sim::ZModemReceiver> rx;

    void start(sim::ZModemReceiverOptions o = {})
    {
        rx = std::make_unique<sim::ZModemReceiver>(out, 0, 0, o, store);
    }
    // Feeds the bytes at the current time and returns the complete answer.
    Bytes send(const Bytes& w)
    {
        now += 1000;
        rx->advance(now);
        rx->receive(reinterpret_cast<const std::uint8_t*>(w.data()), w.size(), now);
        return drain();
    }
    Bytes drain()
    {
        Bytes r;
        while (!out.empty())
            r += static_cast<char>(out.pop());
        return r;
    }
    static Bytes hex(int type, std::uint32_t value) { return zmtest::hexHeader(type, value); }
    Bytes offer(const Bytes& info, bool crc32 = true)
    {
        return send(binHeader(ZFILE, 0, crc32) + subpacket(info, ZCRCW, crc32) + "\x11");
    }
    // A fresh session up to the answer to the offer of a file named f.
    Bytes startAndOffer(const sim::ZModemReceiverOptions& o, const Bytes& info = Bytes("f\0" "3", 3))
    {
        start(o);
        send(kZrqinit);
        return offer(info);
    }
    static Bytes text(const std::vector<std::uint8_t>& d) { return Bytes(d.begin(), d.end()); }
};

TEST_F(ReceiverFixture, AnswersAWholeTransferAndStoresTheFile)
{
    sim::ZModemReceiverOptions o;
    o.bufferLength = 2048;
    start(o);
    // ZRINIT: buffer length 2048 in ZP0/ZP1, CANFC32 in ZF0, a valid CRC (checked by decoding).
    const Bytes zrinit = send(kZrqinit);
    EXPECT_EQ(zrinit.substr(0, 14), Bytes("**\x18" "B0100080020"));
    EXPECT_EQ(zrinit, hex(ZRINIT, 0x20000800u));

    EXPECT_EQ(offer(Bytes("dir/a.bin\0" "5 0 0 0 0 0", 21)), hex(ZRPOS, 0));
    EXPECT_EQ(send(binHeader(ZDATA, 0, true) + subpacket("abc", ZCRCW, true) + "\x11"), hex(ZACK, 3));
    EXPECT_EQ(send(binHeader(ZDATA, 3, true) + subpacket("de", ZCRCE, true)), "");
    EXPECT_EQ(send(binHeader(ZEOF, 5, true)), hex(ZRINIT, 0x20000800u));
    EXPECT_EQ(send(kZfin), Bytes("**\x18" "B0800000000022d\r\x8a", 20));
    EXPECT_FALSE(rx->finished());
    send("OO");
    EXPECT_TRUE(rx->finished());

    const auto files = store->files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "dir/a.bin");
    EXPECT_EQ(files[0].announcedSize, 5);
    EXPECT_EQ(text(files[0].data), "abcde");
    EXPECT_TRUE(files[0].complete);
    EXPECT_TRUE(files[0].crc32);
    EXPECT_EQ(files[0].frameEnds, "kh");
    EXPECT_EQ(store->sessionsFinished(), 1);
    EXPECT_EQ(store->sessionsAborted(), 0);
    EXPECT_EQ(store->events().back(), "<OO");
}

TEST_F(ReceiverFixture, DamagedFramesAreRefusedAndResentDataAccepted)
{
    startAndOffer({}, Bytes("f\0" "4", 3));
    Bytes good = subpacket("wxyz", ZCRCW, true);
    Bytes bad = good;
    bad[1] ^= 0x01;  // one flipped bit in the data
    EXPECT_EQ(send(binHeader(ZDATA, 0, true) + bad), hex(ZRPOS, 0));
    // The rest of the damaged frame is ignored until ZDATA at the position asked for.
    EXPECT_EQ(send(subpacket("more", ZCRCG, true)), "");
    EXPECT_EQ(send(binHeader(ZDATA, 2, true)), hex(ZRPOS, 0));
    EXPECT_EQ(send(binHeader(ZDATA, 0, true) + good), hex(ZACK, 4));
    // A header with a bad check is ignored altogether.
    Bytes badHeader = binHeader(ZEOF, 4, true);
    badHeader[4] ^= 0x02;
    EXPECT_EQ(send(badHeader), "");
    // A ZEOF before the end of the received data asks for the rest.
    EXPECT_EQ(send(binHeader(ZEOF, 9, true)), hex(ZRPOS, 4));
    const auto f = store->files().at(0);
    EXPECT_EQ(text(f.data), "wxyz");
    EXPECT_EQ(f.crcErrors, 1);
    EXPECT_FALSE(f.complete);
    // A damaged file information subpacket is answered with ZNAK.
    Bytes info = subpacket(Bytes("g\0" "1", 3), ZCRCW, true);
    info[0] ^= 0x01;
    EXPECT_EQ(send(binHeader(ZFILE, 0, true) + info), hex(ZNAK, 0));
}

TEST_F(ReceiverFixture, CrcSixteenOnlyReceiverTakesCrcSixteenFrames)
{
    sim::ZModemReceiverOptions o;
    o.crc32 = false;
    start(o);
    EXPECT_EQ(send(kZrqinit), hex(ZRINIT, 0));
    EXPECT_EQ(offer(Bytes("f\0" "3", 3), false), hex(ZRPOS, 0));
    EXPECT_EQ(send(binHeader(ZDATA, 0, false) + subpacket("\x18\x11\x7f", ZCRCW, false)), hex(ZACK, 3));
    const auto f = store->files().at(0);
    EXPECT_FALSE(f.crc32);
    EXPECT_EQ(text(f.data), "\x18\x11\x7f");
}

TEST_F(ReceiverFixture, MisbehavesOnRequest)
{
    sim::ZModemReceiverOptions o;
    o.skipFiles = true;
    EXPECT_EQ(startAndOffer(o), hex(ZSKIP, 0));
    EXPECT_TRUE(store->files().back().skipped);

    o = {};
    o.crcChallenge = 100;
    EXPECT_EQ(startAndOffer(o), hex(ZCRC, 100));
    EXPECT_EQ(send(binHeader(ZCRC, 0xCAFEBABEu, true)), hex(ZRPOS, 0));
    EXPECT_EQ(store->files().back().crcAnswer, 0xCAFEBABEu);

    o = {};
    o.rewindAt = 4;
    o.rewindTo = 1;
    startAndOffer(o, Bytes("f\0" "8", 3));
    EXPECT_EQ(send(binHeader(ZDATA, 0, true) + subpacket("abcd", ZCRCG, true)), hex(ZRPOS, 1));
    EXPECT_EQ(send(binHeader(ZDATA, 1, true) + subpacket("BCDefgh", ZCRCE, true)), "");
    EXPECT_EQ(send(binHeader(ZEOF, 8, true)), hex(ZRINIT, 0x20000000u));
    EXPECT_EQ(text(store->files().back().data), "aBCDefgh");

    o = {};
    o.xoffAt = 2;
    o.xoffPauseUs = 500'000;
    startAndOffer(o);
    now += 1000;
    const Bytes d = binHeader(ZDATA, 0, true) + subpacket("abc", ZCRCG, true);
    rx->receive(reinterpret_cast<const std::uint8_t*>(d.data()), d.size(), now);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out.pop(), XOFF);
    EXPECT_EQ(rx->nextEventUs(), now + 500'000);
    rx->advance(now + 500'000);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out.nextAtUs(), now + 500'000);
    EXPECT_EQ(out.pop(), XON);
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

TEST_F(ReceiverFixture, FactorySessionsShareTheStore)
{
    auto make = sim::ZModemReceiver::factory({}, store);
    auto a = make(out, 260, 0);
    auto b = make(out, 260, 0);
    EXPECT_EQ(store->sessionsStarted(), 2);
    a->receive(reinterpret_cast<const std::uint8_t*>(kZrqinit.data()), kZrqinit.size(), 5);
    // Answers are spaced at the download's line speed, starting after the triggering byte.
    ASSERT_EQ(out.size(), 21u);
    EXPECT_EQ(out.nextAtUs(), 5 + 260);
    b.reset();
    EXPECT_EQ(store->sessionsAborted(), 1);  // dropped before it finished
}

}  // namespace
