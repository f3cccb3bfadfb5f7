#pragma once
// ZModemDefs: the byte values, frame types and result codes of the ZModem wire format as this
// program uses them, shared by the sender and by the test receiver. Header bytes are kept in
// wire order: as a position ZP0..ZP3 (least significant first), as flags ZF3, ZF2, ZF1, ZF0.

#include <cstdint>

namespace zmodem {

// Reserved bytes.
constexpr int ZPAD = 0x2A;    // '*', starts every header
constexpr int ZDLE = 0x18;    // escape prefix, same value as CAN
constexpr int CAN = 0x18;
constexpr int ZBIN = 0x41;    // 'A': binary header, CRC-16
constexpr int ZHEX = 0x42;    // 'B': hex header, CRC-16
constexpr int ZBIN32 = 0x43;  // 'C': binary header, CRC-32
constexpr int ZCRCE = 0x68;   // 'h': end of frame, no reply
constexpr int ZCRCG = 0x69;   // 'i': frame goes on, no reply
constexpr int ZCRCQ = 0x6A;   // 'j': frame goes on, reply expected (never sent here)
constexpr int ZCRCW = 0x6B;   // 'k': end of frame, ZACK expected
constexpr int ZRUB0 = 0x6C;   // 'l': ZDLE ZRUB0 stands for 0x7F
constexpr int ZRUB1 = 0x6D;   // 'm': ZDLE ZRUB1 stands for 0xFF
constexpr int XON = 0x11;
constexpr int XOFF = 0x13;

// Frame types.
constexpr int ZRQINIT = 0;
constexpr int ZRINIT = 1;
constexpr int ZSINIT = 2;
constexpr int ZACK = 3;
constexpr int ZFILE = 4;
constexpr int ZSKIP = 5;
constexpr int ZNAK = 6;
constexpr int ZABORT = 7;
constexpr int ZFIN = 8;
constexpr int ZRPOS = 9;
constexpr int ZDATA = 10;
constexpr int ZEOF = 11;
constexpr int ZFERR = 12;
constexpr int ZCRC = 13;
constexpr int ZCHALLENGE = 14;
constexpr int ZCOMPL = 15;
constexpr int ZCAN = 16;
constexpr int ZFREECNT = 17;
constexpr int ZCOMMAND = 18;
constexpr int ZSTDERR = 19;

// Header byte indices.
constexpr int ZP0 = 0;
constexpr int ZP1 = 1;
constexpr int ZP2 = 2;
constexpr int ZP3 = 3;
constexpr int ZF3 = 0;
constexpr int ZF2 = 1;
constexpr int ZF1 = 2;
constexpr int ZF0 = 3;

// ZRINIT ZF0 flag: the receiver checks CRC-32.
constexpr int CANFC32 = 0x20;

// Results of the reading operations (a byte read is 0..255).
constexpr int ERROR = -1;
constexpr int TIMEOUT = -2;
constexpr int GARBAGE_LIMIT = -3;
constexpr int FRAME_END_BIT = 0x100;
constexpr int CANCELLED = FRAME_END_BIT | CAN;  // 0x118: five CAN bytes in a row

// The CRC-32 residue left after a receiver has also fed the four transmitted check bytes.
constexpr std::uint32_t CRC32_RESIDUE = 0xDEBB20E3u;

}  // namespace zmodem
