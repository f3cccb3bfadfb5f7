#pragma once
// TransferRate: the rate of one file's transfer, from the progress window's counts as they come
// in. It runs from the file's "Downloading ..." status (startUs, set by the caller) or, failing
// that, from its first count. A count whose text repeats the last one is no news: a refresh for
// a status change shows the same count again.

#include <cstdint>
#include <string>

struct TransferRate {
    std::int64_t startUs = -1;
    std::int32_t startK = 0;
    std::string lastText;

    // False when the count is no news; otherwise bytesPerSecond is the rate since the start, or
    // -1 while it is not yet known.
    bool update(const std::string& text, std::int32_t sentK, std::int64_t nowUs, double& bytesPerSecond)
    {
        if (text.empty() || text == lastText)
            return false;
        lastText = text;
        if (startUs < 0) {
            startUs = nowUs;
            startK = sentK;
        }
        const double seconds = static_cast<double>(nowUs - startUs) / 1e6;
        const double bytes = static_cast<double>(sentK - startK) * 1024.0;
        bytesPerSecond = seconds > 0 && bytes > 0 ? bytes / seconds : -1.0;
        return true;
    }
};
