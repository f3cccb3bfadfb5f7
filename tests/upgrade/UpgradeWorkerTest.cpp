// The upgrade worker against the virtual module on virtual time: whole runs in both speeds,
// the erase choice, every failure code, and what the progress target has seen at each point.
// upgradeThreadProc runs on the test's own thread.
#include "upgrade/UpgradeWorker.h"

#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "upgrade/RecordingProgress.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

namespace {

namespace fs = std::filesystem;

const std::string kEsc3 = "\x1b\x1b\x1b";
const std::string kZrqinit = "**\x18" "B00000000000000";  // hex ZRQINIT, header bytes 0
const std::string kZfin = "**\x18" "B0800000000";          // hex ZFIN

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(gen());
    return v;
}

struct Timed {
    std::int64_t atUs;
    RecordingProgress::Snapshot s;
};

class WorkerRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("tarvel-worker-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        bootData = randomBytes(70'000, 1);
        codeData = randomBytes(150'001, 2);
        settings.bootFile = write("tarvelboot.dmf", bootData);
        settings.codeFile = write("tarvel.dmf", codeData);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& data)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                 static_cast<std::streamsize>(data.size()));
        return p.string();
    }

    // Builds the harness: the module with a ZModem receiver on the shared store.
    void makeModule(sim::ModuleConfig cfg = {}, sim::ZModemReceiverOptions receiver = {})
    {
        cfg.receiver = sim::ZModemReceiver::factory(receiver, store);
        harness = std::make_unique<test::ModuleHarness>(std::move(cfg), &threads);
        progress.onRecord = [this](const RecordingProgress::Snapshot& s) {
            timeline.push_back({harness->nowUs(), s});
            if (s.finished) {
                doneAtFinish = settings.upgradeDone.load();
                resultAtFinish = settings.upgradeResult.load();
            }
            if (onSnapshot)
                onSnapshot(s);
        };
    }

    unsigned run()
    {
        UpgradeThreadParams params{&settings, &progress};
        return upgradeThreadProc(&params);
    }

    // Status lines shown by refreshes, consecutive repeats folded.
    std::vector<std::string> statusLines() const
    {
        std::vector<std::string> out;
        for (const auto& t : timeline)
            if (!t.s.finished && (out.empty() || out.back() != t.s.statusText))
                out.push_back(t.s.statusText);
        return out;
    }
    std::int64_t firstTimeOfStatus(const char* status) const
    {
        for (const auto& t : timeline)
            if (t.s.statusText == status)
                return t.atUs;
        return -1;
    }
    // The console bytes outside the two ZModem sessions: before the first, between them, after
    // the second.
    std::vector<std::string> consoleSegments() const
    {
        const std::string all = harness->hostText();
        std::vector<std::string> out;
        std::size_t from = 0;
        for (;;) {
            const std::size_t start = all.find(kZrqinit, from);
            out.push_back(all.substr(from, start == std::string::npos ? std::string::npos : start - from));
            if (start == std::string::npos)
                return out;
            const std::size_t fin = all.find(kZfin, start);
            const std::size_t oo = fin == std::string::npos ? std::string::npos : all.find("OO", fin);
            if (oo == std::string::npos)
                return out;
            from = oo + 2;
        }
    }
    // Both bars as (sent, total, text) of boot, then of code.
    using Bars = std::tuple<int, int, std::string, int, int, std::string>;
    static Bars bars(const RecordingProgress::Snapshot& s)
    {
        return {s.bootSentK, s.bootTotalK, s.bootProgressText, s.codeSentK, s.codeTotalK, s.codeProgressText};
    }
    void expectUntouchedBars(const RecordingProgress::Snapshot& s) { EXPECT_EQ(bars(s), Bars(0, 100, "", 0, 100, "")); }
    void failOpen(test::ModuleHarness& h)
    {
        sim::LineFaults f;
        f.failOpen = true;
        h.line.setFaults(f);
    }
    void runEndsWith(int code)
    {
        EXPECT_EQ(run(), static_cast<unsigned>(code));
        expectFinishedWith(code);
    }
    void expectFinishedWith(int code)
    {
        EXPECT_EQ(settings.upgradeResult.load(), code);
        EXPECT_TRUE(settings.upgradeDone.load());
        ASSERT_EQ(progress.finishedCount(), 1u);
        const auto last = progress.snapshots().back();
        EXPECT_TRUE(last.finished);
        EXPECT_EQ(last.code, code);
        EXPECT_EQ(last.statusText, code == 0 ? ProgressState::kCompleted : ProgressState::kFailed);
        // The worker's stores come before the verdict.
        EXPECT_TRUE(doneAtFinish);
        EXPECT_EQ(resultAtFinish, code);
    }
    void expectBothFilesIntact()
    {
        const auto files = store->files();
        ASSERT_EQ(files.size(), 2u);
        for (const auto& [f, name, data] : {std::tie(files[0], settings.bootFile, bootData),
                                             std::tie(files[1], settings.codeFile, codeData)}) {
            EXPECT_EQ(f.name, name);
            EXPECT_TRUE(f.complete);
            EXPECT_EQ(f.data, data);
        }
    }
    void expectFullBars()
    {
        const auto last = progress.snapshots().back();
        EXPECT_EQ(bars(last), Bars(68, 68, "68K of 68K", 146, 146, "146K of 146K"));
        EXPECT_FALSE(last.bootPhase);
    }

    fs::path dir;
    std::vector<std::uint8_t> bootData, codeData;
    platform::InlineThreadStarter threads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    UpgradeSettings settings;
    RecordingProgress progress;
    std::vector<Timed> timeline;
    std::function<void(const RecordingProgress::Snapshot&)> onSnapshot;
    bool doneAtFinish = false;
    int resultAtFinish = -100;
};

}  // namespace

TEST_F(WorkerRun, NormalModeSendsBothFilesAt38400AndWaitsBeforeAndBetweenThem)
{
    makeModule();
    runEndsWith(0);
    expectBothFilesIntact();
    expectFullBars();

    const auto segments = consoleSegments();
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0], "\r\rreboot\rYes\r" + kEsc3 + "AT{P}\rAT{Z}\r");
    EXPECT_EQ(segments[1], "AT{Z}\r");
    EXPECT_EQ(segments[2], "");
    EXPECT_EQ(harness->count("AT{.}"), 0u);
    EXPECT_EQ(harness->line.openSpeeds(), (std::vector<std::uint32_t>{38400, 38400}));

    EXPECT_EQ(statusLines(), (std::vector<std::string>{kStatusPreparingFlash, kStatusBootDownload,
                                                       kStatusBootDone, kStatusCodeDownload}));
    // Boot progress went to the boot bar only, code progress to the code bar only.
    for (const auto& t : timeline) {
        if (t.s.bootPhase)
            EXPECT_EQ(t.s.codeProgressText, "");
        else
            EXPECT_EQ(t.s.bootProgressText, "68K of 68K");
    }
    EXPECT_TRUE(harness->notifier.texts().empty());

    // 1 s from the boot download's status line to the sender's first byte (one paced byte time
    // at 38,400 bps: 260 us); 15 s after the boot success line before the code transfer is
    // announced; 1 s again before the code file.
    const std::int64_t perByte = 260;
    EXPECT_EQ(harness->timeOf(kZrqinit, 0) - firstTimeOfStatus(kStatusBootDownload), 1'000'000 + perByte);
    EXPECT_GE(harness->timeOf("AT{Z}\r", 1) - firstTimeOfStatus(kStatusBootDone), 15'000'000);
    EXPECT_EQ(harness->timeOf(kZrqinit, 1) - firstTimeOfStatus(kStatusCodeDownload), 1'000'000 + perByte);
}

TEST_F(WorkerRun, FastModeReopensAt115200ForEachTransfer)
{
    settings.fastDownload = true;
    makeModule();
    runEndsWith(0);
    expectBothFilesIntact();
    expectFullBars();
    const auto segments = consoleSegments();
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0], "\r\rreboot\rYes\r" + kEsc3 + "AT{P}\rAT{.}\r");
    EXPECT_EQ(segments[1], "AT{.}\r");
    EXPECT_EQ(harness->count("AT{Z}"), 0u);
    EXPECT_EQ(harness->line.openSpeeds(), (std::vector<std::uint32_t>{38400, 115200, 38400, 115200}));
}

TEST_F(WorkerRun, EraseReplacesTheFlashPreparation)
{
    settings.eraseConfig = true;
    makeModule();
    runEndsWith(0);
    expectBothFilesIntact();
    EXPECT_EQ(harness->count("AT{P}\r"), 0u);
    EXPECT_EQ(harness->count("AT{E}\r"), 1u);
    EXPECT_EQ(statusLines().front(), kStatusErasing);
    EXPECT_EQ(harness->module.stats().configErased, 1);
}

TEST_F(WorkerRun, PortHeldByAnotherProgramFailsWithOneBeforeAnyTransfer)
{
    makeModule();
    failOpen(*harness);
    runEndsWith(1);
    EXPECT_EQ(harness->notifier.texts(), (std::vector<std::string>{"Unable to gain access to the COM port."}));
    EXPECT_EQ(harness->hostText(), "");
    ASSERT_EQ(progress.snapshots().size(), 1u);  // only the verdict
    expectUntouchedBars(progress.snapshots().back());
}

TEST_F(WorkerRun, WrongLoginFailsWithTwoAndNothingFollows)
{
    sim::ModuleConfig cfg;
    cfg.start = sim::ConsoleStart::LoggedOut;
    settings.username = "admin";
    settings.password = "wrong";
    makeModule(cfg);
    runEndsWith(2);
    for (const std::string& later : {std::string("reboot"), std::string("\x1b"), std::string("AT{"), kZrqinit})
        EXPECT_EQ(harness->count(later), 0u) << later;
    expectUntouchedBars(progress.snapshots().back());
    EXPECT_TRUE(store->files().empty());
}

TEST_F(WorkerRun, CommandModeNeverReachedFailsWithThree)
{
    sim::ModuleConfig cfg;
    cfg.ignoreEscape = true;  // the restart cannot be interrupted
    makeModule(cfg);
    runEndsWith(3);
    EXPECT_GE(harness->count(kEsc3), 1u);  // the escapes are repeated while it keeps initialising
    EXPECT_EQ(harness->count("AT{P}"), 0u);
    expectUntouchedBars(progress.snapshots().back());
}

TEST_F(WorkerRun, BootTransferFailureIsSevenAndTheCodeFileIsNeverSent)
{
    settings.bootFile = (dir / "missing-tarvelboot.dmf").string();
    makeModule();
    runEndsWith(7);
    EXPECT_EQ(harness->notifier.texts(),
              (std::vector<std::string>{"Error:Failed to open " + settings.bootFile, "Error:ZModem transfer failed."}));
    EXPECT_EQ(harness->count(kZrqinit), 1u);
    EXPECT_EQ(harness->line.openSpeeds().size(), 1u);  // no reopen after a failed boot transfer
    for (const auto& f : store->files())
        EXPECT_NE(f.name, settings.codeFile);
    EXPECT_EQ(statusLines().back(), kStatusBootDownload);
}

TEST_F(WorkerRun, RefusedBootFileGivesSevenAndTheReattemptNeedsNoRestart)
{
    sim::ModuleConfig cfg;
    cfg.refuseTransfers = 1;
    makeModule(cfg);
    runEndsWith(7);
    EXPECT_EQ(harness->notifier.texts(), (std::vector<std::string>{"Error:Unable to initialize ZModem transfer."}));
    EXPECT_EQ(harness->module.stats().downloadsRefused, 1);

    // The failed run left the module in command mode (back there flashWriteUs after the refusal):
    // the re-attempt goes straight to the flash preparation once the module has said so again,
    // and completes.
    const std::int64_t againUs = harness->nowUs();
    harness->line.clearRecords();
    RecordingProgress second;
    UpgradeThreadParams params{&settings, &second};
    EXPECT_EQ(upgradeThreadProc(&params), 0u);
    EXPECT_EQ(settings.upgradeResult.load(), 0);
    EXPECT_EQ(consoleSegments().front(), "\rAT{P}\rAT{Z}\r");
    EXPECT_LT(harness->timeOf("AT{P}\r") - againUs, cfg.flashWriteUs + cfg.commandModeRepeatUs + 1'000'000);
    EXPECT_EQ(harness->module.stats().restarts, 1);
    expectBothFilesIntact();
}

TEST_F(WorkerRun, CodeTransferFailureIsEightAfterAGoodBootFile)
{
    settings.codeFile = (dir / "missing-tarvel.dmf").string();
    makeModule();
    runEndsWith(8);
    const auto files = store->files();
    ASSERT_GE(files.size(), 1u);
    EXPECT_EQ(files[0].data, bootData);
    EXPECT_EQ(bars(progress.snapshots().back()), Bars(68, 68, "68K of 68K", 0, 100, ""));
}

TEST_F(WorkerRun, FailedReopenAfterTheBootFileGivesOne)
{
    makeModule();
    // Once the boot transfer is under way, nobody else can open the port any more.
    onSnapshot = [this](const RecordingProgress::Snapshot& s) {
        if (!s.bootProgressText.empty())
            failOpen(*harness);
    };
    runEndsWith(1);
    EXPECT_EQ(harness->notifier.texts(), (std::vector<std::string>{"Unable to gain access to the COM port."}));
    EXPECT_EQ(harness->count(kZrqinit), 1u);
    EXPECT_EQ(statusLines().back(), kStatusBootDownload);
}

TEST_F(WorkerRun, SmallFilesEndWithTheirOwnSizeOnTheBar)
{
    bootData = randomBytes(3000, 3);   // too small for a report during the transfer
    codeData = randomBytes(500, 4);
    settings.bootFile = write("tarvelboot.dmf", bootData);
    settings.codeFile = write("tarvel.dmf", codeData);
    makeModule();
    ASSERT_EQ(run(), 0u);
    expectBothFilesIntact();
    EXPECT_EQ(bars(progress.snapshots().back()), Bars(2, 2, "2K of 2K", 0, 0, "0K of 0K"));
}

TEST(UpgradeThread, StartsThroughThePlatformAndIgnoresANullParameter)
{
    EXPECT_EQ(upgradeThreadProc(nullptr), 0u);
    UpgradeThreadParams empty;
    EXPECT_EQ(upgradeThreadProc(&empty), 0u);

    sim::ModuleConfig cfg;
    cfg.silent = true;
    platform::InlineThreadStarter inlineThreads;
    test::ModuleHarness harness(cfg, &inlineThreads);
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
