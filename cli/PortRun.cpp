#include "cli/PortRun.h"

#include "cli/LineTap.h"
#include "cli/TransferRate.h"
#include "platform/Platform.h"
#include "upgrade/UpgradeMessages.h"
#include "upgrade/UpgradeWorker.h"
#include "verify/Verification.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace {

PortEvent make(PortEvent::Kind kind, std::string text = {}, std::string detail = {}, int code = 0)
{
    PortEvent e;
    e.kind = kind;
    e.text = std::move(text);
    e.detail = std::move(detail);
    e.code = code;
    return e;
}

std::int64_t fileSize(const std::string& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

// The worker's and the sender's reports, as events: each new status line, each new count with
// its rate since the file's "Downloading ..." status.
class EventProgress final : public ProgressState {
public:
    EventProgress(IPortEvents& sink, platform::IClock& clock) : sink_(sink), clock_(clock) {}

    void refresh() override
    {
        if (statusText != lastStatus_) {
            lastStatus_ = statusText;
            sink_.event(make(PortEvent::Kind::Status, statusText));
            if (statusText == kStatusBootDownload)
                boot_.startUs = clock_.nowUs();
            else if (statusText == kStatusCodeDownload)
                code_.startUs = clock_.nowUs();
            else if (statusText == kStatusBootDone)
                bootDone = true;
        }
        if (bootPhase)
            count(boot_, "boot", bootProgressText, bootSentK, bootTotalK);
        else
            count(code_, "code", codeProgressText, codeSentK, codeTotalK);
    }
    bool showFinished(int code) override
    {
        setVerdict(code);
        return true;
    }

    bool bootDone = false;

private:
    void count(TransferRate& phase, const char* file, const std::string& text, std::int32_t sentK, std::int32_t totalK)
    {
        PortEvent e = make(PortEvent::Kind::Count, file);
        if (!phase.update(text, sentK, clock_.nowUs(), e.rate))
            return;
        e.sentK = sentK;
        e.totalK = totalK;
        sink_.event(e);
    }

    IPortEvents& sink_;
    platform::IClock& clock_;
    std::string lastStatus_;
    TransferRate boot_, code_;
};

// Message boxes need no answer here: each is an event, and the run goes on at once.
class EventNotifier final : public platform::IUserNotifier {
public:
    explicit EventNotifier(IPortEvents& sink) : sink_(sink) {}
    int messageBox(const std::string& text, unsigned) override
    {
        sink_.event(make(PortEvent::Kind::Message, text));
        return platform::IDOK;
    }
    void beep(unsigned) override {}
    void note(const std::string& text) override { sink_.event(make(PortEvent::Kind::Message, text)); }

private:
    IPortEvents& sink_;
};

// The run's waits count as signs of life, like its serial calls.
class ActivityClock final : public platform::IClock {
public:
    ActivityClock(platform::IClock& inner, LineTap& tap) : inner_(inner), tap_(tap) {}
    std::int64_t nowUs() override { return inner_.nowUs(); }
    void sleepMs(std::int64_t ms) override
    {
        inner_.sleepMs(ms);
        tap_.mark();
    }

private:
    platform::IClock& inner_;
    LineTap& tap_;
};

// Events written as lines; the run's thread and nobody else writes, but a lock keeps lines
// whole should that change.
class LineSink final : public IPortEvents {
public:
    explicit LineSink(std::FILE* out) : out_(out) {}
    void event(const PortEvent& e) override
    {
        std::lock_guard lock(mutex_);
        std::fprintf(out_, "%s\n", e.encode().c_str());
        std::fflush(out_);
    }

private:
    std::FILE* out_;
    std::mutex mutex_;
};

constexpr std::int64_t kAliveIntervalUs = 1'000'000;

}  // namespace

void copyChoices(const UpgradeSettings& from, UpgradeSettings& to)
{
    to.eraseConfig = from.eraseConfig;
    to.fastDownload = from.fastDownload;
    to.nonInteractive = from.nonInteractive;
    to.programSize = from.programSize;
    to.verifyFirst = from.verifyFirst;
    to.comPort = from.comPort;
    to.newVersion = from.newVersion;
    to.username = from.username;
    to.password = from.password;
    to.bootFile = from.bootFile;
    to.codeFile = from.codeFile;
}

int runPort(const UpgradeSettings& choices, const PortRunOptions& options, IPortEvents& sink)
{
    platform::IClock& realClock = platform::clock();
    LineTap tap(*platform::services().serial, realClock, options.transcriptPath, choices.password);
    std::int64_t lastAliveUs = realClock.nowUs();
    tap.onMark = [&] {
        const std::int64_t now = tap.lastActivityUs();
        if (now - lastAliveUs >= kAliveIntervalUs) {
            lastAliveUs = now;
            sink.event(make(PortEvent::Kind::Alive));
        }
    };
    ActivityClock clock(realClock, tap);
    EventNotifier notifier(sink);
    platform::InlineThreadStarter threads;
    const platform::ScopedThreadPlatform scope({&clock, &tap, &notifier, &threads});

    UpgradeSettings settings;
    copyChoices(choices, settings);
    // Verification and upgrade stay on the device the port stands for now.
    const platform::ResolvedPort port = sessionPort(settings);
    sink.event(make(PortEvent::Kind::Device, tap.describe(port.openPath)));

    int code = 0;
    EventProgress progress(sink, clock);
    bool upgraded = false;
    if (settings.verifyFirst) {
        sink.event(make(PortEvent::Kind::Status, "Verifying the Tarvel on " + settings.comPort + ", this may take a minute..."));
        code = runVerification(settings);
        settings.verifyResult = code;
        if (code != 0)
            sink.event(make(PortEvent::Kind::Verdict, verificationFailedLine(settings), verificationReason(code, settings), code));
        else
            sink.event(make(PortEvent::Kind::Message, verificationPassedText(settings)));
    }
    if (code == 0 && options.verifyOnly) {
        sink.event(make(PortEvent::Kind::Verdict, "Verified.", {}, 0));
    } else if (code == 0) {
        upgraded = true;
        sink.event(make(PortEvent::Kind::Status, progress.statusText));
        // This run's own parameter record: other runs of the process have theirs.
        UpgradeThreadParams params{&settings, &progress, port};
        upgradeThreadProc(&params);
        code = settings.upgradeResult.load();
        if (code == 0)
            sink.event(make(PortEvent::Kind::Verdict, upgradeCompletedLine(settings), {}, 0));
        else
            sink.event(make(PortEvent::Kind::Verdict, upgradeFailedLine(settings), upgradeFailureDetails(code, settings), code));
    }

    PortEvent stats = make(PortEvent::Kind::Stats);
    stats.bytesOut = tap.bytesOut();
    stats.bytesIn = tap.bytesIn();
    stats.resyncs = tap.resyncs();
    if (upgraded) {
        const ProgressValues v = progress.values();
        stats.fileBytes = progress.bootDone ? fileSize(settings.bootFile) : std::int64_t{v.bootSentK} * 1024;
        stats.fileBytes += code == 0 ? fileSize(settings.codeFile) : std::int64_t{v.codeSentK} * 1024;
    }
    sink.event(stats);
    sink.event(make(PortEvent::Kind::Ended, {}, {}, code));
    return code;
}

int runPortChild(const UpgradeSettings& choices, const PortRunOptions& options, std::FILE* out)
{
    LineSink sink(out);
    return runPort(choices, options, sink);
}
