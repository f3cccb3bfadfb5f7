#include "verify/CDeviceVerifier.h"

#include "platform/Platform.h"
#include "verify/TextRules.h"

#include <algorithm>
#include <climits>

using textrules::find;
using textrules::first;
using textrules::from;
using textrules::number;
using textrules::trimLeft;

namespace {

constexpr std::uint32_t kConsoleBaud = 38400;
constexpr std::uint32_t kQueueSize = 4096;
constexpr std::size_t kReadSize = 4096;
constexpr int kLoginPasses = 4;
constexpr int kLoginMaxEmptyReads = 2;
constexpr int kVersion150 = 105000;
constexpr int kMemoryFloor = 4096;
constexpr int kThresholdFloor = 4096;
constexpr std::int64_t kLargeFlash = 16'252'928;  // 15.5 MiB
constexpr std::int64_t kSmallFlash = 3'670'016;   // 3.5 MiB
constexpr std::int64_t kFlashReserve = 72'704;    // 71 KiB

const std::string kLogin = "Login:";
const std::string kPassword = "Password:";
const std::string kQuickSetup = "Do you want to continue with Tarvel Quick Setup?";
const std::string kVersionLabel = ", Version: ";
const std::string kMemoryLabel = "Total System Memory Resources:";
const std::string kBanner = "MERIDOX Flash File System";
const std::string kThresholdLabel = "Threshold";

int clampToInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

}  // namespace

CDeviceVerifier::CDeviceVerifier()
    : showSystemCommand("\rShow System\r"), showMemoryCommand("\rShow Memory\r"),
      listFilesCommand("\rList Files\r"),
      excludedFiles{"QuorvelStrings.ind", "QuorvelStrings.str", "ZentikString.ind", "ZentikString.str",
                    "kelmplus.bin.z",     "event-log.local",    "rtboot.bin",       "rtsram.bin",
                    "prev-event-log.local", "quorvel.bin.z",    "fixup1.bin.z"}
{
}

int CDeviceVerifier::login(std::string portName, std::string username, std::string password)
{
    if (!open(portName, kConsoleBaud, kQueueSize, kQueueSize))
        return 1;

    enum class Seen { Nothing, Login, Password, LoggedIn };
    Seen seen = Seen::Nothing;
    std::string reply;
    int emptyReads = 0;
    for (int pass = 0; pass < kLoginPasses && emptyReads < kLoginMaxEmptyReads; ++pass) {
        writeText("\r");
        platform::sleepMs(5000);
        std::string received;
        if (!readText(received, kReadSize))
            ++emptyReads;
        reply = lastLine(reply + received);
        if (reply == kLogin) {
            seen = Seen::Login;
            break;
        }
        if (reply == kPassword) {
            seen = Seen::Password;
            break;
        }
        if (confirmPrompt(reply)) {
            seen = Seen::LoggedIn;
            break;
        }
        if (reply == kQuickSetup) {
            writeText("NO\r");
            platform::sleepMs(100);
        } else {
            platform::sleepMs(1000);
        }
    }

    switch (seen) {
    case Seen::Nothing:
        return 3;
    case Seen::LoggedIn:
        return 0;
    case Seen::Password:
        // An empty password ends the half-finished login; the console asks afresh.
        writeText("\r");
        platform::sleepMs(5000);
        [[fallthrough]];
    case Seen::Login: {
        writeText(username + "\r");
        platform::sleepMs(50);
        writeText(password + "\r");
        platform::sleepMs(5000);
        std::string received;
        readText(received, kReadSize);
        reply = lastLine(reply + received);
        return confirmPrompt(reply) ? 0 : 2;
    }
    }
    return 3;
}

int CDeviceVerifier::checkVersion(std::string newVersion, char* out, std::size_t outSize)
{
    writeText(showSystemCommand);
    platform::sleepMs(2500);
    std::string reply;
    if (!readText(reply, kReadSize))
        return 1;
    const std::string version = moduleVersionText(reply);
    // A version text longer than the buffer is cut there; the comparison uses the whole text.
    storeVersionText(version, out, outSize);
    return versionNumber(newVersion) < versionNumber(version) ? 4 : 0;
}

int CDeviceVerifier::checkMemory(std::string newVersion)
{
    if (versionNumber(newVersion) < kVersion150)
        return 0;
    writeText(showMemoryCommand);
    platform::sleepMs(2500);
    std::string reply;
    if (!readText(reply, kReadSize))
        return 1;
    return memoryFigure(reply) <= kMemoryFloor ? 5 : 0;
}

int CDeviceVerifier::checkFlashSpace(std::int32_t programSize)
{
    writeText(listFilesCommand);
    platform::sleepMs(50);
    writeText(" ");
    platform::sleepMs(2500);
    std::string reply;
    if (!readText(reply, kReadSize))
        return 1;
    return flashVerdict(flashSize(flashThreshold(reply)), programSize, configurationSize(reply));
}

std::string CDeviceVerifier::moduleVersionText(const std::string& reply)
{
    const std::string afterLabel = from(reply, find(reply, kVersionLabel) + 11);
    return first(afterLabel, find(afterLabel, ","));
}

void CDeviceVerifier::storeVersionText(const std::string& version, char* out, std::size_t outSize)
{
    if (!out || outSize == 0)
        return;
    const std::size_t n = std::min(version.size(), outSize - 1);
    std::copy_n(version.data(), n, out);
    out[n] = '\0';
}

int CDeviceVerifier::memoryFigure(const std::string& reply)
{
    // The 30-character label and the one character after it.
    const std::string rest = trimLeft(from(reply, find(reply, kMemoryLabel) + 31));
    return number(first(rest, find(rest, " ")));
}

int CDeviceVerifier::flashThreshold(std::string listing)
{
    std::string t = trimLeft(from(listing, find(listing, kThresholdLabel) + 10));
    t = trimLeft(from(t, find(t, " ")));
    return number(first(t, find(t, " ")));
}

std::vector<std::string> CDeviceVerifier::configurationSizeTexts(const std::string& listing) const
{
    std::string t = from(listing, find(listing, kBanner));
    // The banner line and the three lines after it are never file entries.
    for (int i = 0; i < 4; ++i)
        t = from(t, find(t, "\r") + 1);
    t = trimLeft(t);

    std::vector<std::string> sizes;
    while (!t.empty()) {
        const std::int64_t sp = find(t, " ");
        const std::int64_t cr = find(t, "\r");
        if (sp + 1 < cr) {
            const std::string name = first(t, sp);
            t = trimLeft(from(t, sp));
            const std::string size = first(t, find(t, "\r"));
            t = trimLeft(from(t, find(t, "\r")));
            if (!isExcludedFile(name))
                sizes.push_back(size);
        } else if (cr == -1) {
            t.clear();  // the last line has no CR: it is the prompt, not a file
        } else {
            t = trimLeft(from(t, cr));
        }
    }
    return sizes;
}

std::int64_t CDeviceVerifier::configurationSize(const std::string& listing) const
{
    std::int64_t sum = 0;
    for (const auto& size : configurationSizeTexts(listing))
        sum += number(size);
    return sum;
}

std::int64_t CDeviceVerifier::flashSize(int threshold)
{
    return threshold > kThresholdFloor ? kLargeFlash : kSmallFlash;
}

int CDeviceVerifier::flashVerdict(std::int64_t flash, std::int64_t programSize, std::int64_t configuration)
{
    // In 64 bits: a listing whose sizes add up past 2^31 leaves no room, it does not wrap into
    // a large spare.
    const std::int64_t spare = flash - programSize - configuration - kFlashReserve;
    return spare > 0 ? 0 : 6;
}

int CDeviceVerifier::versionNumber(std::string text)
{
    const std::int64_t p = find(text, ".");
    const std::string major = first(text, p);
    const std::string rest = from(text, p + 1);
    const std::int64_t q = find(rest, ".");
    const std::string minor = first(rest, q);
    const std::string patch = from(rest, q + 1);
    // Parts near the int limits would overflow the weighted sum; it is held at the limits.
    return clampToInt(static_cast<std::int64_t>(number(major)) * 100'000 +
                      static_cast<std::int64_t>(number(minor)) * 1000 + number(patch));
}

bool CDeviceVerifier::isExcludedFile(std::string name) const
{
    return std::find(excludedFiles.begin(), excludedFiles.end(), name) != excludedFiles.end();
}
