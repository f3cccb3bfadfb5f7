#include "verify/TextRules.h"

#include <climits>

namespace textrules {

namespace {

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::int64_t find(const std::string& s, const std::string& t)
{
    const std::size_t p = s.find(t);
    return p == std::string::npos ? -1 : static_cast<std::int64_t>(p);
}

std::string from(const std::string& s, std::int64_t p)
{
    if (p < 0)
        p = 0;
    if (static_cast<std::uint64_t>(p) >= s.size())
        return {};
    return s.substr(static_cast<std::size_t>(p));
}

std::string first(const std::string& s, std::int64_t n)
{
    if (n < 0)
        return {};
    if (static_cast<std::uint64_t>(n) >= s.size())
        return s;
    return s.substr(0, static_cast<std::size_t>(n));
}

std::string trimLeft(const std::string& s)
{
    std::size_t b = 0;
    while (b < s.size() && isWhite(s[b]))
        ++b;
    return s.substr(b);
}

int number(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size() && isWhite(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Accumulate the magnitude with a ceiling just past the int range, so that any number of
    // digits is read without overflow and ends up held at the nearer limit.
    constexpr std::int64_t ceiling = static_cast<std::int64_t>(INT_MAX) + 1;
    std::int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > ceiling)
            value = ceiling;
    }
    if (negative)
        return static_cast<int>(-value);  // -2^31 at most: INT_MIN
    return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

}  // namespace textrules
