// upgrade-cli end to end against the virtual module on virtual time: exit codes, what goes to
// each stream, and the agreement rules; and the progress display on its own, as the bytes it
// writes for a recorded sequence of reports.
#include "cli/CliProgress.h"
#include "cli/UpgradeCli.h"

#include "app/AgreementText.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "support/TempDir.h"
#include "upgrade/UpgradeMessages.h"
#include "upgrade/UpgradeWorker.h"
#include "verify/Verification.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <fstream>
#include <iterator>

namespace {

// A FILE* on a file of the test's folder (in-memory streams are POSIX only); take() closes it
// and returns what was written, byte for byte.
struct Capture {
    explicit Capture(std::string p) : path(std::move(p)), file(std::fopen(path.c_str(), "w+b")) {}
    std::string take()
    {
        std::fclose(file);
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string path;
    std::FILE* file;
};

struct Result {
    int code = -1;
    std::string out, err;
};

class CliRun : public ::testing::Test {
protected:
    test::TempDir dir{"cli"};
    const std::string boot = test::randomText(20'000, 1), code = test::randomText(30'000, 2);
    const std::string bootPath = dir.put("tarvelboot.dmf", boot), codePath = dir.put("tarvel.dmf", code);
    platform::InlineThreadStarter inlineThreads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;

    void makeModule(sim::ModuleConfig cfg = {}, platform::IThreadStarter* threads = nullptr)
    {
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness.reset();  // its platform goes before the next one comes
        harness = std::make_unique<test::ModuleHarness>(std::move(cfg), threads ? threads : &inlineThreads);
    }
    Result run(const std::vector<std::string>& args, const std::string& input = "", bool inTty = false,
               bool errTty = false, const std::string& program = "upgrade-cli")
    {
        Capture out(dir.file("out")), err(dir.file("err"));
        std::FILE* in = std::fopen(dir.put("in", input).c_str(), "rb");
        Result r;
        r.code = runUpgradeCli(args, {in, out.file, err.file, inTty, errTty, program});
        std::fclose(in);
        r.out = out.take();
        r.err = err.take();
        return r;
    }
    std::vector<std::string> upgradeArgs(std::vector<std::string> extra) const
    {
        extra.insert(extra.end(), {"-y", "-b", bootPath, "-c", codePath});
        return extra;
    }
};

}  // namespace

TEST_F(CliRun, HelpUsageErrorsAndTheAgreementTouchNothing)
{
    makeModule();
    EXPECT_EQ(run({"-h"}).out, kCliUsageText);
    // Installed under another name, the program calls itself by that name, options still aligned.
    const Result installed = run({"-h"}, "", false, false, "tarvel-upgrade-cli");
    EXPECT_EQ(installed.out.substr(0, installed.out.find("--list-ports")),
              "Usage: tarvel-upgrade-cli [-e] [-f] [-n | -V] [-y] [-h] [-t version] [-s pgmSize] [-u username]\n"
              "                          [-p password] [-o com-port] -b boot-file -c code-file\n"
              "       tarvel-upgrade-cli ");
    const Result bad = run(upgradeArgs({"-t", "2.0"}), "", false, false, "tarvel-upgrade-cli");
    EXPECT_EQ(bad.code, 64);
    EXPECT_EQ(bad.err.rfind("tarvel-upgrade-cli: Invalid Firmware Version entered.", 0), 0u);

    const Result noTerminal = run({"-V"});
    EXPECT_EQ(noTerminal.code, 10);
    EXPECT_NE(noTerminal.err.find("-y"), std::string::npos);
    EXPECT_EQ(noTerminal.out, "");
    const Result rejected = run({"-V"}, "no\n", true);
    EXPECT_EQ(rejected.code, 10);
    EXPECT_EQ(rejected.out.rfind(agreementText(), 0), 0u);
    EXPECT_EQ(run({"-V"}, "", true).code, 10);  // end of input
    EXPECT_EQ(harness->hostText(), "");
    EXPECT_EQ(run({"-V"}, "I accept\n", true).code, 0);
}

TEST_F(CliRun, EachEndOfARunGivesItsCodeAndItsTexts)
{
    UpgradeSettings older, newer, target;
    older.deviceVersion = "2.0.10", newer.deviceVersion = "2.0.11";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::function<void(sim::ModuleConfig&)> tweak;
        std::function<void()> after;  // once the module is there
        int code;
        std::string out, errHas, notSent;
    };
    const Case cases[] = {
        {"verified only", {"-y", "-V"}, nullptr, nullptr, 0, verificationPassedText(older) + "\n", "", "AT{"},
        {"failed verification", upgradeArgs({}), [](sim::ModuleConfig& c) { c.version = "2.0.11"; }, nullptr, 4,
         verificationFailedLine(newer) + "\n\n" + verificationReason(4, newer) + "\n", "", "reboot"},
        {"port held", {"-y", "-V", "-o", "COM1"}, nullptr,
         [this] {
             sim::LineFaults f;
             f.failOpen = true;
             harness->line.setFaults(f);
         },
         1, verificationFailedLine(older).substr(0, 20), "\nUnable to gain access to the COM port.\n", ""},
        {"refused login without verification", upgradeArgs({"-n", "-u", "admin", "-p", "wrong"}),
         [](sim::ModuleConfig& c) { c.start = sim::ConsoleStart::LoggedOut; }, nullptr, 2,
         upgradeFailedLine(target) + "\n\n" + upgradeFailureDetails(2, target) + "\n", ProgressState::kFailed,
         "Show System"},
        {"missing boot file", upgradeArgs({"-n", "-f"}), nullptr, [this] { std::remove(bootPath.c_str()); }, 7,
         upgradeFailedLine(target), "Error:Failed to open " + bootPath + "\nError:ZModem transfer failed.\n",
         "Show System"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModuleConfig cfg;
        if (c.tweak)
            c.tweak(cfg);
        makeModule(cfg);
        if (c.after)
            c.after();
        const Result r = run(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        EXPECT_EQ(harness->count(c.notSent), 0u);
        EXPECT_TRUE(harness->notifier.texts().empty()) << "the program's own notifier takes the boxes";
    }
}

TEST_F(CliRun, VerifiedUpgradeOnAWorkerThreadWithLiveProgress)
{
    platform::DetachedThreadStarter detached;
    makeModule({}, &detached);
    const Result r = run(upgradeArgs({}), "", false, true);
    ASSERT_EQ(r.code, 0) << r.err;
    UpgradeSettings expected;
    EXPECT_EQ(r.out.substr(r.out.size() - upgradeCompletedLine(expected).size() - 1),
              upgradeCompletedLine(expected) + "\n");
    const auto files = store->files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.end()), boot);
    EXPECT_EQ(std::string(files[1].data.begin(), files[1].data.end()), code);
    // Status lines in order, each live count line ended before the next status line.
    std::size_t at = 0;
    for (const std::string& line : std::vector<std::string>{ProgressState::kInitialStatus, kStatusPreparingFlash, kStatusBootDownload,
                                   "\rboot file  [", "19K of 19K", "left\x1b[K\n" + std::string(kStatusBootDone),
                                   std::string(kStatusCodeDownload), "29K of 29K",
                                   "left\x1b[K\n" + std::string(ProgressState::kCompleted)}) {
        const std::size_t p = r.err.find(line, at);
        ASSERT_NE(p, std::string::npos) << line << "\n" << r.err;
        at = p;
    }
}

TEST(CliProgressLine, BarRateAndTimeLeft)
{
    EXPECT_EQ(CliProgress::formatLine("boot file", 34, 68, 2048.0, 10),
              "boot file  [#####-----]  34K of 68K  2.0 KB/s  0:17 left");
    EXPECT_EQ(CliProgress::formatLine("code file", 600, 600, 4096.0, 4), "code file  [####]  600K of 600K  4.0 KB/s  0:00 left");
    EXPECT_EQ(CliProgress::formatLine("code file", 0, 0, -1.0, 0), "code file  0K of 0K");
    EXPECT_EQ(CliProgress::formatLine("boot file", 4, 7000, 100.0, 0), "boot file  4K of 7000K  0.1 KB/s  19:53:59 left");
}

// Reports as the worker and the sender make them, at virtual times: a plain stream gets a count
// at most every 5 s and the complete one; a terminal gets every count as a live line.
TEST(CliProgressLine, ReportsBecomeLinesAsTheStreamAllows)
{
    const std::string start = std::string(ProgressState::kInitialStatus) + "\n" + kStatusBootDownload + "\n";
    const std::string between = std::string(kStatusBootDone) + "\n" + kStatusCodeDownload + "\n";
    const std::string plain = start + "boot file  1K of 10K\n"
                                      "boot file  8K of 10K  1.3 KB/s  0:02 left\n"
                                      "boot file  10K of 10K  1.2 KB/s  0:00 left\n" +
                              between + "code file  3K of 3K  1.5 KB/s  0:00 left\n" + ProgressState::kFailed + "\n";
    const std::string live = start + "\rboot file  [###---------------------------]  1K of 10K\x1b[K"
                                     "\rboot file  [######------------------------]  2K of 10K  2.0 KB/s  0:04 left\x1b[K"
                                     "\rboot file  [############------------------]  4K of 10K  2.0 KB/s  0:03 left\x1b[K"
                                     "\rboot file  [########################------]  8K of 10K  1.3 KB/s  0:02 left\x1b[K"
                                     "\rboot file  [##############################]  10K of 10K  1.2 KB/s  0:00 left\x1b[K\n" +
                             between + "\rcode file  [##############################]  3K of 3K  1.5 KB/s  0:00 left\x1b[K\n" +
                             ProgressState::kFailed + "\n";
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "terminal" : "plain");
        test::TempDir dir{"progress"};
        Capture err(dir.file("err"));
        ConsoleOutput output(err.file, terminal);
        platform::VirtualClock clock;
        CliProgress p(output, clock);
        p.begin();
        const auto report = [&](std::int64_t atUs, const char* status, int sentK, int totalK) {
            clock.advanceToUs(atUs);
            p.statusText = status;
            p.bootPhase = p.bootPhase && status != std::string(kStatusBootDone) && status != std::string(kStatusCodeDownload);
            (p.bootPhase ? p.bootSentK : p.codeSentK) = sentK;
            (p.bootPhase ? p.bootTotalK : p.codeTotalK) = totalK;
            if (sentK >= 0)
                (p.bootPhase ? p.bootProgressText : p.codeProgressText) = std::to_string(sentK) + "K of " + std::to_string(totalK) + "K";
            p.refresh();
        };
        report(0, kStatusBootDownload, 1, 10);  // the rate is not known yet
        report(1'000'000, kStatusBootDownload, 2, 10);  // within 5 s of the last plain line
        report(2'000'000, kStatusBootDownload, 4, 10);
        report(2'500'000, kStatusBootDownload, 4, 10);  // the same count again
        report(6'000'000, kStatusBootDownload, 8, 10);
        report(8'000'000, kStatusBootDownload, 10, 10);
        report(9'000'000, kStatusBootDone, -1, 3);
        report(24'000'000, kStatusCodeDownload, -1, 3);
        report(26'000'000, kStatusCodeDownload, 3, 3);
        p.showFinished(8);
        EXPECT_EQ(err.take(), terminal ? live : plain);
    }
}
