#include "upgrade/UpgradeWorker.h"

#include "platform/Platform.h"
#include "serial/CUpgradeConsole.h"
#include "zmodem/CZModemSender.h"

#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

namespace {

constexpr std::uint32_t kConsoleBaud = 38400;
constexpr std::uint32_t kFastBaud = 115200;

void show(ProgressState& dialog, const char* text)
{
    dialog.statusText = text;
    dialog.refresh();
}

// Announces a transfer: 0, or the result code of the failed step.
int startTransfer(CUpgradeConsole& console, const UpgradeSettings& settings)
{
    if (!settings.fastDownload)
        return console.startDownload() ? 0 : 3;
    if (!console.startFastDownload())
        return 3;
    return console.reopen(settings.comPort, kFastBaud);
}

// The bar of the phase just finished ends full and its count shows the file's own size.
// The counts of the file's size are used rather than the bar's maximum because a file too
// small for any report during the transfer would otherwise end as "100K of 0K".
void fillBar(CZModemSender& sender, const std::string& path, std::int32_t totalK)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size <= static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()))
        sender.reportProgress(static_cast<std::int32_t>(size));
    else
        sender.reportProgress(totalK * 1024);
}

int runSteps(CUpgradeConsole& console, std::optional<CZModemSender>& sender,
             const UpgradeSettings& settings, ProgressState& dialog)
{
    int code = console.enterCommandMode(settings.comPort, settings.username, settings.password);
    if (code != 0)
        return code;

    if (settings.eraseConfig) {
        show(dialog, kStatusErasing);
        if (!console.eraseConfiguration())
            return 3;
    } else {
        show(dialog, kStatusPreparingFlash);
        if (!console.prepareFlash())
            return 3;
    }

    if ((code = startTransfer(console, settings)) != 0)
        return code;
    show(dialog, kStatusBootDownload);
    sender.emplace(&console, &dialog);
    platform::sleepMs(1000);
    // Only 0 is success: any other value is a failure, not just the sender's -1.
    if (sender->sendFile(settings.bootFile) != 0)
        return 7;
    fillBar(*sender, settings.bootFile, dialog.bootTotalK);

    if ((code = console.reopen(settings.comPort, kConsoleBaud)) != 0)
        return code;
    dialog.bootPhase = false;
    show(dialog, kStatusBootDone);
    platform::sleepMs(15000);

    if ((code = startTransfer(console, settings)) != 0)
        return code;
    show(dialog, kStatusCodeDownload);
    platform::sleepMs(1000);
    if (sender->sendFile(settings.codeFile) != 0)
        return 8;
    fillBar(*sender, settings.codeFile, dialog.codeTotalK);
    return 0;
}

}  // namespace

unsigned upgradeThreadProc(void* parameter)
{
    if (!parameter)
        return 0;
    const UpgradeThreadParams params = *static_cast<UpgradeThreadParams*>(parameter);
    if (!params.settings || !params.dialog)
        return 0;
    UpgradeSettings& settings = *params.settings;
    ProgressState& dialog = *params.dialog;

    // Declared before the sender so that the sender goes first; the console's destruction at
    // the end closes the port, after the verdict has been shown.
    CUpgradeConsole console;
    std::optional<CZModemSender> sender;
    const int code = runSteps(console, sender, settings, dialog);

    settings.upgradeResult.store(code);
    settings.upgradeDone.store(true);
    dialog.showFinished(code);
    return static_cast<unsigned>(code);
}

UpgradeThreadParams& upgradeThreadParams()
{
    static UpgradeThreadParams params;
    return params;
}

bool startUpgradeThread(UpgradeSettings& settings, ProgressState& dialog)
{
    UpgradeThreadParams& params = upgradeThreadParams();
    params.settings = &settings;
    params.dialog = &dialog;
    return platform::services().threads->start(&upgradeThreadProc, &params);
}
