// The upgrade worker against the virtual module on virtual time: whole runs in each mode, every
// failure code, and what the progress target has seen at each point. upgradeThreadProc runs on
// the test's own thread.
#include "upgrade/UpgradeWorker.h"

#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "support/TempDir.h"
#include "upgrade/RecordingProgress.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const std::string kEsc3 = "\x1b\x1b\x1b";
const std::string kZrqinit = "**\x18" "B00000000000000";  // hex ZRQINIT, header bytes 0
const std::string kZfin = "**\x18" "B0800000000";          // hex ZFIN
const std::string kAccess = "Unable to gain access to the COM port.";

// Both bars as (sent, total, text) of boot, then of code.
using Bars = std::tuple<int, int, std::string, int, int, std::string>;
Bars bars(const RecordingProgress::Snapshot& s)
{
    return {s.bootSentK, s.bootTotalK, s.bootProgressText, s.codeSentK, s.codeTotalK, s.codeProgressText};
}
const Bars kUntouched(0, 100, "", 0, 100, "");
const Bars kFull(68, 68, "68K of 68K", 146, 146, "146K of 146K");

class WorkerRun : public ::testing::Test {
protected:
    test::TempDir dir{"worker"};
    std::string boot = test::randomText(70'000, 1), code = test::randomText(150'001, 2);
    platform::InlineThreadStarter threads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    UpgradeSettings settings;
    std::unique_ptr<RecordingProgress> progress;  // a fresh one for each run
    std::vector<std::pair<std::int64_t, RecordingProgress::Snapshot>> timeline;
    std::function<void(const RecordingProgress::Snapshot&)> onSnapshot;

    void SetUp() override
    {
        settings.bootFile = dir.put("tarvelboot.dmf", boot);
        settings.codeFile = dir.put("tarvel.dmf", code);
    }
    // Runs the worker against a module with a ZModem receiver on the shared store, and checks
    // the verdict: shown once, last, after the worker's stores.
    void runEndsWith(int expected, sim::ModuleConfig cfg = {}, const sim::LineFaults& faults = {})
    {
        timeline.clear();
        progress = std::make_unique<RecordingProgress>();
        store = std::make_shared<sim::ReceivedFiles>();
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness.reset();
        harness = std::make_unique<test::ModuleHarness>(std::move(cfg), &threads);
        harness->line.setFaults(faults);
        progress->onRecord = [this, expected](const RecordingProgress::Snapshot& s) {
            timeline.emplace_back(harness->nowUs(), s);
            if (s.finished) {
                EXPECT_TRUE(settings.upgradeDone.load());
                EXPECT_EQ(settings.upgradeResult.load(), expected);
            }
            if (onSnapshot)
                onSnapshot(s);
        };
        UpgradeThreadParams params{&settings, progress.get()};
        EXPECT_EQ(upgradeThreadProc(&params), static_cast<unsigned>(expected));
        ASSERT_EQ(progress->finishedCount(), 1u);
        EXPECT_TRUE(last().finished);
        EXPECT_EQ(last().code, expected);
        EXPECT_EQ(last().statusText, expected == 0 ? ProgressState::kCompleted : ProgressState::kFailed);
    }
    RecordingProgress::Snapshot last() const { return progress->snapshots().back(); }
    // Status lines shown by refreshes, consecutive repeats folded.
    std::vector<std::string> statusLines() const
    {
        std::vector<std::string> out;
        for (const auto& [at, s] : timeline)
            if (!s.finished && (out.empty() || out.back() != s.statusText))
                out.push_back(s.statusText);
        return out;
    }
    std::int64_t firstTimeOfStatus(const char* status) const
    {
        for (const auto& [at, s] : timeline)
            if (s.statusText == status)
                return at;
        return -1;
    }
    // The console bytes outside the ZModem sessions: before the first, between, after the last.
    std::vector<std::string> consoleSegments() const
    {
        const std::string all = harness->hostText();
        std::vector<std::string> out;
        for (std::size_t from = 0;;) {
            const std::size_t start = all.find(kZrqinit, from);
            out.push_back(all.substr(from, start == std::string::npos ? std::string::npos : start - from));
            const std::size_t fin = start == std::string::npos ? start : all.find(kZfin, start);
            const std::size_t oo = fin == std::string::npos ? fin : all.find("OO", fin);
            if (oo == std::string::npos)
                return out;
            from = oo + 2;
        }
    }
    std::vector<std::string> received() const
    {
        std::vector<std::string> files;
        for (const auto& f : store->files())
            files.push_back(f.name + (f.complete ? ": " : " (cut): ") + std::string(f.data.begin(), f.data.end()));
        return files;
    }
    std::vector<std::string> both() const
    {
        return {settings.bootFile + ": " + boot, settings.codeFile + ": " + code};
    }
};

}  // namespace

TEST_F(WorkerRun, EachModeSendsBothFilesWithItsCommandsAndSpeeds)
{
    struct Mode {
        bool fast, erase;
        std::string before, between;
        std::vector<std::uint32_t> speeds;
    };
    for (const Mode& m : {Mode{false, false, "AT{P}\rAT{Z}\r", "AT{Z}\r", {38400, 38400}},
                          Mode{true, false, "AT{P}\rAT{.}\r", "AT{.}\r", {38400, 115200, 38400, 115200}},
                          Mode{false, true, "AT{E}\r" + kEsc3 + "AT{Z}\r", "AT{Z}\r", {38400, 38400}}}) {
        SCOPED_TRACE(m.before);
        settings.fastDownload = m.fast, settings.eraseConfig = m.erase;
        runEndsWith(0);
        EXPECT_EQ(received(), both());
        EXPECT_EQ(bars(last()), kFull);
        EXPECT_FALSE(last().bootPhase);
        EXPECT_EQ(consoleSegments(), (std::vector<std::string>{"\r\rreboot\rYes\r" + kEsc3 + m.before, m.between, ""}));
        EXPECT_EQ(harness->line.openSpeeds(), m.speeds);
        EXPECT_EQ(harness->module.stats().configErased, m.erase ? 1 : 0);
        EXPECT_EQ(statusLines(), (std::vector<std::string>{m.erase ? kStatusErasing : kStatusPreparingFlash,
                                                           kStatusBootDownload, kStatusBootDone, kStatusCodeDownload}));
        EXPECT_TRUE(harness->notifier.texts().empty());
    }
    // Boot progress went to the boot bar only, code progress to the code bar only.
    for (const auto& [at, s] : timeline)
        EXPECT_EQ(s.bootPhase ? s.codeProgressText : s.bootProgressText, s.bootPhase ? "" : "68K of 68K");
    // 1 s from each download's status line to the sender's first byte (one paced byte at
    // 38,400 bps: 260 us); 15 s after the boot success line, and the 200 ms read of the command
    // prompt, until the code transfer's command.
    EXPECT_EQ(harness->timeOf(kZrqinit, 0) - firstTimeOfStatus(kStatusBootDownload), 1'000'260);
    EXPECT_EQ(harness->timeOf("AT{Z}\r", 1) - firstTimeOfStatus(kStatusBootDone), 15'200'260);
    EXPECT_EQ(harness->timeOf(kZrqinit, 1) - firstTimeOfStatus(kStatusCodeDownload), 1'000'260);
}

TEST_F(WorkerRun, EveryFailureEndsTheRunWithItsCode)
{
    const auto fault = [this](const char* atStatus, sim::LineFaults f) {
        return [=, this](const RecordingProgress::Snapshot& s) {
            if (s.statusText == atStatus && (atStatus != std::string(kStatusBootDownload) || !s.bootProgressText.empty()))
                harness->line.setFaults(f);
        };
    };
    sim::LineFaults held, deaf;
    held.failOpen = true;
    deaf.failRead = true;
    sim::ModuleConfig loggedOut, noEscape;
    loggedOut.start = sim::ConsoleStart::LoggedOut;
    noEscape.ignoreEscape = true;  // the restart cannot be interrupted
    const std::string missing = dir.file("missing.dmf");
    struct Case {
        const char* name;
        sim::ModuleConfig cfg;
        std::function<void(UpgradeSettings&)> set;
        std::function<void(const RecordingProgress::Snapshot&)> onSnapshot;
        sim::LineFaults faults;
        int code;
        std::vector<std::string> boxes, files;
        std::string lastStatus;
        Bars bars;
        std::size_t sessions;  // ZModem sessions begun: none after a failure
    };
    const Case cases[] = {
        {"port held by another program", {}, {}, nullptr, held, 1, {kAccess}, {}, "", kUntouched, 0},
        {"wrong login", loggedOut, [](UpgradeSettings& s) { s.password = "wrong"; }, nullptr, {}, 2, {}, {}, "",
         kUntouched, 0},
        {"command mode never reached", noEscape, nullptr, nullptr, {}, 3, {}, {}, kStatusPreparingFlash, kUntouched, 0},
        {"flash preparation unanswered", {}, nullptr, fault(kStatusPreparingFlash, deaf), {}, 3, {}, {},
         kStatusPreparingFlash, kUntouched, 0},
        {"erase unanswered", {}, [](UpgradeSettings& s) { s.eraseConfig = true; }, fault(kStatusErasing, deaf), {}, 3,
         {}, {}, kStatusErasing, kUntouched, 0},
        {"boot file missing", {}, [&](UpgradeSettings& s) { s.bootFile = missing; }, nullptr, {}, 7,
         {"Error:Failed to open " + missing, "Error:ZModem transfer failed."}, {}, kStatusBootDownload, kUntouched, 1},
        {"reopen after the boot file refused", {}, nullptr, fault(kStatusBootDownload, held), {}, 1, {kAccess},
         {dir.file("tarvelboot.dmf") + ": " + boot}, kStatusBootDownload, Bars(68, 68, "68K of 68K", 0, 100, ""), 1},
        {"code file missing", {}, [&](UpgradeSettings& s) { s.codeFile = missing; }, nullptr, {}, 8,
         {"Error:Failed to open " + missing, "Error:ZModem transfer failed."},
         {dir.file("tarvelboot.dmf") + ": " + boot}, kStatusCodeDownload, Bars(68, 68, "68K of 68K", 0, 100, ""), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.bootFile = dir.file("tarvelboot.dmf"), settings.codeFile = dir.file("tarvel.dmf");
        settings.username = "admin", settings.password = "tarvel", settings.eraseConfig = false;
        if (c.set)
            c.set(settings);
        onSnapshot = c.onSnapshot;
        runEndsWith(c.code, c.cfg, c.faults);
        EXPECT_EQ(harness->notifier.texts(), c.boxes);
        EXPECT_EQ(received(), c.files);
        EXPECT_EQ(statusLines().empty() ? "" : statusLines().back(), c.lastStatus);
        EXPECT_EQ(bars(last()), c.bars);
        EXPECT_EQ(harness->count(kZrqinit), c.sessions);
        if (c.faults.failOpen) {
            EXPECT_EQ(harness->hostText(), "");
            EXPECT_EQ(progress->snapshots().size(), 1u) << "only the verdict";
        }
    }
}

TEST_F(WorkerRun, RefusedBootFileGivesSevenAndTheReattemptNeedsNoRestart)
{
    sim::ModuleConfig cfg;
    cfg.refuseTransfers = 1;
    runEndsWith(7, cfg);
    EXPECT_EQ(harness->notifier.texts(), (std::vector<std::string>{"Error:Unable to initialize ZModem transfer."}));
    EXPECT_EQ(harness->module.stats().downloadsRefused, 1);

    // The failed run left the module in command mode (back there flashWriteUs after the refusal):
    // the re-attempt goes straight to the flash preparation once the module has said so again.
    const std::int64_t againUs = harness->nowUs();
    harness->line.clearRecords();
    RecordingProgress second;
    UpgradeThreadParams params{&settings, &second};
    EXPECT_EQ(upgradeThreadProc(&params), 0u);
    EXPECT_EQ(consoleSegments().front(), "\rAT{P}\rAT{Z}\r");
    EXPECT_LT(harness->timeOf("AT{P}\r") - againUs, cfg.flashWriteUs + cfg.commandModeRepeatUs + 1'000'000);
    EXPECT_EQ(harness->module.stats().restarts, 1);
    EXPECT_EQ(received(), both());
}

TEST_F(WorkerRun, SmallFilesEndWithTheirOwnSizeOnTheBar)
{
    boot = test::randomText(3000, 3);  // too small for a report during the transfer
    code = test::randomText(500, 4);
    settings.bootFile = dir.put("tarvelboot.dmf", boot);
    settings.codeFile = dir.put("tarvel.dmf", code);
    runEndsWith(0);
    EXPECT_EQ(received(), both());
    EXPECT_EQ(bars(last()), Bars(2, 2, "2K of 2K", 0, 0, "0K of 0K"));

}

TEST(UpgradeThread, StartsThroughThePlatformAndIgnoresANullParameter)
{
    EXPECT_EQ(upgradeThreadProc(nullptr), 0u);
    UpgradeThreadParams empty;
    EXPECT_EQ(upgradeThreadProc(&empty), 0u);

    platform::InlineThreadStarter inlineThreads;
    test::ModuleHarness harness({}, &inlineThreads);
    sim::LineFaults f;
    f.failOpen = true;
    harness.line.setFaults(f);
    UpgradeSettings settings;
    RecordingProgress progress;
    ASSERT_TRUE(startUpgradeThread(settings, progress));
    EXPECT_EQ(upgradeThreadParams().settings, &settings);
    EXPECT_EQ(upgradeThreadParams().dialog, &progress);
    EXPECT_TRUE(settings.upgradeDone.load());
    EXPECT_EQ(settings.upgradeResult.load(), 1);
}
