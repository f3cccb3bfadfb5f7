// The wire layer byte for byte: escaping, the three header kinds and data subpackets as sent
// (check bytes worked out independently of CCrc16/CCrc32), and the reading of the receiver's
// bytes with their time limits, cancel counting and garbage limit.
#include "support/ZModemTestSupport.h"

#include "zmodem/ZModemDefs.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

using namespace zmodem;
using zmtest::Bytes;
using namespace std::string_literals;

class FramingTest : public zmtest::SenderFixture {
protected:
    Bytes sent(const std::function<void()>& f)
    {
        line.clearRecords();
        f();
        return host();
    }
    void say(const Bytes& bytes, std::int64_t usPerByte = 0) { script.sayAt(bytes, clock.nowUs(), usPerByte); }
    std::uint8_t h[4] = {};
};

TEST_F(FramingTest, EscapingFollowsTheByteAndThePreviousByte)
{
    const std::pair<std::vector<int>, Bytes> cases[] = {
        {{0x40, 0x0D}, "\x40\x18\x4D"s},
        {{0x41, 0x0D}, "\x41\x0D"s},
        {{0xC0, 0x8D}, "\xC0\x18\xCD"s},
        {{0x18, 0x10, 0x11, 0x13}, "\x18\x58\x18\x50\x18\x51\x18\x53"s},
        {{0x90, 0x91, 0x93}, "\x18\xD0\x18\xD1\x18\xD3"s},
        {{0x7F, 0xFF, 0x98, 0x00, 0x0A}, "\x7F\xFF\x98\x00\x0A"s},
        {{0x140, 0x10D}, "\x40\x18\x4D"s},  // only the low eight bits of the argument count
        // What went on the wire counts: an escaped byte never arms the CR rule.
        {{0x10, 0x0D}, "\x18\x50\x0D"s},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(sent([&] {
                      for (int x : in)
                          sender->sendEscaped(x);
                  }),
                  out)
            << ::testing::PrintToString(out);
}

TEST_F(FramingTest, FramesAreTheExactBytes)
{
    const std::uint8_t zero[4] = {}, pos[4] = {0x12, 0x34, 0x56, 0x78}, esc[4] = {0x18, 0, 0, 0};
    const std::uint8_t abc[3] = {'a', 'b', 'c'};
    auto hex = [&](int type, const std::uint8_t* hd) { return [=, this] { sender->sendHexHeader(4, type, hd); }; };
    auto bin = [&](int type, const std::uint8_t* hd) { return [=, this] { sender->sendBinaryHeader(4, type, hd); }; };
    auto data = [&](int n, int end) { return [=, this] { sender->sendDataSubpacket(abc, n, end); }; };
    const std::tuple<bool, std::function<void()>, Bytes> cases[] = {
        {false, hex(ZRQINIT, zero), Bytes("**\x18" "B00000000000000\r\x8a\x11", 21)},
        // No XON after ZFIN and ZACK: the receiver may be gone.
        {false, hex(ZFIN, zero), Bytes("**\x18" "B0800000000022d\r\x8a", 20)},
        {false, hex(ZACK, pos), Bytes("**\x18" "B03123456785afe\r\x8a", 20)},
        {false, bin(ZFILE, zero), "\x2A\x18\x41\x04\x00\x00\x00\x00\x89\x06"s},
        {true, bin(ZFILE, zero), "\x2A\x18\x43\x04\x00\x00\x00\x00\xDD\x51\xA2\x33"s},
        {true, bin(ZDATA, zero), "\x2A\x18\x43\x0A\x00\x00\x00\x00\xBC\xEF\x92\x8C"s},
        {true, bin(ZDATA, esc), "\x2A\x18\x43\x0A\x18\x58\x00\x00\x00\xCC\x18\xD0\x3F\x19"s},
        {false, data(3, ZCRCG), "abc\x18i\x79\x9B"s},
        {false, data(0, ZCRCE), "\x18h\xED\xAE"s},
        {true, data(0, ZCRCE), "\x18h\xE7\x06\x6B\x18\xD1"s},
        {true, data(3, ZCRCW), "abc\x18k\x80\xD0\x3D\x7D\x11"s},
    };
    for (const auto& [crc32, send, bytes] : cases) {
        sender->setUseCrc32(crc32);
        EXPECT_EQ(sent(send), bytes) << ::testing::PrintToString(bytes);
    }
}

TEST_F(FramingTest, ReadsDecodeCheckAndTimeOut)
{
    enum Reader { Escaped, HexByte, Header };
    struct Case {
        Reader reader;
        Bytes in;
        int result;
        std::int64_t elapsedUs = -1;  // -1: not checked
        std::int64_t usPerByte = 0;
    };
    Bytes badHex = zmtest::hexHeader(ZRPOS, 0x12345678), bad32 = zmtest::binHeader(ZRPOS, 0xAB00CD, true);
    badHex[17] = badHex[17] == '0' ? '1' : '0';
    bad32.back() ^= 0x01;
    const Case cases[] = {
        {Escaped, "\x18l", 0x7F}, {Escaped, "\x18m", 0xFF}, {Escaped, "\x18\x11X", 0x18},
        {Escaped, "\x11\x91\x13\x93q", 'q'}, {Escaped, "\x18h", FRAME_END_BIT | 'h'},
        {Escaped, "\x18k", FRAME_END_BIT | 'k'}, {Escaped, "\x18\x18\x18\x18\x18", CANCELLED},
        {Escaped, "\x18\x18\x18Q", 0x11},  // fewer CAN bytes: the byte after them is decoded
        {Escaped, "\x18!", ERROR}, {Escaped, "\x18", TIMEOUT, 10'000'000},
        {HexByte, "a0", 0xA0}, {HexByte, "A0", ERROR}, {HexByte, "0g", ERROR},
        {HexByte, Bytes("\0", 1), ERROR},  // a NUL is a byte, not a time-out
        {HexByte, Bytes("\x11" "f\x93" "e", 4), 0xFE},  // flow control skipped, bit 7 stripped
        {Header, zmtest::hexHeader(ZRPOS, 0x01020304), ZRPOS},
        {Header, zmtest::binHeader(ZACK, 0x18181818, false), ZACK},
        {Header, zmtest::binHeader(ZSKIP, 0x7F, true), ZSKIP},
        {Header, Bytes("*\0", 2) + zmtest::hexHeader(ZFIN, 0), ZFIN},
        {Header, Bytes("zz\xaa\xaa**\x98" "B", 8) + zmtest::hexHeader(ZFIN, 0).substr(4), ZFIN},
        {Header, Bytes("**\x18" "B0100000023BE50\r\x8a", 20), ERROR},  // hex digits are lower case
        {Header, badHex, ERROR}, {Header, bad32, ERROR},
        {Header, "**\x18" "B01", TIMEOUT, 10'000'000},
        {Header, "\x18\x18\x18\x18\x18", ZCAN}, {Header, "*\x18" "C\x18\x18\x18\x18\x18", ZCAN},
        {Header, "\x18\x18\x18\x18", TIMEOUT, 10'000'000},
        {Header, "\x18\x18\x18\x18\x18", ZCAN, 5'000'000, 1'000'000},  // parted by silence: still counted
        {Header, "\x18\x18x\x18\x18\x18", TIMEOUT},  // any other byte starts the count afresh
        {Header, Bytes("\x18\0\x18\x18\x18\x18", 6), TIMEOUT},  // a NUL too
        {Header, "\x18k", ERROR, 100'000},
        // A line every few seconds and never a header (found by fault_campaign, seed 383): the hunt
        // ends once it has lasted 2 x 39,800 character times + 10 s, not after 39,800 bytes.
        {Header, Bytes(8, 'x'), GARBAGE_LIMIT, 35'000'000, 5'000'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.in));
        script.out.clear();
        say(c.in, c.usPerByte);
        const auto t0 = clock.nowUs();
        const int r = c.reader == Escaped ? sender->readEscaped()
                      : c.reader == HexByte ? sender->readHexByte()
                                            : sender->receiveHeader(h);
        EXPECT_EQ(r, c.result);
        if (c.elapsedUs >= 0) {
            EXPECT_EQ(clock.nowUs() - t0, c.elapsedUs);
        }
    }
    // One CAN, a pause, then four at once: the fifth ends the count while the pair is read.
    say("\x18");
    script.sayAt("\x18\x18\x18\x18", clock.nowUs() + 1'000'000);
    EXPECT_EQ(sender->receiveHeader(h), ZCAN);
    say(zmtest::hexHeader(ZRPOS, 0x01020304) + zmtest::binHeader(ZACK, 0x18181818, false));
    EXPECT_EQ(sender->receiveHeader(h), ZRPOS);
    EXPECT_EQ(sender->receivedPosition(), 0x01020304);
    EXPECT_EQ(sender->receiveHeader(h), ZACK);
    EXPECT_EQ(sender->receivedPosition(), 0x18181818);
    say(zmtest::hexHeader(ZRPOS, 7));  // a hex header takes its line end along, not the XON
    EXPECT_EQ(sender->receiveHeader(h), ZRPOS);
    EXPECT_EQ(port.bytesAvailable(), 1);
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
        }
        say(Bytes(most + 1, 'x') + header);
        EXPECT_EQ(sender->receiveHeader(h), GARBAGE_LIMIT);
        script.out.clear();
    }
}

}  // namespace
