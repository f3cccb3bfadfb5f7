#pragma once
// CCrc32: running CRC-32 of the ZModem frame check (reflected polynomial 0xEDB88320, LSB first,
// started at 0xFFFFFFFF). A sender transmits the one's complement of value(), least significant
// byte first (CRC-32/ISO-HDLC); a receiver that also feeds the four check bytes ends at
// 0xDEBB20E3. The table is computed at compile time: objects may be used from any thread.

#include <array>
#include <cstdint>

namespace zmodem_tables {

constexpr std::array<std::uint32_t, 256> makeCrc32Table()
{
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? ((crc >> 1) ^ 0xEDB88320u) : (crc >> 1);
        t[i] = crc;
    }
    return t;
}

inline constexpr std::array<std::uint32_t, 256> kCrc32Table = makeCrc32Table();

}  // namespace zmodem_tables

class CCrc32 {
public:
    explicit constexpr CCrc32(std::uint32_t start = 0xFFFFFFFFu) : value_(start) {}

    constexpr void update(std::uint8_t b) { value_ = zmodem_tables::kCrc32Table[(value_ ^ b) & 0xFFu] ^ (value_ >> 8); }
    constexpr std::uint32_t value() const { return value_; }

    static constexpr std::uint32_t tableEntry(std::uint8_t i) { return zmodem_tables::kCrc32Table[i]; }

private:
    std::uint32_t value_;
};
