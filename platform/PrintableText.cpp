#include "platform/PrintableText.h"

#include <cstdio>

namespace platform {

namespace {

// The length of the valid UTF-8 sequence at s[i] (2..4), or 0. Overlong forms, surrogates and
// code points beyond U+10FFFF are not valid: a terminal may read them as something else.
std::size_t utf8Length(const std::string& s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = at(i);
    std::size_t n = 0;
    unsigned lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
    if (n == 0 || i + n > s.size() || at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    // U+0080..U+009F: the C1 controls (CSI among them).
    if (b == 0xC2 && at(i + 1) <= 0x9F)
        return 0;
    return n;
}

}  // namespace

std::string printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x7f) {
            out += text[i++];
            continue;
        }
        if (const std::size_t n = b >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", b);
        out += escaped;
        ++i;
    }
    return out;
}

}  // namespace platform
