#include "upgrade/UpgradeWorker.h"

#include "platform/Platform.h"
#include "serial/CUpgradeConsole.h"
#include "zmodem/CZModemSender.h"

namespace {

constexpr std::uint32_t kConsoleBaud = 38400;
constexpr std::uint32_t kFastBaud = 115200;

void show(ProgressState& dialog, const char* text)
{
    dialog.statusText = text;
    dialog.refresh();
}

// Announces a transfer: 0, or the result code of the failed step.
int startTransfer(CUpgradeConsole& console, const UpgradeSettings& settings, const std::string& port)
{
    if (!settings.fastDownload)
        return console.startDownload() ? 0 : 3;
    if (!console.startFastDownload())
        return 3;
    return console.reopen(port, kFastBaud);
}

// The bar of the phase just finished ends full and its count shows the file's own size (as the
// sender took it from the open file). The size is used rather than the bar's maximum because a
// file too small for any report during the transfer would otherwise end as "100K of 0K".
void fillBar(CZModemSender& sender, std::int32_t totalK)
{
    const std::int32_t size = sender.currentFileSize();
    sender.reportProgress(size >= 0 ? size : totalK * 1024);
}

int runSteps(CUpgradeConsole& console, CZModemSender& sender, const UpgradeSettings& settings,
             const std::string& port, ProgressState& dialog)
{
    // A restarted module with its flash prepared waits in its transfer: nothing of that for a
    // file that could not be sent anyway.
    if (sender.checkFile(settings.bootFile) != 0)
        return 7;
    if (sender.checkFile(settings.codeFile) != 0)
        return 8;

    int code = console.enterCommandMode(port, settings.username, settings.password);
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

    if ((code = startTransfer(console, settings, port)) != 0)
        return code;
    show(dialog, kStatusBootDownload);
    platform::sleepMs(1000);
    // Only 0 is success: any other value is a failure, not just the sender's -1.
    if (sender.sendFile(settings.bootFile) != 0)
        return 7;
    fillBar(sender, dialog.bootTotalK);

    if ((code = console.reopen(port, kConsoleBaud)) != 0)
        return code;
    dialog.bootPhase = false;
    show(dialog, kStatusBootDone);
    platform::sleepMs(15000);

    if ((code = startTransfer(console, settings, port)) != 0)
        return code;
    show(dialog, kStatusCodeDownload);
    platform::sleepMs(1000);
    if (sender.sendFile(settings.codeFile) != 0)
        return 8;
    fillBar(sender, dialog.codeTotalK);
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
    CZModemSender sender(&console, &dialog);
    const std::string port = params.port.name.empty() ? platform::services().serial->resolve(settings.comPort).openPath
                                                      : params.port.openPath;
    const int code = runSteps(console, sender, settings, port, dialog);

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
    params.port = sessionPort(settings);
    return platform::services().threads->start(&upgradeThreadProc, &params);
}
