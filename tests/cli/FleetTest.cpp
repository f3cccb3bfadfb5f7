// The fleet on virtual time: five modules, each on its own simulated line with its own clock,
// run side by side on threads of one process with services of their own; and the supervisor's
// handling of runs that go quiet or are interrupted, with runs that the test drives itself.
#include "CapturedStream.h"
#include "cli/Fleet.h"
#include "cli/PortEvent.h"

#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/SimLine.h"
#include "sim/SimSerialDevice.h"
#include "sim/VirtualModule.h"
#include "sim/ZModemReceiver.h"
#include "support/TempDir.h"
#include "upgrade/UpgradeMessages.h"
#include "upgrade/UpgradeWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <tuple>

namespace {

struct Bench {
    explicit Bench(sim::ModuleConfig config) : module(std::move(config)), line(clock, module) {}
    platform::VirtualClock clock;
    sim::VirtualModule module;
    sim::SimLine line;
    sim::SimSerialFactory factory;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
};

}  // namespace

TEST(Fleet, FiveModulesWithTheirOwnFaultsEachEndWithTheirOwnCodeAndTexts)
{
    test::TempDir dir("fleet");
    const std::string boot = test::randomText(20'000, 1), code = test::randomText(30'000, 2);
    UpgradeSettings choices;
    choices.verifyFirst = false;
    choices.username = "admin", choices.password = "tarvel";
    choices.bootFile = dir.put("tarvelboot.dmf", boot), choices.codeFile = dir.put("tarvel.dmf", code);

    struct Case { std::string port; std::function<void(sim::ModuleConfig&, sim::ZModemReceiverOptions&)> fault; int code;
                  std::string message; };
    const std::vector<Case> cases = {
        {"P1", [](auto&, auto& r) { r.rewindAt = 10'000, r.rewindTo = 4096; }, 0, ""},
        {"P2", [](auto& m, auto&) { m.start = sim::ConsoleStart::LoggedOut, m.password = "other"; }, 2, ""},
        {"P3", [](auto& m, auto&) { m.silent = true; }, 3, ""},
        {"P4", [](auto& m, auto&) { m.refuseTransfers = 1; }, 7, "Error:Unable to initialize ZModem transfer."},
        {"P5", [](auto&, auto& r) { r.cancelAt = 25'000; }, 8, "Error:ZModem transfer failed."},
    };
    std::map<std::string, std::unique_ptr<Bench>> benches;
    FleetOptions options;
    for (const Case& c : cases) {
        sim::ModuleConfig config;
        sim::ZModemReceiverOptions receiver;
        c.fault(config, receiver);
        auto store = std::make_shared<sim::ReceivedFiles>();
        config.receiver = sim::ZModemReceiver::factory(receiver, store);
        auto& b = benches[c.port] = std::make_unique<Bench>(std::move(config));
        b->store = store;
        b->factory.add(c.port, b->line);
        options.ports.push_back(c.port);
    }
    options.logDir = dir.path().string();
    options.jsonFile = dir.file("fleet.json");

    test::CapturedStream progress(dir, "progress"), summary(dir, "summary");
    ConsoleOutput output(progress.file, false);
    const platform::SerialPortDiscovery discovery(dir.file("no-tree"));
    const auto launcher = threadLauncher([&](const std::string& port) {
        Bench& b = *benches.at(port);
        return platform::Services{&b.clock, &b.factory, nullptr, nullptr};
    });
    FleetContext context{output, summary.file, platform::clock(), discovery, [](const std::string& n) { return n; },
                         *launcher, [] { return 0; }};
    EXPECT_EQ(runFleet(choices, options, context), 8) << "the highest result code";
    const std::string lines = progress.text(), table = summary.text(), json = dir.read("fleet.json");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        Bench& b = *benches.at(c.port);
        UpgradeSettings own;
        own.comPort = c.port, own.bootFile = choices.bootFile, own.codeFile = choices.codeFile;
        const std::string verdict = c.code == 0 ? upgradeCompletedLine(own) : upgradeFailedLine(own);
        EXPECT_NE(json.find("\"port\": \"" + c.port + "\", \"device\": \"" + c.port + "\", \"byId\": \"\", \"adapter\": \"" +
                            c.port + "\",\n     \"result\": " + std::to_string(c.code) + ", \"verdict\": \"" + verdict +
                            "\""),
                  std::string::npos)
            << json;
        // Each failure explains itself with its own port's name, in the summary too.
        if (c.code != 0) {
            std::string details = upgradeFailureDetails(c.code, own);
            if (details.back() != '\n')
                details += "\n";
            if (!c.message.empty())
                details += "  " + c.message + "\n";
            EXPECT_NE(table.find(c.port + ": " + verdict + "\n" + details), std::string::npos) << table;
        }
        // Each port's messages under its own name only.
        for (const Case& other : cases) {
            if (!other.message.empty()) {
                EXPECT_EQ(lines.find(c.port + ": " + other.message + "\n") != std::string::npos,
                          other.message == c.message)
                    << other.message << "\n" << lines;
            }
        }
        EXPECT_NE(lines.find(c.port + ": result " + std::to_string(c.code) + "\n"), std::string::npos);

        // The line carried this port's dialogue only: its transcript has what its module saw.
        const std::string host = b.line.hostText();
        const std::string transcript = dir.read(c.port + ".log");
        EXPECT_EQ(host.find("reboot\r") != std::string::npos, c.code != 2 && c.code != 3);
        EXPECT_EQ(transcript.find(" > reboot\\r\n") != std::string::npos, c.code != 2 && c.code != 3);
        if (c.code == 2) {
            EXPECT_NE(transcript.find("admin\\r"), std::string::npos);
            EXPECT_NE(transcript.find("******\\r"), std::string::npos);
            EXPECT_EQ(transcript.find(choices.password), std::string::npos) << "the password stays out";
        }
        const auto files = b.store->files();
        int resyncs = 0;
        for (const auto& f : files)
            resyncs += f.resyncs;
        EXPECT_NE(json.find(", \"resyncs\": " + std::to_string(resyncs) + "}"), std::string::npos);
        if (c.code == 0) {
            ASSERT_EQ(files.size(), 2u);
            EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.end()), boot);
            EXPECT_EQ(std::string(files[1].data.begin(), files[1].data.end()), code);
            EXPECT_EQ(resyncs, 2) << "one resend asked for in each file";
            EXPECT_NE(json.find("\"bytesSent\": " + std::to_string(host.size()) + ", "), std::string::npos);
        }
    }
}

namespace {

// Runs that the test drives: each reports a code-file count and then waits until it is killed
// (or released with an end of its own).
class HeldRuns final : public IRunLauncher {
public:
    struct Held final : IRunHandle {
        explicit Held(IPortEvents& s) : sink(s) {}
        ~Held() override
        {
            if (!ended())
                kill();
        }
        bool ended() const override { return done.load(); }
        void kill() override
        {
            sink.event({.kind = PortEvent::Kind::Ended, .text = "killed", .detail = "", .code = -1});
            done = true;
        }
        IPortEvents& sink;
        std::atomic<bool> done{false};
    };
    std::unique_ptr<IRunHandle> launch(const UpgradeSettings&, const PortRunOptions&, IPortEvents& sink) override
    {
        sink.event({.kind = PortEvent::Kind::Status, .text = kStatusCodeDownload, .detail = ""});
        sink.event({.kind = PortEvent::Kind::Count, .text = "code", .detail = "", .sentK = 5, .totalK = 20});
        launched++;
        return std::make_unique<Held>(sink);
    }
    std::atomic<int> launched{0};
};

}  // namespace

TEST(Fleet, RunsThatGoQuietOrAreInterruptedTwiceAreEndedAndShownLeftMidTransfer)
{
    struct Case { const char* name; std::int64_t silenceLimitMs; int interruptsAfterStart; std::string stopped; };
    const Case cases[] = {
        {"quiet", 30, 0, "no sign of life for 30 ms"},
        {"two interrupts", 60'000, 2, "ended by a second interrupt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir("fleet-held");
        test::CapturedStream progress(dir, "progress"), summary(dir, "summary");
        ConsoleOutput output(progress.file, false);
        const platform::SerialPortDiscovery discovery(dir.file("no-tree"));
        HeldRuns runs;
        std::atomic<int> interrupts{0};
        FleetOptions options;
        options.ports = {"A"};
        options.pollMs = 5;
        options.silenceLimitMs = c.silenceLimitMs;
        FleetContext context{output, summary.file, platform::clock(), discovery, [](const std::string& n) { return n; }, runs,
                             [&] {
                                 // Ctrl-C twice, a poll apart.
                                 if (runs.launched > 0 && interrupts < c.interruptsAfterStart)
                                     ++interrupts;
                                 return interrupts.load();
                             }};
        EXPECT_EQ(runFleet(UpgradeSettings{}, options, context), 8);
        const std::string table = summary.text();
        EXPECT_NE(table.find("The run stopped: " + c.stopped + ".\n"), std::string::npos) << table;
        EXPECT_NE(table.find("Left mid-transfer:\n  A (code file, 5K of 20K)\n"), std::string::npos) << table;
    }
}

// What a child process reports reaches the supervisor whole: every field, and text with the
// characters that separate fields and lines.
TEST(Fleet, AnEventSurvivesTheTripThroughTheChildsPipe)
{
    const PortEvent sent{PortEvent::Kind::Stats, "a\tb\\c\nd\re", "\\t", 7, 11, 22, 1234.4, 33, 44, 55, 66};
    const auto got = PortEvent::decode(sent.encode());
    ASSERT_TRUE(got);
    const auto fields = [](const PortEvent& e) {
        return std::tuple(e.kind, e.text, e.detail, e.code, e.sentK, e.totalK, e.bytesOut, e.bytesIn, e.resyncs, e.fileBytes);
    };
    EXPECT_EQ(fields(*got), fields(sent));
    EXPECT_EQ(got->rate, 1234.0);  // whole bytes per second
    EXPECT_FALSE(PortEvent::decode("stats\t1\t2"));
}
