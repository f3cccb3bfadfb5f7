#include "app/CUpgradeCommandLineInfo.h"

#include <limits>
#include <string>

namespace {

// The option letters in the order in which a word is compared with them.
constexpr std::string_view kOptionLetters = "nesfupbcoh";

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool CUpgradeCommandLineInfo::isOptionWord(std::string_view word) const
{
    return word.size() == 1 && kOptionLetters.find(lower(word.front())) != std::string_view::npos;
}

std::int32_t CUpgradeCommandLineInfo::toInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulate the magnitude in 64 bits and stop growing once it is past the int32 range, so
    // that any number of digits is harmless.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (magnitude <= kLimit)
            magnitude = magnitude * 10 + (text[i] - '0');
    if (negative)
        return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                   : static_cast<std::int32_t>(-magnitude);
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                               : static_cast<std::int32_t>(magnitude);
}

void CUpgradeCommandLineInfo::ParseParam(const char* param, bool isFlag, bool /*isLast*/)
{
    if (!settings)
        return;
    const std::string_view text = param ? std::string_view(param) : std::string_view();
    UpgradeSettings& s = *settings;

    if (isFlag) {
        pendingOption = kNoPending;
        if (text.size() != 1)
            return;
        switch (lower(text.front())) {
        case 'n':
            s.nonInteractive = true;
            s.verifyFirst = false;
            break;
        case 'e': s.eraseConfig = true; break;
        case 's': pendingOption = kPendingProgramSize; break;
        case 'f': s.fastDownload = true; break;
        case 'u': pendingOption = kPendingUsername; break;
        case 'p': pendingOption = kPendingPassword; break;
        case 'b': pendingOption = kPendingBootFile; break;
        case 'c': pendingOption = kPendingCodeFile; break;
        case 'o': pendingOption = kPendingComPort; break;
        case 'h': s.showUsage = true; break;
        default: break;
        }
        return;
    }

    switch (pendingOption) {
    case kPendingUsername: s.username = std::string(text); break;
    case kPendingPassword: s.password = std::string(text); break;
    case kPendingBootFile: s.bootFile = std::string(text); break;
    case kPendingCodeFile: s.codeFile = std::string(text); break;
    case kPendingComPort: s.comPort = std::string(text); break;
    case kPendingProgramSize: s.programSize = toInt(text); break;
    default: break;  // a stray value
    }
    pendingOption = kNoPending;
}
