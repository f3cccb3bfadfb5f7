#pragma once
// The program's string table, entries 61207 to 61224 (the LoadString stand-in). One table for
// the whole program: the verification texts, the upgrade texts and the port names all come
// from here.

#include <string>

namespace strings {

enum Id : int {
    IDS_COM1 = 61207,
    IDS_COM2 = 61208,
    IDS_VERIFY_FAILED = 61209,
    IDS_VERIFY_OK_TAIL = 61210,
    IDS_VERIFY_OK_NEXT = 61211,
    IDS_VERIFY_OK = 61212,
    IDS_PORT_NOT_OPENED = 61213,
    IDS_LOGIN_REFUSED = 61214,
    IDS_VERSION_OLDER = 61215,
    IDS_VERSION_OLDER_TAIL = 61216,
    IDS_MEMORY = 61217,
    IDS_FLASH = 61218,
    IDS_NO_CONSOLE = 61219,
    IDS_NO_CONSOLE_LED = 61220,
    IDS_UPGRADE_FAILED = 61221,
    IDS_UPGRADE_OK = 61222,
    IDS_BOOT_FAILED = 61223,
    IDS_CODE_FAILED = 61224,
};

// The text of an entry; empty for an id the table does not hold.
const std::string& load(int id);

// printf-style formatting into a std::string (the tails such as " %s of the firmware.").
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace strings
