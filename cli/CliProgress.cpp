#include "cli/CliProgress.h"

#include "upgrade/UpgradeWorker.h"

#include <cstdio>

namespace {

std::string duration(double seconds)
{
    const long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

}  // namespace

std::string CliProgress::formatLine(const std::string& label, std::int32_t sentK, std::int32_t totalK,
                                    double bytesPerSecond, int barWidth)
{
    std::string line = label;
    if (barWidth > 0) {
        // A total of 0 K (a file under 1 K) counts as complete once anything was reported.
        const double fraction = totalK > 0 ? static_cast<double>(sentK) / totalK : 1.0;
        int filled = static_cast<int>(fraction * barWidth);
        filled = filled < 0 ? 0 : (filled > barWidth ? barWidth : filled);
        line += "  [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(barWidth - filled), '-') + "]";
    }
    char counts[64];
    std::snprintf(counts, sizeof counts, "  %dK of %dK", sentK, totalK);
    line += counts;
    if (bytesPerSecond > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "  %.1f KB/s", bytesPerSecond / 1024.0);
        line += rate;
        const double leftBytes = (static_cast<double>(totalK) - sentK) * 1024.0;
        line += "  " + duration(leftBytes > 0 ? leftBytes / bytesPerSecond : 0.0) + " left";
    }
    return line;
}

void CliProgress::begin()
{
    lastStatus_ = statusText;
    output_.line(statusText);
}

void CliProgress::refresh()
{
    if (statusText != lastStatus_) {
        lastStatus_ = statusText;
        output_.line(statusText);
        if (statusText == kStatusBootDownload)
            boot_.startUs = clock_.nowUs();
        else if (statusText == kStatusCodeDownload)
            code_.startUs = clock_.nowUs();
    }
    if (bootPhase)
        showCount(boot_, "boot file", bootProgressText, bootSentK, bootTotalK);
    else
        showCount(code_, "code file", codeProgressText, codeSentK, codeTotalK);
}

void CliProgress::showCount(Phase& phase, const char* label, const std::string& text, std::int32_t sentK,
                            std::int32_t totalK)
{
    const std::int64_t now = clock_.nowUs();
    double rate = -1.0;
    if (!phase.update(text, sentK, now, rate))
        return;
    const bool complete = sentK >= totalK;
    if (output_.terminal()) {
        output_.live(formatLine(label, sentK, totalK, rate, 30));
        if (complete)
            output_.endLive();
        return;
    }
    if (phase.lastPrintUs < 0 || now - phase.lastPrintUs >= plainIntervalUs_ || complete) {
        phase.lastPrintUs = now;
        output_.line(formatLine(label, sentK, totalK, rate, 0));
    }
}

bool CliProgress::showFinished(int code)
{
    setVerdict(code);
    output_.endLive();
    output_.line(code == 0 ? kTerminalCompleted : kTerminalFailed);
    return true;
}
