// The wire layer byte for byte: escaping, the three header kinds, data subpackets, and the
// reading of the receiver's headers with their time limits, cancel counting and garbage limit.
#include "support/ZModemTestSupport.h"

#include "zmodem/ZModemDefs.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace zmodem;
using zmtest::Bytes;

// Bitwise references, independent of the table-driven classes.
std::uint16_t crc16Bitwise(const Bytes& s)
{
    unsigned crc = 0;
    for (char ch : s) {
        crc ^= static_cast<unsigned>(static_cast<std::uint8_t>(ch)) << 8;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000u) ? ((crc << 1) ^ 0x1021u) : (crc << 1);
    }
    return static_cast<std::uint16_t>(crc);
}

std::uint32_t crc32Bitwise(const Bytes& s)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char ch : s) {
        crc ^= static_cast<std::uint8_t>(ch);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1u) ? ((crc >> 1) ^ 0xEDB88320u) : (crc >> 1);
    }
    return ~crc;
}

Bytes withEscapedCrc32(Bytes w, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        zmtest::putEscaped(w, static_cast<std::uint8_t>(v >> (8 * i)));
    return w;
}

Bytes b(std::initializer_list<int> v)
{
    Bytes s;
    for (int x : v)
        s += static_cast<char>(x);
    return s;
}

class FramingTest : public zmtest::SenderFixture {
protected:
    Bytes sent(const std::function<void()>& f)
    {
        line.clearRecords();
        f();
        return host();
    }
    Bytes escaped(const std::vector<int>& bytes)
    {
        return sent([&] {
            for (int x : bytes)
                sender->sendEscaped(x);
        });
    }
    void say(const Bytes& bytes) { script.sayAt(bytes, clock.nowUs()); }
    std::uint8_t h[4] = {};
};

TEST_F(FramingTest, EscapingFollowsTheByteAndThePreviousByte)
{
    const std::pair<std::vector<int>, Bytes> cases[] = {
        {{0x40, 0x0D}, b({0x40, 0x18, 0x4D})},
        {{0x41, 0x0D}, b({0x41, 0x0D})},
        {{0xC0, 0x8D}, b({0xC0, 0x18, 0xCD})},
        {{0x18}, b({0x18, 0x58})},
        {{0x10}, b({0x18, 0x50})},
        {{0x11, 0x13, 0x90, 0x91, 0x93}, b({0x18, 0x51, 0x18, 0x53, 0x18, 0xD0, 0x18, 0xD1, 0x18, 0xD3})},
        {{0x7F, 0xFF, 0x98, 0x00, 0x0A}, b({0x7F, 0xFF, 0x98, 0x00, 0x0A})},
        {{0x140, 0x10D}, b({0x40, 0x18, 0x4D})},  // only the low eight bits of the argument count
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(escaped(in), out) << ::testing::PrintToString(out);
    // lastSent is what went on the wire, so an escaped byte never arms the CR rule.
    sender->sendEscaped(0x10);
    EXPECT_EQ(sender->lastSentByte(), 0x50);
    EXPECT_EQ(escaped({0x0D}), b({0x0D}));
}

TEST_F(FramingTest, HexHeadersAreTheExactBytes)
{
    sender->storePosition(0);
    EXPECT_EQ(sent([&] { sender->sendHexHeader(4, ZRQINIT, h); }),
              Bytes("**\x18" "B00000000000000\r\x8a\x11", 21));
    EXPECT_EQ(sent([&] { sender->sendHexHeader(4, ZFIN, h); }), Bytes("**\x18" "B0800000000022d\r\x8a", 20));
    // ZACK has no XON either; any other type has; the CRC covers type and header bytes.
    const std::uint8_t pos[4] = {0x12, 0x34, 0x56, 0x78};
    const Bytes ack = sent([&] { sender->sendHexHeader(4, ZACK, pos); });
    char crc[5];
    std::snprintf(crc, sizeof crc, "%04x", crc16Bitwise(b({ZACK, 0x12, 0x34, 0x56, 0x78})));
    EXPECT_EQ(ack, Bytes("**\x18" "B0312345678") + crc + "\r\x8a");
    const Bytes nak = sent([&] { sender->sendHexHeader(4, ZNAK, pos); });
    EXPECT_EQ(nak.substr(nak.size() - 3), "\r\x8a\x11");
    EXPECT_EQ(nak.find_first_of("ABCDEF"), 3u);  // only the kind letter is upper case
    EXPECT_EQ(nak.find_first_of("ABCDEF", 4), Bytes::npos);
}

TEST_F(FramingTest, BinaryHeadersInBothCrcKinds)
{
    sender->storePosition(0);
    sender->setUseCrc32(false);
    EXPECT_EQ(sent([&] { sender->sendBinaryHeader(4, ZFILE, h); }), b({0x2A, 0x18, 0x41, 0x04, 0, 0, 0, 0, 0x89, 0x06}));
    EXPECT_EQ(sent([&] { sender->sendBinaryHeader(4, ZDATA, h); }), b({0x2A, 0x18, 0x41, 0x0A, 0, 0, 0, 0, 0x46, 0xAE}));
    sender->setUseCrc32(true);
    EXPECT_EQ(sent([&] { sender->sendBinaryHeader(4, ZFILE, h); }),
              b({0x2A, 0x18, 0x43, 0x04, 0, 0, 0, 0, 0xDD, 0x51, 0xA2, 0x33}));
    EXPECT_EQ(sent([&] { sender->sendBinaryHeader(4, ZDATA, h); }),
              b({0x2A, 0x18, 0x43, 0x0A, 0, 0, 0, 0, 0xBC, 0xEF, 0x92, 0x8C}));
    // Header bytes that need escaping are escaped.
    const std::uint8_t pos[4] = {0x18, 0, 0, 0};
    const Bytes esc = sent([&] { sender->sendBinaryHeader(4, ZDATA, pos); });
    EXPECT_EQ(esc.substr(0, 6), b({0x2A, 0x18, 0x43, 0x0A, 0x18, 0x58}));
}

TEST_F(FramingTest, DataSubpacketsCarryTheCheckOfDataAndFrameEnd)
{
    const std::uint8_t abc[3] = {'a', 'b', 'c'};
    sender->setUseCrc32(false);
    const std::uint16_t c = crc16Bitwise("abci");
    Bytes expect = Bytes("abc\x18i") + static_cast<char>(c >> 8) + static_cast<char>(c & 0xFF);
    EXPECT_EQ(sent([&] { sender->sendDataSubpacket(abc, 3, ZCRCG); }), expect);

    const std::uint16_t e = crc16Bitwise("h");
    EXPECT_EQ(sent([&] { sender->sendDataSubpacket(abc, 0, ZCRCE); }),
              Bytes("\x18h") + static_cast<char>(e >> 8) + static_cast<char>(e & 0xFF));

    sender->setUseCrc32(true);
    EXPECT_EQ(sent([&] { sender->sendDataSubpacket(abc, 0, ZCRCE); }), withEscapedCrc32("\x18h", crc32Bitwise("h")));
    EXPECT_EQ(sent([&] { sender->sendDataSubpacket(abc, 3, ZCRCW); }),
              withEscapedCrc32("abc\x18k", crc32Bitwise("abck")) + "\x11");
}

TEST_F(FramingTest, HexDigitsMustBeLowerCase)
{
    say("a0");
    EXPECT_EQ(sender->readHexByte(), 0xA0);
    say("A0");
    EXPECT_EQ(sender->readHexByte(), ERROR);
    script.out.clear();
    say("0g");
    EXPECT_EQ(sender->readHexByte(), ERROR);
    say(Bytes("\x11" "f\x93" "e", 4));  // flow control is skipped, bit 7 stripped
    EXPECT_EQ(sender->readHexByte(), 0xFE);
    // An upper-case digit anywhere makes the whole header an error.
    say(Bytes("**\x18" "B0100000023BE50\r\x8a", 20));
    EXPECT_EQ(sender->receiveHeader(h), ERROR);
}

TEST_F(FramingTest, EscapedReadsDecodeEscapesAndCancel)
{
    const std::pair<Bytes, int> cases[] = {
        {"\x18l", 0x7F}, {"\x18m", 0xFF}, {"\x18\x11X", 0x18}, {"\x18\x93X", 0x18},
        {"\x11\x91\x13\x93q", 'q'}, {"\x18h", FRAME_END_BIT | 'h'}, {"\x18k", FRAME_END_BIT | 'k'},
        {"\x18\x18\x18\x18\x18", CANCELLED},
        {"\x18\x18\x18Q", 0x11},  // fewer CAN bytes: the byte after them is decoded
        {"\x18!", ERROR},
    };
    for (const auto& [in, out] : cases) {
        say(in);
        EXPECT_EQ(sender->readEscaped(), out) << ::testing::PrintToString(in);
    }
    const auto t0 = clock.nowUs();
    say("\x18");
    EXPECT_EQ(sender->readEscaped(), TIMEOUT);
    EXPECT_EQ(clock.nowUs() - t0, 10'000'000);
}

TEST_F(FramingTest, CanBytesCancelByCountAndSilenceTimesOut)
{
    say("\x18\x18\x18\x18\x18");
    EXPECT_EQ(sender->receiveHeader(h), ZCAN);

    auto t0 = clock.nowUs();
    say("\x18\x18\x18\x18");
    EXPECT_EQ(sender->receiveHeader(h), TIMEOUT);
    EXPECT_EQ(clock.nowUs() - t0, 10'000'000);

    // CAN bytes parted only by silence still add up...
    for (int i = 0; i < 5; ++i)
        script.sayAt("\x18", clock.nowUs() + i * 1'000'000);
    EXPECT_EQ(sender->receiveHeader(h), ZCAN);
    // ...any other byte starts the count afresh.
    say("\x18\x18x\x18\x18\x18");
    t0 = clock.nowUs();
    EXPECT_EQ(sender->receiveHeader(h), TIMEOUT);
    // CAN 'k' and then silence is an error after the 100 ms wait.
    say("\x18k");
    t0 = clock.nowUs();
    EXPECT_EQ(sender->receiveHeader(h), ERROR);
    EXPECT_EQ(clock.nowUs() - t0, 100'000);
    // A cancel inside a binary header.
    say("*\x18" "C\x18\x18\x18\x18\x18");
    EXPECT_EQ(sender->receiveHeader(h), ZCAN);
}

TEST_F(FramingTest, GarbageLimitFollowsTheLineSpeed)
{
    const Bytes header = zmtest::hexHeader(ZRPOS, 7);
    // Speed, the most garbage still read past; unreadable settings count as 38,400 bps.
    const std::tuple<std::uint32_t, std::size_t, bool> cases[] = {
        {38400, 39'799, false}, {38400, 39'799, true}, {115200, 116'599, false}, {9600, 20'599, false}};
    for (const auto& [speed, most, failGetState] : cases) {
        SCOPED_TRACE(speed);
        line.setFaults({});
        port.close();
        ASSERT_TRUE(port.open("COM1", speed, 4096, 4096));
        sim::LineFaults faults;
        faults.failGetState = failGetState;
        line.setFaults(faults);
        if (!failGetState) {
            say(Bytes(most, 'x') + header);
            EXPECT_EQ(sender->receiveHeader(h), ZRPOS);
            EXPECT_EQ(sender->receivedPosition(), 7);
        }
        say(Bytes(most + 1, 'x') + header);
        EXPECT_EQ(sender->receiveHeader(h), GARBAGE_LIMIT);
        script.out.clear();
    }
}

TEST_F(FramingTest, HeadersOfEveryKindAreReadAndChecked)
{
    say(zmtest::hexHeader(ZRPOS, 0x01020304) + zmtest::binHeader(ZACK, 0x18181818, false) +
        zmtest::binHeader(ZSKIP, 0x7F, true));
    EXPECT_EQ(sender->receiveHeader(h), ZRPOS);
    EXPECT_EQ(sender->receivedPosition(), 0x01020304);
    EXPECT_EQ(sender->receiveHeader(h), ZACK);
    EXPECT_EQ(sender->receivedPosition(), 0x18181818);
    EXPECT_EQ(sender->receiveHeader(h), ZSKIP);
    EXPECT_EQ(sender->receivedPosition(), 0x7F);
    EXPECT_EQ(port.bytesAvailable(), 0);

    // A damaged check gives ERROR, and the position still takes the bytes read.
    Bytes bad = zmtest::hexHeader(ZRPOS, 0x12345678);
    bad[17] = bad[17] == '0' ? '1' : '0';
    say(bad);
    EXPECT_EQ(sender->receiveHeader(h), ERROR);
    EXPECT_EQ(sender->receivedPosition(), 0x12345678);
    script.out.clear();
    Bytes bad32 = zmtest::binHeader(ZRPOS, 0x00AB00CD, true);
    bad32.back() ^= 0x01;
    say(bad32);
    EXPECT_EQ(sender->receiveHeader(h), ERROR);
    EXPECT_EQ(sender->receivedPosition(), 0x00AB00CD);

    // Pads with bit 7 set, repeated pads and garbage before the header are fine.
    say(Bytes("zz\xaa\xaa**\x98" "B", 8) + zmtest::hexHeader(ZFIN, 0).substr(4));
    EXPECT_EQ(sender->receiveHeader(h), ZFIN);
    // Silence inside a header.
    const auto t0 = clock.nowUs();
    say("**\x18" "B01");
    EXPECT_EQ(sender->receiveHeader(h), TIMEOUT);
    EXPECT_EQ(clock.nowUs() - t0, 10'000'000);
}

}  // namespace
