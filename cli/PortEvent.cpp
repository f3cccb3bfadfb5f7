#include "cli/PortEvent.h"

#include <array>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::array<const char*, 8> kNames = {"device", "status", "count", "message", "verdict", "stats", "alive", "ended"};

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            out.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char n = line[++i];
            out.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out.back() += c;
        }
    }
    return out;
}

bool number(const std::string& text, std::int64_t& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0';
}

}  // namespace

std::string PortEvent::encode() const
{
    std::string line = kNames[static_cast<std::size_t>(kind)];
    for (const std::string* s : {&text, &detail})
        line += "\t" + escaped(*s);
    for (std::int64_t n : {std::int64_t{code}, sentK, totalK, bytesOut, bytesIn, resyncs, fileBytes})
        line += "\t" + std::to_string(n);
    // Rates as whole bytes per second, -1 when unknown: nothing finer is shown.
    line += "\t" + std::to_string(rate < 0 ? std::int64_t{-1} : static_cast<std::int64_t>(rate + 0.5));
    return line;
}

std::optional<PortEvent> PortEvent::decode(const std::string& line)
{
    const std::vector<std::string> f = fields(line);
    if (f.size() != 11)
        return std::nullopt;
    PortEvent e;
    std::size_t k = 0;
    while (k < kNames.size() && f[0] != kNames[k])
        ++k;
    if (k == kNames.size())
        return std::nullopt;
    e.kind = static_cast<Kind>(k);
    e.text = f[1];
    e.detail = f[2];
    std::int64_t n[8];
    for (std::size_t i = 0; i < 8; ++i)
        if (!number(f[3 + i], n[i]))
            return std::nullopt;
    e.code = static_cast<int>(n[0]);
    e.sentK = n[1], e.totalK = n[2], e.bytesOut = n[3], e.bytesIn = n[4], e.resyncs = n[5], e.fileBytes = n[6];
    e.rate = n[7] < 0 ? -1.0 : static_cast<double>(n[7]);
    return e;
}
