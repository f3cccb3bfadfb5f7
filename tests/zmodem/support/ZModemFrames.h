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

// The check of bytes already fed to both CRCs, escaped: CRC-32 low byte first, CRC-16 high first.
inline void putCheck(Bytes& w, CCrc16 c16, const CCrc32& c32, bool crc32)
{
    if (crc32) {
        const std::uint32_t v = ~c32.value();
        for (int i = 0; i < 4; ++i)
            putEscaped(w, static_cast<std::uint8_t>(v >> (8 * i)));
    } else {
        c16.update(0);
        c16.update(0);
        putEscaped(w, static_cast<std::uint8_t>(c16.value() >> 8));
        putEscaped(w, static_cast<std::uint8_t>(c16.value()));
    }
}

// w, then the bytes escaped, ZDLE and end when end is not negative, and the check of all fed.
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
    putCheck(w, c16, c32, crc32);
    return w;
}

inline Bytes subpacket(const Bytes& data, int end, bool crc32)
{
    return withCheck({}, data, end, crc32);
}

inline Bytes binHeader(int type, std::uint32_t v, bool crc32)
{
    Bytes h;
    for (std::uint32_t b : {static_cast<std::uint32_t>(type), v, v >> 8, v >> 16, v >> 24})
        h += static_cast<char>(b);
    return withCheck(crc32 ? "*\x18" "C" : "*\x18" "A", h, -1, crc32);
}

inline Bytes hexHeaderFlags(int type, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    const std::uint8_t h[4] = {b0, b1, b2, b3};
    Bytes w;
    sim::ZModemReceiver::appendHexHeader(w, type, h);
    return w;
}

inline Bytes hexHeader(int type, std::uint32_t v)
{
    return hexHeaderFlags(type, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24));
}

// ZRINIT with a buffer length and, when crc32, CANFC32.
inline Bytes zrinit(std::uint16_t bufferLength, bool crc32)
{
    return hexHeaderFlags(zmodem::ZRINIT, static_cast<std::uint8_t>(bufferLength),
                          static_cast<std::uint8_t>(bufferLength >> 8), 0,
                          static_cast<std::uint8_t>(crc32 ? zmodem::CANFC32 : 0));
}

// CRC-32 (ISO-HDLC) of bytes, for comparisons.
inline std::uint32_t crc32Of(const std::uint8_t* data, std::size_t n)
{
    CCrc32 c;
    for (std::size_t i = 0; i < n; ++i)
        c.update(data[i]);
    return ~c.value();
}

}  // namespace zmtest
