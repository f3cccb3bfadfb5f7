// tarvel-sim's command line and the names under which received files are stored.
#include "sim/tool/ControlFile.h"
#include "sim/tool/ReceivedFileWriter.h"
#include "sim/tool/SimOptions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(SimOptions, SetTheModuleAndReceiver)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parseSimOptions({"--start", "login", "--user", "op", "--password", "pw", "--version", "1.5.13",
                                 "--memory", "4096", "--threshold", "4097", "--file", "a.cfg:100", "--file",
                                 "b:c.cfg:7", "--buffer-length", "2048", "--crc16", "--pace", "--link",
                                 "/tmp/x", "--store", "rx", "--quick-setup", "2", "--hangup-after-bytes", "9000",
                                 "--hangup-after-ms", "0", "--refuse-transfers", "1", "--repeat-ms", "1500", "--log", "l"},
                                o, error))
        << error;
    EXPECT_EQ(o.module.start, sim::ConsoleStart::LoggedOut);
    ASSERT_EQ(o.module.files.size(), 2u);  // the defaults were replaced
    EXPECT_EQ((std::vector<std::string>{o.module.username, o.module.password, o.module.version, o.module.memoryFigure,
                                        o.module.threshold, o.module.files[1].name, o.link, o.storeDir, o.logFile}),
              (std::vector<std::string>{"op", "pw", "1.5.13", "4096", "4097", "b:c.cfg", "/tmp/x", "rx", "l"}));
    EXPECT_EQ((std::vector<std::int64_t>{o.module.files[1].size, o.receiver.bufferLength, o.module.quickSetupTimes,
                                         o.hangupAfterBytes, o.hangupAfterMs, o.module.refuseTransfers,
                                         o.module.commandModeRepeatUs, o.receiver.crc32, o.pace}),
              (std::vector<std::int64_t>{7, 2048, 2, 9000, 0, 1, 1'500'000, false, true}));
}

TEST(SimOptions, MistakesAreErrors)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--start", "sleeping"}, {"--memory", "12k"}, {"--buffer-length", "70000"},
          {"--file", "nosize"}, {"--file", "x:-1"}, {"--quick-setup", "-1"}, {"--link"}, {"--bogus"},
          {"--hangup-after-bytes", "-1"}, {"--hangup-after-ms", "soon"}, {"--refuse-transfers", "x"},
          {"--repeat-ms", "-5"}, {"--modules", "0"}, {"--modules", "257"}, {"--fault", "2:silent"},
          {"--modules", "4", "--fault", "5:silent"}, {"--modules", "4", "--fault", "0:silent"},
          {"--modules", "4", "--fault", "silent"}, {"--modules", "4", "--fault", "2:link=/tmp/x"},
          {"--modules", "4", "--fault", "2:bogus"}, {"--modules", "4", "--fault", "2:memory=12k"},
          {"--modules", "4", "--fault", "2:"}, {"--log"}}) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(parseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(SimOptions, AModuleTakesItsOwnOptionsOverThePlainOnes)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parseSimOptions({"--modules", "5", "--refuse-transfers", "2", "--control", "ctl", "--fault",
                                 "3:hangup-after-bytes=100000", "--fault", "5:refuse-transfers=1", "--fault",
                                 "5:silent", "--fault", "3:file=a:1", "--fault", "3:file=b:2"},
                                o, error))
        << error;
    EXPECT_EQ(o.modules, 5);
    EXPECT_EQ(o.control, "ctl");
    const auto row = [&](int k) {
        const SimOptions m = simOptionsForModule(o, k);
        return std::vector<std::int64_t>{m.hangupAfterBytes, m.module.refuseTransfers, m.module.silent,
                                         static_cast<std::int64_t>(m.module.files.size())};
    };
    EXPECT_EQ(row(1), (std::vector<std::int64_t>{-1, 2, false, 5}));
    EXPECT_EQ(row(3), (std::vector<std::int64_t>{100000, 2, false, 2}));
    EXPECT_EQ(row(5), (std::vector<std::int64_t>{-1, 1, true, 5}));
}

TEST(ControlFile, ReadsCompleteLinesOnceAndAgainAfterATruncation)
{
    using C = std::vector<ControlCommand>;
    struct Case {
        std::string line;
        bool ok;
        C commands;
    };
    for (const Case& c : std::vector<Case>{{"replace 3", true, {{3, false}}},
                                           {" replug   all ", true, {{1, true}, {2, true}, {3, true}}},
                                           {"", true, {}}, {"replace 4", false, {}}, {"replace 0", false, {}},
                                           {"replug 2x", false, {}}, {"replace", false, {}},
                                           {"replace 2 3", false, {}}, {"swap 2", false, {}}}) {
        C commands;
        std::string error;
        EXPECT_EQ(ControlFile::parseLine(c.line, 3, commands, error), c.ok) << c.line;
        EXPECT_EQ(commands, c.commands) << c.line;
        EXPECT_EQ(error.empty(), c.ok) << c.line;
    }
    const test::TempDir folder{"sim"};
    const auto path = folder.path() / "control";
    ControlFile control(path);
    std::vector<std::string> errors;
    EXPECT_TRUE(control.newCommands(4, errors).empty());  // no file yet
    std::ofstream(path) << "replace 4\nnonsense\nreplug 2\r\nreplace 1";
    EXPECT_EQ(control.newCommands(4, errors), (C{{4, false}, {2, true}}));
    EXPECT_EQ(errors.size(), 1u);
    std::ofstream(path, std::ios::app) << "\n";
    EXPECT_EQ(control.newCommands(4, errors), (C{{1, false}}));
    EXPECT_TRUE(control.newCommands(4, errors).empty());
    std::ofstream(path) << "replace 3\n";
    EXPECT_EQ(control.newCommands(4, errors), (C{{3, false}}));
}

TEST(ReceivedFileWriter, NamesStayInsideTheFolder)
{
    EXPECT_EQ(ReceivedFileWriter::storedName("/work/out/sample/tarvelboot.dmf", 0), "tarvelboot.dmf");
    EXPECT_EQ(ReceivedFileWriter::storedName("C:\\fw\\tarvel.dmf", 1), "tarvel.dmf");
    EXPECT_EQ(ReceivedFileWriter::storedName("../..", 2), "received-3.bin");
    EXPECT_EQ(ReceivedFileWriter::storedName("dir/", 0), "received-1.bin");
    EXPECT_EQ(ReceivedFileWriter::storedName("a b*?.dmf", 0), "a_b__.dmf");
}

TEST(ReceivedFileWriter, WritesCompleteFilesOnceAndWaitsForTheOneUnderway)
{
    namespace fs = std::filesystem;
    const test::TempDir folder{"sim"};
    const fs::path dir = folder.path();
    ReceivedFileWriter writer(dir);
    sim::ReceivedFiles store;
    sim::ReceivedFile boot;
    boot.name = "/x/tarvelboot.dmf";
    boot.data = {1, 2, 3};
    boot.complete = true;
    store.addFile(boot);
    sim::ReceivedFile code;
    code.name = "/x/tarvel.dmf";
    code.data = {9};
    const std::size_t codeIndex = store.addFile(code);

    EXPECT_EQ(writer.writeNew(store), (std::vector<fs::path>{dir / "tarvelboot.dmf"}));
    EXPECT_EQ(fs::file_size(dir / "tarvelboot.dmf"), 3u);
    EXPECT_FALSE(fs::exists(dir / "tarvel.dmf"));
    store.modifyFile(codeIndex, [](sim::ReceivedFile& f) {
        f.data.push_back(8);
        f.complete = true;
    });
    EXPECT_EQ(writer.writeNew(store), (std::vector<fs::path>{dir / "tarvel.dmf"}));
    EXPECT_EQ(fs::file_size(dir / "tarvel.dmf"), 2u);
    EXPECT_TRUE(writer.writeNew(store).empty());
}
