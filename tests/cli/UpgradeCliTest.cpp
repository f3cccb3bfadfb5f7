// upgrade-cli end to end against the virtual module on virtual time: exit codes, what goes to
// each stream, and the agreement rules. The library entry point runs with in-memory streams.
#include "cli/CliProgress.h"
#include "cli/UpgradeCli.h"

#include "app/AgreementText.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "upgrade/UpgradeMessages.h"
#include "upgrade/UpgradeWorker.h"
#include "verify/Verification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

// A FILE* on a file of the test's folder (in-memory streams are POSIX only); take() closes it and
// returns what was written, byte for byte.
struct Capture {
    explicit Capture(const fs::path& p) : path(p), file(std::fopen(p.string().c_str(), "w+b")) {}
    std::string take()
    {
        std::fclose(file);
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::path path;
    std::FILE* file;
};

class CliRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("tarvel-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
        std::mt19937 gen(7);
        auto fill = [&](std::string& text, int n) {
            std::generate_n(std::back_inserter(text), n, [&] { return static_cast<char>(gen()); });
        };
        fill(boot, 20'000);
        fill(code, 30'000);
        bootPath = (dir / "tarvelboot.dmf").string();
        codePath = (dir / "tarvel.dmf").string();
        std::ofstream(bootPath, std::ios::binary) << boot;
        std::ofstream(codePath, std::ios::binary) << code;
    }
    void TearDown() override { fs::remove_all(dir); }

    void makeModule(sim::ModuleConfig cfg = {}, platform::IThreadStarter* threads = nullptr)
    {
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(std::move(cfg), threads ? threads : &inlineThreads);
    }

    Result run(const std::vector<std::string>& args, const std::string& input = "", bool inTty = false,
               bool errTty = false, const std::string& program = "upgrade-cli")
    {
        Capture out(dir / "out"), err(dir / "err");
        const fs::path inPath = dir / "in";
        std::ofstream(inPath, std::ios::binary) << input;
        std::FILE* inFile = std::fopen(inPath.string().c_str(), "rb");
        CliStreams streams{inFile, out.file, err.file, inTty, errTty, program};
        Result r;
        r.code = runUpgradeCli(args, streams);
        std::fclose(inFile);
        r.out = out.take();
        r.err = err.take();
        return r;
    }
    std::vector<std::string> upgradeArgs(std::vector<std::string> extra) const
    {
        extra.insert(extra.end(), {"-y", "-b", bootPath, "-c", codePath});
        return extra;
    }
    void expectNothingSent() { EXPECT_EQ(harness->hostText(), ""); }

    fs::path dir;
    std::string boot, code, bootPath, codePath;
    platform::InlineThreadStarter inlineThreads;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
};

std::size_t occurrences(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

}  // namespace

TEST_F(CliRun, HelpAndUsageErrorsTouchNothing)
{
    makeModule();
    const Result help = run({"-h"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out, kCliUsageText);
    // Installed under another name, the program calls itself by that name, options still aligned.
    const Result installed = run({"-h"}, "", false, false, "tarvel-upgrade-cli");
    EXPECT_EQ(installed.out.substr(0, installed.out.find("--list-ports")),
              "Usage: tarvel-upgrade-cli [-e] [-f] [-n | -V] [-y] [-h] [-t version] [-s pgmSize] [-u username]\n"
              "                          [-p password] [-o com-port] -b boot-file -c code-file\n"
              "       tarvel-upgrade-cli ");
    EXPECT_EQ(run({"-y", "-Q"}, "", false, false, "tarvel-upgrade-cli").err.rfind("tarvel-upgrade-cli: ", 0), 0u);

    const Result badVersion = run(upgradeArgs({"-t", "2.0"}));
    EXPECT_EQ(badVersion.code, 64);
    EXPECT_NE(badVersion.err.find("Invalid Firmware Version entered."), std::string::npos);
    EXPECT_EQ(run({"-y", "-Q"}).code, 64);
    EXPECT_EQ(run({"-y", "-b", bootPath}).code, 64);  // no code file
    EXPECT_EQ(run({"-y", "-V", "-n"}).code, 64);
    expectNothingSent();
}

TEST_F(CliRun, AgreementIsAskedOnATerminalOnly)
{
    makeModule();
    const Result noTerminal = run({"-V"});
    EXPECT_EQ(noTerminal.code, 10);
    EXPECT_NE(noTerminal.err.find("-y"), std::string::npos);
    EXPECT_EQ(noTerminal.out, "");

    const Result rejected = run({"-V"}, "no\n", true);
    EXPECT_EQ(rejected.code, 10);
    EXPECT_EQ(rejected.out.rfind(agreementText(), 0), 0u);
    const Result endOfInput = run({"-V"}, "", true);
    EXPECT_EQ(endOfInput.code, 10);
    expectNothingSent();

    const Result accepted = run({"-V"}, "I accept\n", true);
    EXPECT_EQ(accepted.code, 0);
    EXPECT_NE(accepted.out.find("The test of your Tarvel router module indicates"), std::string::npos);
}

TEST_F(CliRun, VerifyOnlyPrintsTheVerdict)
{
    makeModule();
    const Result r = run({"-y", "-V"});
    EXPECT_EQ(r.code, 0);
    UpgradeSettings expected;
    expected.deviceVersion = "2.0.10";
    EXPECT_EQ(r.out, verificationPassedText(expected) + "\n");
    EXPECT_EQ(harness->count("AT{"), 0u);
}

TEST_F(CliRun, FailedVerificationExitsWithItsCodeAndDoesNotUpgrade)
{
    sim::ModuleConfig cfg;
    cfg.version = "2.0.11";
    makeModule(cfg);
    const Result r = run(upgradeArgs({}));
    EXPECT_EQ(r.code, 4);
    UpgradeSettings expected;
    expected.deviceVersion = "2.0.11";
    EXPECT_EQ(r.out, verificationFailedLine(expected) + "\n\n" + verificationReason(4, expected) + "\n");
    EXPECT_EQ(harness->count("reboot"), 0u);
    EXPECT_TRUE(store->files().empty());
}

TEST_F(CliRun, PortHeldIsReportedAsAMessageLineAndCodeOne)
{
    makeModule();
    sim::LineFaults f;
    f.failOpen = true;
    harness->line.setFaults(f);
    const Result r = run({"-y", "-V", "-o", "COM1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("\nUnable to gain access to the COM port.\n"), std::string::npos);
    EXPECT_TRUE(harness->notifier.texts().empty());  // the CLI's own notifier took the box
}

TEST_F(CliRun, VerifiedUpgradeOnAWorkerThread)
{
    platform::DetachedThreadStarter detached;
    makeModule({}, &detached);
    const Result r = run(upgradeArgs({}));
    ASSERT_EQ(r.code, 0) << r.err;
    UpgradeSettings expected;
    EXPECT_EQ(r.out.substr(r.out.size() - upgradeCompletedLine(expected).size() - 1),
              upgradeCompletedLine(expected) + "\n");
    const auto files = store->files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.end()), boot);
    EXPECT_EQ(std::string(files[1].data.begin(), files[1].data.end()), code);

    // Status lines in order, then the verdict; progress as plain lines, throttled.
    std::size_t at = 0;
    for (const char* line : {ProgressState::kInitialStatus, kStatusPreparingFlash, kStatusBootDownload,
                             "19K of 19K", kStatusBootDone, kStatusCodeDownload, "29K of 29K",
                             ProgressState::kCompleted}) {
        const std::size_t p = r.err.find(line, at);
        ASSERT_NE(p, std::string::npos) << line << "\n" << r.err;
        at = p;
    }
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_LE(occurrences(r.err, "code file  "), 3u);  // 8 reports in about 8 s of line time
}

TEST_F(CliRun, UpgradeFailureExitsWithItsCodeAndDetails)
{
    sim::ModuleConfig cfg;
    cfg.start = sim::ConsoleStart::LoggedOut;
    makeModule(cfg);
    const Result r = run(upgradeArgs({"-n", "-u", "admin", "-p", "wrong", "-o", "COM1"}));
    EXPECT_EQ(r.code, 2);
    UpgradeSettings expected;
    EXPECT_EQ(r.out, upgradeFailedLine(expected) + "\n\n" + upgradeFailureDetails(2, expected) + "\n");
    EXPECT_NE(r.err.find(ProgressState::kFailed), std::string::npos);
    EXPECT_EQ(harness->count("Show System"), 0u);  // -n: no verification
}

TEST_F(CliRun, MissingBootFileGivesSevenWithTheSenderMessages)
{
    makeModule();
    fs::remove(bootPath);
    const Result r = run(upgradeArgs({"-n", "-f"}));
    EXPECT_EQ(r.code, 7);
    EXPECT_NE(r.err.find("Error:Failed to open " + bootPath + "\nError:ZModem transfer failed.\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("Check that the boot file \"" + bootPath + "\" is correct."), std::string::npos);
}

TEST_F(CliRun, LiveProgressOnATerminalKeepsLinesApart)
{
    makeModule();
    const Result r = run(upgradeArgs({"-n", "-f"}), "", false, true);
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("\rboot file  ["), std::string::npos);
    // Each live line is ended before the next status line starts.
    EXPECT_NE(r.err.find("left\x1b[K\n" + std::string(kStatusBootDone)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("left\x1b[K\n" + std::string(ProgressState::kCompleted)), std::string::npos);
}

TEST(CliProgressLine, BarRateAndTimeLeft)
{
    EXPECT_EQ(CliProgress::formatLine("boot file", 34, 68, 2048.0, 10),
              "boot file  [#####-----]  34K of 68K  2.0 KB/s  0:17 left");
    EXPECT_EQ(CliProgress::formatLine("code file", 600, 600, 4096.0, 4), "code file  [####]  600K of 600K  4.0 KB/s  0:00 left");
    EXPECT_EQ(CliProgress::formatLine("code file", 0, 0, -1.0, 0), "code file  0K of 0K");
    EXPECT_EQ(CliProgress::formatLine("boot file", 4, 7000, 100.0, 0), "boot file  4K of 7000K  0.1 KB/s  19:53:59 left");
}
