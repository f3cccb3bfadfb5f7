// upgrade-cli end to end against the virtual module on virtual time: exit codes, what goes to
// each stream, and the agreement rules; and the progress display on its own, as the bytes it
// writes for a recorded sequence of reports.
#include "CapturedStream.h"
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

#include <functional>

namespace {

class CliRun : public ::testing::Test {
protected:
    test::TempDir dir{"cli"};
    const std::string boot = test::randomText(20'000, 1), code = test::randomText(30'000, 2);
    const std::string bootPath = dir.put("tarvelboot.dmf", boot), codePath = dir.put("tarvel.dmf", code);
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    std::string out, err;

    int run(const std::vector<std::string>& args, const std::string& input = "", bool inTty = false,
            bool errTty = false, const std::string& program = "upgrade-cli")
    {
        test::CapturedStream o(dir, "out"), e(dir, "err");
        std::FILE* in = std::fopen(dir.put("in", input).c_str(), "rb");
        const int exit = runUpgradeCli(args, {in, o.file, e.file, inTty, errTty, program});
        std::fclose(in);
        out = o.text(), err = e.text();
        return exit;
    }
    std::vector<std::string> upgradeArgs(std::vector<std::string> extra) const
    {
        extra.insert(extra.end(), {"-y", "-b", bootPath, "-c", codePath});
        return extra;
    }
};

}  // namespace

TEST_F(CliRun, EachEndOfARunGivesItsCodeAndItsTexts)
{
    UpgradeSettings older, newer, target;
    older.deviceVersion = "2.0.10", newer.deviceVersion = "2.0.11";
    const std::string installed = "tarvel-upgrade-cli";
    // after: once the module is there; notSent: what must not reach the line.
    struct Case { const char* name; std::vector<std::string> args; std::string input; bool inTty; std::string program;
                  std::function<void(sim::ModuleConfig&)> tweak; std::function<void()> after; int code;
                  std::string outStart, errHas, notSent; };
    const Case cases[] = {
        {"help", {"-h"}, "", false, "upgrade-cli", nullptr, nullptr, 0, kCliUsageText, "", "\r"},
        // Installed under another name, the program calls itself by that name, options still aligned.
        {"help under another name", {"-h"}, "", false, installed, nullptr, nullptr, 0,
         "Usage: tarvel-upgrade-cli [-e] [-f] [-n | -V] [-y] [-h] [-t version] [-s pgmSize] [-u username]\n"
         "                          [-p password] [-o com-port] -b boot-file -c code-file\n       tarvel-upgrade-cli ",
         "", "\r"},
        {"usage error", upgradeArgs({"-t", "2.0"}), "", false, installed, nullptr, nullptr, 64, "",
         "tarvel-upgrade-cli: Invalid Firmware Version entered.", "\r"},
        {"agreement without a terminal", {"-V"}, "", false, "upgrade-cli", nullptr, nullptr, 10, "", "give -y", "\r"},
        {"agreement rejected", {"-V"}, "no\n", true, "upgrade-cli", nullptr, nullptr, 10, agreementText(), "", "\r"},
        {"agreement accepted", {"-V"}, " I Accept\n", true, "upgrade-cli", nullptr, nullptr, 0, agreementText(), "", "AT{"},
        {"verified only", {"-y", "-V"}, "", false, "upgrade-cli", nullptr, nullptr, 0, verificationPassedText(older) + "\n",
         "upgrade-cli: ", "AT{"},
        {"failed verification", upgradeArgs({}), "", false, "upgrade-cli", [](sim::ModuleConfig& c) { c.version = "2.0.11"; },
         nullptr, 4, verificationFailedLine(newer) + "\n\n" + verificationReason(4, newer) + "\n", "", "reboot"},
        {"port held", {"-y", "-V", "-o", "COM1"}, "", false, "upgrade-cli", nullptr,
         [this] { harness->line.setFaults({true}); },
         1, verificationFailedLine(older).substr(0, 20), "\nUnable to gain access to the COM port.\n", ""},
        {"refused login without verification", upgradeArgs({"-n", "-u", "admin", "-p", "wrong"}), "", false,
         "upgrade-cli", [](sim::ModuleConfig& c) { c.start = sim::ConsoleStart::LoggedOut; }, nullptr, 2,
         upgradeFailedLine(target) + "\n\n" + upgradeFailureDetails(2, target) + "\n", std::string(CliProgress::kTerminalFailed) + "\n", "Show System"},
        {"missing boot file", upgradeArgs({"-n", "-f"}), "", false, "upgrade-cli", nullptr,
         [this] { std::remove(bootPath.c_str()); }, 7, upgradeFailedLine(target),
         "Error:Failed to open " + bootPath + "\nNo such file: " + bootPath + ".\nError:ZModem transfer failed.\n", "\r"},
    };
    platform::InlineThreadStarter threads;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModuleConfig cfg;
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        if (c.tweak)
            c.tweak(cfg);
        harness.reset();  // its platform goes before the next one comes
        harness = std::make_unique<test::ModuleHarness>(cfg, &threads);
        if (c.after)
            c.after();
        EXPECT_EQ(run(c.args, c.input, c.inTty, false, c.program), c.code);
        EXPECT_EQ(out.substr(0, c.outStart.size()), c.outStart);
        EXPECT_NE(err.find(c.errHas), std::string::npos) << err;
        EXPECT_EQ(harness->count(c.notSent), 0u) << "the line is left alone";
        EXPECT_TRUE(harness->notifier.texts().empty()) << "the program's own notifier takes the boxes";
    }
}

TEST_F(CliRun, VerifiedUpgradeOnAWorkerThreadWithLiveProgress)
{
    platform::DetachedThreadStarter detached;
    sim::ModuleConfig cfg;
    cfg.receiver = sim::ZModemReceiver::factory({}, store);
    harness = std::make_unique<test::ModuleHarness>(cfg, &detached);
    ASSERT_EQ(run(upgradeArgs({}), "", false, true), 0) << err;
    const std::string done = upgradeCompletedLine(UpgradeSettings{}) + "\n";
    EXPECT_EQ(out.substr(out.size() - done.size()), done);
    const auto files = store->files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.end()) + std::string(files[1].data.begin(), files[1].data.end()),
              boot + code);
    // Status lines in order, each live count line ended before the next status line.
    std::size_t at = 0;
    for (const std::string& line : std::vector<std::string>{
             ProgressState::kInitialStatus, kStatusPreparingFlash, kStatusBootDownload, "\rboot file  [", "19K of 19K",
             "left\x1b[K\n" + std::string(kStatusBootDone), kStatusCodeDownload, "29K of 29K",
             "left\x1b[K\n" + std::string(CliProgress::kTerminalCompleted) + "\n"}) {
        ASSERT_NE(at = err.find(line, at), std::string::npos) << line << "\n" << err;
    }
}

TEST(CliProgressLine, BarRateAndTimeLeft)
{
    const std::pair<std::string, std::string> lines[] = {
        {CliProgress::formatLine("boot file", 34, 68, 2048.0, 10), "boot file  [#####-----]  34K of 68K  2.0 KB/s  0:17 left"},
        {CliProgress::formatLine("code file", 600, 600, 4096.0, 4), "code file  [####]  600K of 600K  4.0 KB/s  0:00 left"},
        // Under 1 K counts as complete; a rate of 0 is no rate.
        {CliProgress::formatLine("code file", 0, 0, -1.0, 4), "code file  [####]  0K of 0K"},
        {CliProgress::formatLine("code file", 0, 10, 0.0, 0), "code file  0K of 10K"},
        {CliProgress::formatLine("boot file", 0, 3600, 1024.0, 0), "boot file  0K of 3600K  1.0 KB/s  1:00:00 left"},
        {CliProgress::formatLine("boot file", 4, 7000, 100.0, 0), "boot file  4K of 7000K  0.1 KB/s  19:53:59 left"},
        {CliProgress::formatLine("boot file", 0, 1, 0.5, 0), "boot file  0K of 1K  0.0 KB/s  34:08 left"}};
    for (const auto& [got, want] : lines)
        EXPECT_EQ(got, want);
}

// Reports as the worker and the sender make them, at virtual times, on a plain stream: a count at
// most every 5 s and the complete one (a terminal's live lines are seen in the run above). The boot
// phase is under way before the first refresh: its rate counts from its first count, 1K at 0 s.
TEST(CliProgressLine, ReportsBecomeLinesAsTheStreamAllows)
{
    test::TempDir dir{"progress"};
    test::CapturedStream err(dir, "err");
    ConsoleOutput output(err.file, false);
    platform::VirtualClock clock;
    CliProgress p(output, clock);
    p.statusText = kStatusBootDownload;
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
    report(1'000'000, kStatusBootDownload, 2, 10);  // within 5 s of the last line
    report(2'500'000, kStatusBootDownload, 4, 10);
    report(5'000'000, kStatusBootDownload, 4, 10);  // the same count again
    report(6'000'000, kStatusBootDownload, 8, 10);
    report(8'500'000, kStatusBootDownload, 10, 10);
    report(9'000'000, kStatusBootDone, -1, 3);
    report(24'000'000, kStatusCodeDownload, -1, 3);
    report(26'000'000, kStatusCodeDownload, 3, 3);
    p.showFinished(8);
    EXPECT_EQ(err.text(), std::string(kStatusBootDownload) +
                              "\nboot file  1K of 10K\nboot file  8K of 10K  1.2 KB/s  0:02 left\n"
                              "boot file  10K of 10K  1.1 KB/s  0:00 left\n" + kStatusBootDone + "\n" +
                              kStatusCodeDownload + "\ncode file  3K of 3K  1.5 KB/s  0:00 left\n" + CliProgress::kTerminalFailed + "\n");
}
