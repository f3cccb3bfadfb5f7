// tarvel-sim's command line and the names under which received files are stored.
#include "sim/tool/ReceivedFileWriter.h"
#include "sim/tool/SimOptions.h"

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
                                 "--hangup-after-ms", "0", "--refuse-transfers", "1", "--repeat-ms", "1500"},
                                o, error))
        << error;
    EXPECT_EQ(o.module.start, sim::ConsoleStart::LoggedOut);
    EXPECT_EQ(o.module.username, "op");
    EXPECT_EQ(o.module.password, "pw");
    EXPECT_EQ(o.module.version, "1.5.13");
    EXPECT_EQ(o.module.memoryFigure, "4096");
    EXPECT_EQ(o.module.threshold, "4097");
    ASSERT_EQ(o.module.files.size(), 2u);  // the defaults were replaced
    EXPECT_EQ(o.module.files[1].name, "b:c.cfg");
    EXPECT_EQ(o.module.files[1].size, 7);
    EXPECT_EQ(o.receiver.bufferLength, 2048);
    EXPECT_FALSE(o.receiver.crc32);
    EXPECT_TRUE(o.pace);
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_EQ(o.storeDir, "rx");
    EXPECT_EQ(o.module.quickSetupTimes, 2);
    EXPECT_EQ(o.hangupAfterBytes, 9000);
    EXPECT_EQ(o.hangupAfterMs, 0);
    EXPECT_EQ(o.module.refuseTransfers, 1);
    EXPECT_EQ(o.module.commandModeRepeatUs, 1'500'000);
}

TEST(SimOptions, MistakesAreErrors)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--start", "sleeping"}, {"--memory", "12k"}, {"--buffer-length", "70000"},
          {"--file", "nosize"}, {"--file", "x:-1"}, {"--quick-setup", "-1"}, {"--link"}, {"--bogus"},
          {"--hangup-after-bytes", "-1"}, {"--hangup-after-ms", "soon"}, {"--refuse-transfers", "x"},
          {"--repeat-ms", "-5"}}) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(parseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
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
    const fs::path dir = fs::temp_directory_path() / "tarvel-sim-writer-test";
    fs::remove_all(dir);
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
    fs::remove_all(dir);
}
