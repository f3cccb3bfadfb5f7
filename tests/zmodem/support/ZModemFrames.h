#pragma once
// The bytes of ZModem frames as the far end builds them, for byte-exact comparisons: escaping,
// hex and binary headers, data subpackets, and a CRC-32 of plain bytes. Header-only, so that
// the test receiver's own tests use the same builders.

#include "sim/ZModemReceiver.h"
#include "zmodem/CCrc16.h"
#include "zmodem/CCrc32.h"
#include "zmodem/ZModemDefs.h"

#include <cstdint>
#include <string>

namespace zmtest {

using Bytes = std::string;

// Escapes what a receiver must see escaped (and nothing else).
inline void putEscaped(Bytes& w, std::uint8_t b)
{
    if (b == 0x10 || b == 0x11 || b == 0x13 || b == 0x18 || b == 0x90 || b == 0x91 || b == 0x93) {
        w += static_cast<char>(zmodem::ZDLE);
        w += static_cast<char>(b ^ 0x40);
    } else {
        w += static_cast<char>(b);
    }
}

// w, then the bytes escaped, ZDLE and end when end is not negative, and the check of all fed,
// escaped: CRC-32 low byte first, CRC-16 high byte first.
inline Bytes withCheck(Bytes w, const Bytes& data, int end, bool crc32)
{
    CCrc16 c16;
    CCrc32 c32;
    for (char ch : end < 0 ? data : data + static_cast<char>(end)) {
        c16.update(static_cast<std::uint8_t>(ch));
        c32.update(static_cast<std::uint8_t>(ch));
    }
    for (char ch : data)
        putEscaped(w, static_cast<std::uint8_t>(ch));
    if (end >= 0)
        w += Bytes{static_cast<char>(zmodem::ZDLE), static_cast<char>(end)};
    c16.update(0);
    c16.update(0);
    const std::uint32_t check = crc32 ? ~c32.value() : static_cast<std::uint32_t>(c16.value() >> 8 | (c16.value() & 0xFF) << 8);
    for (int i = 0; i < (crc32 ? 4 : 2); ++i)
        putEscaped(w, static_cast<std::uint8_t>(check >> (8 * i)));
    return w;
}

inline Bytes subpacket(const Bytes& data, int end, bool crc32) { return withCheck({}, data, end, crc32); }

inline Bytes binHeader(int type, std::uint32_t v, bool crc32)
{
    Bytes h;
    for (std::uint32_t b : {static_cast<std::uint32_t>(type), v, v >> 8, v >> 16, v >> 24})
        h += static_cast<char>(b);
    return withCheck(crc32 ? "*\x18" "C" : "*\x18" "A", h, -1, crc32);
}

inline Bytes hexHeader(int type, std::uint32_t v)
{
    const std::uint8_t h[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    Bytes w;
    sim::ZModemReceiver::appendHexHeader(w, type, h);
    return w;
}

// ZRINIT with no buffer limit and CANFC32.
inline Bytes zrinit() { return hexHeader(zmodem::ZRINIT, std::uint32_t{zmodem::CANFC32} << 24); }

// CRC-32 (ISO-HDLC) of bytes, for comparisons.
inline std::uint32_t crc32Of(const std::uint8_t* data, std::size_t n)
{
    CCrc32 c;
    for (std::size_t i = 0; i < n; ++i)
        c.update(data[i]);
    return ~c.value();
}

}  // namespace zmtest
