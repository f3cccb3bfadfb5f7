#pragma once
// CCrc16: running CRC-16 of the ZModem frame check (polynomial 0x1021, MSB first). The update
// shifts each byte into the low end of the register, so a sender feeds the covered bytes and
// then two zero bytes to get the value it transmits (high byte first); that value equals
// CRC-16/XMODEM of the covered bytes, and a receiver that also feeds the two received check
// bytes ends at 0. The table is computed at compile time: objects may be used from any thread.

#include <array>
#include <cstdint>

namespace zmodem_tables {

constexpr std::array<std::uint16_t, 256> makeCrc16Table()
{
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000u) ? ((crc << 1) ^ 0x1021u) : (crc << 1);
        t[i] = static_cast<std::uint16_t>(crc & 0xFFFFu);
    }
    return t;
}

inline constexpr std::array<std::uint16_t, 256> kCrc16Table = makeCrc16Table();

}  // namespace zmodem_tables

class CCrc16 {
public:
    explicit constexpr CCrc16(std::uint16_t start = 0) : value_(start) {}

    constexpr void update(std::uint8_t b)
    {
        value_ = static_cast<std::uint16_t>(zmodem_tables::kCrc16Table[value_ >> 8] ^ static_cast<std::uint16_t>(value_ << 8) ^ b);
    }
    constexpr std::uint16_t value() const { return value_; }

    static constexpr std::uint16_t tableEntry(std::uint8_t i) { return zmodem_tables::kCrc16Table[i]; }

private:
    std::uint16_t value_;
};
