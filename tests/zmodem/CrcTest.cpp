// The frame checks against the published check values of CRC-16/XMODEM and CRC-32/ISO-HDLC,
// and the receiver-side residues that the header readers test for.
#include "zmodem/CCrc16.h"
#include "zmodem/CCrc32.h"
#include "zmodem/ZModemDefs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::uint16_t senderCrc16(const std::string& s)
{
    CCrc16 c(0);
    for (char ch : s)
        c.update(static_cast<std::uint8_t>(ch));
    c.update(0);
    c.update(0);
    return c.value();
}

std::uint32_t senderCrc32(const std::string& s)
{
    CCrc32 c;
    for (char ch : s)
        c.update(static_cast<std::uint8_t>(ch));
    return ~c.value();
}

TEST(CrcTest, MatchTheStandardCheckValues)
{
    EXPECT_EQ(senderCrc16("123456789"), 0x31C3);
    EXPECT_EQ(senderCrc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(senderCrc16(""), 0);
    EXPECT_EQ(senderCrc32(""), 0u);
    // Table entries of the usual tables, first, second and last.
    EXPECT_EQ(CCrc16::tableEntry(0), 0);
    EXPECT_EQ(CCrc16::tableEntry(1), 0x1021);
    EXPECT_EQ(CCrc16::tableEntry(255), 0x1EF0);
    EXPECT_EQ(CCrc32::tableEntry(1), 0x77073096u);
    EXPECT_EQ(CCrc32::tableEntry(255), 0x2D02EF8Du);
}

TEST(CrcTest, ReceiverFeedingTheCheckBytesEndsAtTheResidue)
{
    const std::string data("\x04\x00\x00\x00\x00" "abc\x18\xff", 10);
    const std::uint16_t v16 = senderCrc16(data);
    CCrc16 r16(0);
    for (char ch : data)
        r16.update(static_cast<std::uint8_t>(ch));
    r16.update(static_cast<std::uint8_t>(v16 >> 8));
    r16.update(static_cast<std::uint8_t>(v16));
    EXPECT_EQ(r16.value(), 0);

    const std::uint32_t v32 = senderCrc32(data);
    CCrc32 r32;
    for (char ch : data)
        r32.update(static_cast<std::uint8_t>(ch));
    for (int i = 0; i < 4; ++i)
        r32.update(static_cast<std::uint8_t>(v32 >> (8 * i)));
    EXPECT_EQ(r32.value(), zmodem::CRC32_RESIDUE);

    // One flipped bit anywhere is noticed.
    CCrc32 bad;
    for (char ch : data)
        bad.update(static_cast<std::uint8_t>(ch ^ (ch == 'b' ? 0x10 : 0)));
    for (int i = 0; i < 4; ++i)
        bad.update(static_cast<std::uint8_t>(v32 >> (8 * i)));
    EXPECT_NE(bad.value(), zmodem::CRC32_RESIDUE);
}

}  // namespace
