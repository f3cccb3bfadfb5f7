// Arbitrary console output through every parser the verification and the console scans use:
// none may crash, overflow, loop or read outside its text, and each keeps its own promises.
#include "FuzzBench.h"
#include "serial/CSerialPort.h"
#include "verify/CDeviceVerifier.h"
#include "verify/TextRules.h"

#include <cstring>

namespace {

using fuzz::require;

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);
    static const CDeviceVerifier verifier;  // never opened: parsing only

    CDeviceVerifier::versionNumber(reply);
    CDeviceVerifier::flashThreshold(reply);
    CDeviceVerifier::memoryFigure(reply);

    const std::string version = CDeviceVerifier::moduleVersionText(reply);
    require(version.find(',') == std::string::npos);
    require(version.size() <= reply.size());
    char buffer[10];
    std::memset(buffer, 'x', sizeof buffer);
    CDeviceVerifier::storeVersionText(version, buffer, sizeof buffer);
    require(std::strlen(buffer) == std::min<std::size_t>(version.size(), 9) ||
            version.find('\0') != std::string::npos);
    CDeviceVerifier::versionNumber(version);

    // The sum is taken in 64 bits: it is exactly the sum of the sizes read, whatever their count.
    std::int64_t sum = 0;
    for (const auto& text : verifier.configurationSizeTexts(reply))
        sum += textrules::number(text);
    require(sum == verifier.configurationSize(reply));
    CDeviceVerifier::flashVerdict(CDeviceVerifier::flashSize(CDeviceVerifier::flashThreshold(reply)), 3'142'217, sum);

    const std::string line = CSerialPort::lastLine(reply);
    require(line.find('\r') == std::string::npos);
    require(line.empty() || (!isWhite(line.front()) && !isWhite(line.back())));

    // The text rules themselves, at positions around the text's bounds.
    const std::int64_t n = static_cast<std::int64_t>(reply.size());
    for (std::int64_t p : {std::int64_t{-2}, std::int64_t{-1}, std::int64_t{0}, n / 2, n - 1, n, n + 1}) {
        require(static_cast<std::int64_t>(textrules::from(reply, p).size()) == (p < 0 ? n : (p >= n ? 0 : n - p)));
        require(static_cast<std::int64_t>(textrules::first(reply, p).size()) == (p < 0 ? 0 : (p >= n ? n : p)));
    }
    return 0;
}
