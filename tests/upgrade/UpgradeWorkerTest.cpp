// The upgrade worker against the virtual module on virtual time: whole runs in each mode, every
// failure code, and what the progress target has seen at each point. upgradeThreadProc runs on
// the test's own thread.
#include "upgrade/UpgradeWorker.h"

#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "support/TempDir.h"
#include "upgrade/RecordingProgress.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

namespace {

const std::string kEsc3 = "\x1b\x1b\x1b", kAccess = "Unable to gain access to the COM port.";
const std::string kZrqinit = "**\x18" "B00000000000000";  // hex ZRQINIT, header bytes 0
const std::string kZfin = "**\x18" "B0800000000";          // hex ZFIN

// Both bars as (sent, total, text) of boot, then of code.
using Bars = std::tuple<int, int, std::string, int, int, std::string>;
const Bars kUntouched(0, 100, "", 0, 100, ""), kBootOnly(68, 68, "68K of 68K", 0, 100, "");

class WorkerRun : public ::testing::Test {
protected:
    test::TempDir dir{"worker"};
    std::string boot, code;
    platform::InlineThreadStarter threads;
    std::shared_ptr<sim::ReceivedFiles> store;
    std::unique_ptr<test::ModuleHarness> harness;
    UpgradeSettings settings;
    std::unique_ptr<RecordingProgress> progress;  // a fresh one for each run
    std::vector<std::string> statuses;            // the status lines shown, in order
    std::map<std::string, std::int64_t> shownAt;  // when each was first shown
    std::function<void(const RecordingProgress::Snapshot&)> onSnapshot;

    void files(std::size_t bootSize, std::size_t codeSize)
    {
        settings.bootFile = dir.put("tarvelboot.dmf", boot = test::randomText(bootSize, 1));
        settings.codeFile = dir.put("tarvel.dmf", code = test::randomText(codeSize, 2));
    }
    void SetUp() override { files(70'000, 150'001); }
    // Runs the worker against a module with a ZModem receiver, and checks the verdict: shown
    // once, last, after the worker's stores; boot progress never reaches the code bar.
    void runEndsWith(int expected, sim::ModuleConfig cfg = {}, const sim::LineFaults& faults = {})
    {
        statuses.clear(), shownAt.clear();
        progress = std::make_unique<RecordingProgress>();
        cfg.receiver = sim::ZModemReceiver::factory({}, store = std::make_shared<sim::ReceivedFiles>());
        harness.reset();
        harness = std::make_unique<test::ModuleHarness>(std::move(cfg), &threads);
        harness->line.setFaults(faults);
        progress->onRecord = [this, expected](const RecordingProgress::Snapshot& s) {
            if (s.finished)
                EXPECT_TRUE(settings.upgradeDone.load() && settings.upgradeResult.load() == expected);
            else if (shownAt.emplace(s.statusText, harness->nowUs()).second)
                statuses.push_back(s.statusText);
            EXPECT_TRUE(!s.bootPhase || s.codeProgressText.empty());
            if (onSnapshot)
                onSnapshot(s);
        };
        UpgradeThreadParams params{&settings, progress.get(), {}};
        EXPECT_EQ(upgradeThreadProc(&params), static_cast<unsigned>(expected));
        ASSERT_EQ(progress->finishedCount(), 1u);
        EXPECT_TRUE(last().finished && last().code == expected);
        EXPECT_EQ(last().statusText, expected == 0 ? ProgressState::kCompleted : ProgressState::kFailed);
    }
    RecordingProgress::Snapshot last() const { return progress->snapshots().back(); }
    Bars bars() const
    {
        const auto s = last();
        return {s.bootSentK, s.bootTotalK, s.bootProgressText, s.codeSentK, s.codeTotalK, s.codeProgressText};
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
    // What the module received, as "name: content" (" (cut)" for an incomplete file, expected
    // only of the boot file with bootCut, and then holding its start).
    std::vector<std::string> received(bool codeToo = true, bool bootCut = false) const
    {
        std::vector<std::string> got, sent{settings.bootFile + ": " + boot, settings.codeFile + ": " + code};
        for (const auto& f : store->files())
            got.push_back(f.name + (f.complete ? ": " : " (cut): ") + std::string(f.data.begin(), f.data.end()));
        if (bootCut && !got.empty())
            sent[0] = settings.bootFile + " (cut): " + boot.substr(0, got[0].size() - settings.bootFile.size() - 8);
        EXPECT_EQ(got, std::vector<std::string>(sent.begin(), sent.begin() + (codeToo ? 2 : got.empty() ? 0 : 1)));
        return got;
    }
};

}  // namespace

TEST_F(WorkerRun, EachModeSendsBothFilesWithItsCommandsAndSpeeds)
{
    struct Mode { bool fast, erase; std::string before, between; std::vector<std::uint32_t> speeds;
                  std::size_t bootSize, codeSize; Bars bars; };
    const Bars full(68, 68, "68K of 68K", 146, 146, "146K of 146K");
    for (const Mode& m : {
             Mode{true, false, "AT{P}\rAT{.}\r", "AT{.}\r", {38400, 115200, 38400, 115200}, 70'000, 150'001, full},
             Mode{false, true, "AT{E}\r" + kEsc3 + "AT{Z}\r", "AT{Z}\r", {38400, 38400}, 70'000, 150'001, full},
             // Files too small for a report during their transfer end with their own sizes.
             Mode{false, false, "AT{P}\rAT{Z}\r", "AT{Z}\r", {38400, 38400}, 3000, 500, {2, 2, "2K of 2K", 0, 0, "0K of 0K"}}}) {
        SCOPED_TRACE(m.before + std::to_string(m.bootSize));
        settings.fastDownload = m.fast, settings.eraseConfig = m.erase;
        files(m.bootSize, m.codeSize);
        runEndsWith(0);
        received();
        EXPECT_EQ(bars(), m.bars);
        EXPECT_FALSE(last().bootPhase);
        EXPECT_EQ(consoleSegments(), (std::vector<std::string>{"\r\rreboot\rYes\r" + kEsc3 + m.before, m.between, ""}));
        EXPECT_EQ(harness->line.openSpeeds(), m.speeds);
        EXPECT_EQ(harness->module.stats().configErased, m.erase ? 1 : 0);
        EXPECT_EQ(statuses, (std::vector<std::string>{m.erase ? kStatusErasing : kStatusPreparingFlash,
                                                      kStatusBootDownload, kStatusBootDone, kStatusCodeDownload}));
        EXPECT_TRUE(harness->notifier.texts().empty());
    }
    // 1 s from each download's status line to the sender's first byte (one paced byte at
    // 38,400 bps: 260 us); 15 s after the boot success line, and the 200 ms read of the command
    // prompt, until the code transfer's command.
    EXPECT_EQ(harness->timeOf(kZrqinit, 0) - shownAt[kStatusBootDownload], 1'000'260);
    EXPECT_EQ(harness->timeOf("AT{Z}\r", 1) - shownAt[kStatusBootDone], 15'200'260);
    EXPECT_EQ(harness->timeOf(kZrqinit, 1) - shownAt[kStatusCodeDownload], 1'000'260);
}

TEST_F(WorkerRun, EveryFailureEndsTheRunWithItsCode)
{
    using OnSnapshot = std::function<void(const RecordingProgress::Snapshot&)>;
    // Faults of the line from the moment a status line is shown (the boot download's: once it is
    // under way).
    const auto fault = [this](const char* atStatus, sim::LineFaults f) -> OnSnapshot {
        return [=, this](const RecordingProgress::Snapshot& s) {
            if (s.statusText == atStatus && (atStatus != std::string(kStatusBootDownload) || !s.bootProgressText.empty()))
                harness->line.setFaults(f);
        };
    };
    sim::LineFaults held, deaf, cut;
    held.failOpen = true, deaf.failRead = true, cut.failRead = cut.failWrite = true;  // cut: the cable pulled
    sim::ModuleConfig loggedOut, noEscape;
    loggedOut.start = sim::ConsoleStart::LoggedOut, noEscape.ignoreEscape = true;  // the restart cannot be interrupted
    const std::string missing = dir.file("missing.dmf"), folder = dir.path().string();
    const std::vector<std::string> cannotOpen{"Error:Failed to open " + missing, "Error:ZModem transfer failed."};
    // sessions: the ZModem sessions begun (none after a failure); cause: the note after the box,
    // for a file that cannot be sent, which is found before any byte reaches the module.
    struct Case { const char* name; sim::ModuleConfig cfg; std::function<void(UpgradeSettings&)> set; OnSnapshot onSnapshot;
                  sim::LineFaults faults; int code; std::vector<std::string> boxes; bool bootReceived;
                  std::string lastStatus; Bars bars; std::size_t sessions; std::string cause; };
    const Case cases[] = {
        {"port held by another program", {}, {}, nullptr, held, 1, {kAccess}, false, "", kUntouched, 0, ""},
        {"wrong login", loggedOut, [](UpgradeSettings& s) { s.password = "wrong"; }, nullptr, {}, 2, {}, false, "", kUntouched, 0, ""},
        {"command mode never reached", noEscape, nullptr, nullptr, {}, 3, {}, false, kStatusPreparingFlash, kUntouched, 0, ""},
        {"flash preparation unanswered", {}, nullptr, fault(kStatusPreparingFlash, deaf), {}, 3, {}, false,
         kStatusPreparingFlash, kUntouched, 0, ""},
        {"erase unanswered", {}, [](UpgradeSettings& s) { s.eraseConfig = true; }, fault(kStatusErasing, deaf), {}, 3,
         {}, false, kStatusErasing, kUntouched, 0, ""},
        {"boot file missing", {}, [&](UpgradeSettings& s) { s.bootFile = missing; }, nullptr, {}, 7, cannotOpen, false,
         "", kUntouched, 0, "No such file: " + missing + "."},
        {"boot file a folder", {}, [&](UpgradeSettings& s) { s.bootFile = folder; }, nullptr, {}, 7,
         {"Error:Failed to read " + folder, "Error:ZModem transfer failed."}, false, "", kUntouched, 0,
         "Not a regular file: " + folder + "."},
        {"line cut during the boot transfer", {}, nullptr, fault(kStatusBootDownload, cut), {}, 7,
         {"Error:ZModem transfer failed."}, true, kStatusBootDownload, Bars(8, 68, "8K of 68K", 0, 100, ""), 1, ""},
        {"reopen after the boot file refused", {}, nullptr, fault(kStatusBootDownload, held), {}, 1, {kAccess}, true,
         kStatusBootDownload, kBootOnly, 1, ""},
        {"code file missing", {}, [&](UpgradeSettings& s) { s.codeFile = missing; }, nullptr, {}, 8, cannotOpen, false,
         "", kUntouched, 0, "No such file: " + missing + "."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files(70'000, 150'001);
        settings.username = "admin", settings.password = "tarvel", settings.eraseConfig = false;
        if (c.set)
            c.set(settings);
        onSnapshot = c.onSnapshot;
        runEndsWith(c.code, c.cfg, c.faults);
        EXPECT_EQ(harness->notifier.texts(), c.boxes);
        const bool bootCut = std::get<0>(c.bars) > 0 && std::get<0>(c.bars) < std::get<1>(c.bars);
        EXPECT_EQ(received(false, bootCut).size(), c.bootReceived ? 1u : 0u);
        EXPECT_EQ(statuses.empty() ? "" : statuses.back(), c.lastStatus);
        EXPECT_EQ(bars(), c.bars);
        EXPECT_EQ(harness->count(kZrqinit), c.sessions);
        EXPECT_TRUE(!c.faults.failOpen || (harness->hostText().empty() && progress->snapshots().size() == 1u));
        EXPECT_EQ(harness->notifier.notes(), c.cause.empty() ? std::vector<std::string>{} : std::vector{c.cause});
        EXPECT_TRUE(c.cause.empty() || harness->hostText().empty()) << "the module is untouched";
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
    UpgradeThreadParams params{&settings, &second, {}};
    EXPECT_EQ(upgradeThreadProc(&params), 0u);
    EXPECT_EQ(consoleSegments().front(), "\rAT{P}\rAT{Z}\r");
    EXPECT_LT(harness->timeOf("AT{P}\r") - againUs, cfg.flashWriteUs + cfg.commandModeRepeatUs + 1'000'000);
    EXPECT_EQ(harness->module.stats().restarts, 1);
    received();
}

TEST(UpgradeThreadProc, IgnoresANullParameterAndOneWithoutItsSettingsOrProgress)
{
    UpgradeThreadParams empty;
    EXPECT_EQ(upgradeThreadProc(nullptr) + upgradeThreadProc(&empty), 0u);
}
