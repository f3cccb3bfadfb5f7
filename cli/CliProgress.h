#pragma once
// CliProgress: the progress display of upgrade-cli, a ProgressState written by the upgrade
// worker and the ZModem sender on the worker thread. Every new status line and the verdict
// are printed as lines of their own. The count of the file being sent ("%dK of %dK") is shown
// with a bar, the rate and the time left: on a terminal as one live line per file, redrawn at
// every report; elsewhere as a plain line at most once per plainIntervalUs, and always when the
// file is complete. Rates are measured on the platform clock from the moment the file's
// "Downloading ..." status appeared. The verdict is worded for a terminal (kTerminalCompleted,
// kTerminalFailed): there is no Finished button to click here.

#include "cli/ConsoleOutput.h"
#include "cli/TransferRate.h"
#include "platform/IClock.h"
#include "upgrade/ProgressState.h"

#include <cstdint>
#include <string>

class CliProgress final : public ProgressState {
public:
    CliProgress(ConsoleOutput& output, platform::IClock& clock, std::int64_t plainIntervalUs = 5'000'000)
        : output_(output), clock_(clock), plainIntervalUs_(plainIntervalUs) {}

    static constexpr const char* kTerminalCompleted = "Download completed.";
    static constexpr const char* kTerminalFailed = "Download failed.";

    // Prints the initial status line; call before the worker starts.
    void begin();
    void refresh() override;
    bool showFinished(int code) override;

    // "boot file  [#####-----]  123K of 600K  3.8 KB/s  2:05 left"; bytesPerSecond < 0 when not
    // yet known (rate and time left are then left out); no bar when barWidth is 0.
    static std::string formatLine(const std::string& label, std::int32_t sentK, std::int32_t totalK,
                                  double bytesPerSecond, int barWidth);

private:
    struct Phase : TransferRate {
        std::int64_t lastPrintUs = -1;
    };
    void showCount(Phase& phase, const char* label, const std::string& text, std::int32_t sentK,
                   std::int32_t totalK);

    ConsoleOutput& output_;
    platform::IClock& clock_;
    std::int64_t plainIntervalUs_;
    std::string lastStatus_;
    Phase boot_;
    Phase code_;
};
