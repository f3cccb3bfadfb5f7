// The frame checks against the published check values of CRC-16/XMODEM and CRC-32/ISO-HDLC.
// (The receiver-side residues are exercised by FramingTest's reading of good and damaged headers.)
#include "zmodem/CCrc16.h"
#include "zmodem/CCrc32.h"

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

}  // namespace
