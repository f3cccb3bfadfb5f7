// Whole transfers on virtual time against the test receiver: the dialogue of a small file,
// the frame-end rules for each buffer length, resynchronisation, ZCRC, ZSKIP, flow control,
// noise, progress texts and the failure messages.
#include "support/ZModemTestSupport.h"

#include "zmodem/ZModemDefs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using namespace zmodem;
using ::testing::ElementsAre;
using zmtest::Bytes;

class TransferTest : public zmtest::SenderFixture {
protected:
    // Sends a file of n pattern bytes to a fresh receiver (new store, no messages yet) with the
    // given options; returns sendFile's result.
    int sendPattern(std::size_t n, const sim::ZModemReceiverOptions& o = {}, const std::string& name = "f.bin")
    {
        content = zmtest::patternBytes(n);
        path = dir.write(name, content);
        store = std::make_shared<sim::ReceivedFiles>();
        notifier.clear();
        useReceiver(o);
        return sender->sendFile(path);
    }
    int count(const std::string& event) const
    {
        const auto e = store->events();
        return static_cast<int>(std::count(e.begin(), e.end(), event));
    }
    std::vector<std::uint8_t> content;
    std::string path;
};

TEST_F(TransferTest, SmallFileGoesThroughTheUsualDialogue)
{
    ASSERT_EQ(sendPattern(100), 0);
    const auto f = onlyFile();
    const Bytes info = path + Bytes(1, '\0') + "100 0 0 0 0 0";
    EXPECT_EQ(f.info, info);
    EXPECT_EQ(f.name, path);
    EXPECT_EQ(f.data, content);
    EXPECT_TRUE(f.complete);
    EXPECT_TRUE(f.crc32);
    EXPECT_THAT(store->events(),
                ElementsAre("<ZRQINIT 0", ">ZRINIT", "<ZFILE 0", "<data k " + std::to_string(info.size()), ">ZRPOS 0",
                            "<ZDATA 0", "<data h 100", "<ZEOF 100", ">ZRINIT", "<ZFIN 0", ">ZFIN 0", "<OO"));
    EXPECT_EQ(host().substr(host().size() - 2), "OO");
    EXPECT_TRUE(notifier.texts().empty());
    EXPECT_FALSE(sender->fileOpen());
    EXPECT_EQ(store->sessionsAborted(), 0);
}

TEST_F(TransferTest, FrameEndsFollowTheReceiverBufferLength)
{
    struct Case {
        std::uint16_t buffer;
        std::size_t size;
        const char* ends;
    };
    const Case cases[] = {
        {0, 3000, "iih"},     {16384, 3000, "iih"}, {1, 3000, "kkh"},   {1024, 3000, "kkh"},
        {1000, 3000, "kkh"},  {2048, 3000, "ikh"},  {2048, 5000, "ikikh"}, {0, 1024, "ih"},
        {1, 1024, "kh"},      {1024, 1024, "kh"},   {0, 0, "h"},  // empty file: one empty subpacket
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("buffer " + std::to_string(c.buffer) + ", size " + std::to_string(c.size));
        sim::ZModemReceiverOptions o;
        o.bufferLength = c.buffer;
        ASSERT_EQ(sendPattern(c.size, o), 0);
        const auto f = onlyFile();
        EXPECT_EQ(f.info, path + Bytes(1, '\0') + std::to_string(c.size) + " 0 0 0 0 0");
        EXPECT_EQ(f.frameEnds, c.ends);
        EXPECT_EQ(f.data, content);
        EXPECT_TRUE(f.complete);
        // After every ZCRCW the sender waits for the ZACK and starts a new frame there.
        EXPECT_EQ(count("<ZDATA 0"), 1);
        EXPECT_EQ(count("<ZEOF " + std::to_string(c.size)), 1);
        std::size_t at = 0;
        for (std::size_t i = 0; i < f.frameEnds.size(); ++i) {
            at += f.subpacketSizes[i];
            if (f.frameEnds[i] == 'k') {
                EXPECT_EQ(count(">ZACK " + std::to_string(at)), 1);
                EXPECT_EQ(count("<ZDATA " + std::to_string(at)), 1);
            }
        }
    }
}

TEST_F(TransferTest, ReceiversThatMisbehaveStillGetTheFile)
{
    using Options = sim::ZModemReceiverOptions;
    using File = sim::ReceivedFile;
    struct Case {
        const char* what;
        std::size_t size;
        std::function<void(Options&)> set;
        std::function<void(const File&, std::int64_t elapsedUs)> check;
    };
    const Case cases[] = {
        {"CRC-16 only", 5000, [](Options& o) { o.crc32 = false; },
         [&](const File& f, std::int64_t) {
             EXPECT_FALSE(f.crc32);
             EXPECT_NE(host().find("*\x18" "A\x04"), Bytes::npos);
             EXPECT_EQ(host().find("*\x18" "C"), Bytes::npos);
         }},
        {"resend asked for mid-stream", 6000, [](Options& o) { o.rewindAt = 3072, o.rewindTo = 1024; },
         [&](const File& f, std::int64_t) {
             // Three subpackets before the request; the first one after it ends with ZCRCW.
             EXPECT_EQ(f.frameEnds, "iiikiiih");
             const auto e = store->events();
             const auto ask = std::find(e.begin(), e.end(), ">ZRPOS 1024");
             ASSERT_NE(ask, e.end());
             EXPECT_NE(std::find(ask, e.end(), "<ZDATA 1024"), e.end());
         }},
        // The CRC of the first P - 1 bytes; the CRC pass leaves the file position at the start.
        {"ZCRC 100", 5000, [](Options& o) { o.crcChallenge = 100; },
         [&](const File& f, std::int64_t) {
             ASSERT_TRUE(f.crcAnswer);
             EXPECT_EQ(*f.crcAnswer, zmtest::crc32Of(content.data(), 99));
         }},
        {"ZCRC 0", 5000, [](Options& o) { o.crcChallenge = 0; },
         [&](const File& f, std::int64_t) {
             ASSERT_TRUE(f.crcAnswer);
             EXPECT_EQ(*f.crcAnswer, zmtest::crc32Of(content.data(), content.size()));
         }},
        {"noise", 20000, [](Options& o) { o.corruptEvery = 3001; },
         [](const File& f, std::int64_t) { EXPECT_GT(f.crcErrors, 0); }},
        // Four XOFFs count as junk: the next subpacket waits for an acknowledgement.
        {"XOFF", 20000, [](Options& o) { o.xoffAt = 3072, o.xoffPauseUs = 1'000'000; },
         [](const File& f, std::int64_t elapsedUs) {
             EXPECT_NE(f.frameEnds.find('k'), std::string::npos);
             EXPECT_GT(elapsedUs, 4'000'000);  // it did wait for each XON
         }},
        {"chatter in replies", 5000, [](Options& o) { o.replyNoise = "garbage\r\n", o.bufferLength = 2048; },
         [](const File&, std::int64_t) {}},
        // ZRINIT instead of an answer to the offer, then five seconds of silence: offered again.
        {"ZRINIT for ZFILE", 100, [](Options& o) { o.zrinitForZfile = 1; },
         [&](const File&, std::int64_t elapsedUs) {
             EXPECT_EQ(count("<ZFILE 0"), 2);
             EXPECT_GE(elapsedUs, 5'000'000);
             EXPECT_LT(elapsedUs, 5'500'000);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Options o;
        c.set(o);
        const auto t0 = clock.nowUs();
        ASSERT_EQ(sendPattern(c.size, o), 0);
        const auto f = onlyFile();
        EXPECT_EQ(f.data, content);
        EXPECT_TRUE(f.complete);
        EXPECT_TRUE(notifier.texts().empty());
        EXPECT_FALSE(sender->fileOpen());
        c.check(f, clock.nowUs() - t0);
    }
}

TEST_F(TransferTest, SkipIsSuccessAndEndsTheSession)
{
    for (bool atOffer : {true, false}) {
        SCOPED_TRACE(atOffer ? "skipped at the offer" : "skipped during the data");
        sim::ZModemReceiverOptions o;
        o.skipFiles = atOffer;
        o.skipAt = atOffer ? o.skipAt : 2048;
        ASSERT_EQ(sendPattern(20000, o), 0);
        EXPECT_TRUE(onlyFile().skipped);
        EXPECT_EQ(count("<ZDATA 0"), atOffer ? 0 : 1);
        EXPECT_EQ(count("<ZEOF 20000"), 0);
        EXPECT_EQ(store->events().back(), "<OO");
        EXPECT_TRUE(notifier.texts().empty());
        EXPECT_FALSE(sender->fileOpen());
    }
}

TEST_F(TransferTest, ProgressGoesToThePhaseMembers)
{
    ASSERT_EQ(sendPattern(10000), 0);
    EXPECT_THAT(progress.bootTexts(), ElementsAre("4K of 9K", "8K of 9K"));
    EXPECT_EQ(progress.bootSentK, 8);
    EXPECT_EQ(progress.bootTotalK, 9);
    EXPECT_EQ(progress.codeTotalK, 100);
    EXPECT_TRUE(progress.codeProgressText.empty());
    sender->reportProgress(9 * 1024);
    EXPECT_EQ(progress.bootProgressText, "9K of 9K");

    progress.clear();
    progress.bootPhase = false;
    ASSERT_EQ(sendPattern(10000), 0);
    EXPECT_THAT(progress.codeTexts(), ElementsAre("4K of 9K", "8K of 9K"));
    EXPECT_EQ(progress.codeSentK, 8);
    EXPECT_EQ(progress.bootProgressText, "9K of 9K");  // untouched
    EXPECT_EQ(progress.bootSentK, 9);
}

TEST_F(TransferTest, FailuresAreReportedInOrderAndNothingFollows)
{
    useReceiver();
    EXPECT_EQ(sender->sendFile("C:\\x.dmf"), -1);
    EXPECT_THAT(notifier.texts(), ElementsAre("Error:Failed to open C:\\x.dmf", "Error:ZModem transfer failed."));
    EXPECT_EQ(count("<ZFIN 0"), 0);
    EXPECT_EQ(count("<ZFILE 0"), 0);

    // A silent receiver: the transfer gives up 10 s after the ZRQINIT.
    sim::ZModemReceiverOptions o;
    o.silentFrom = sim::ReceiverStage::Init;
    const auto t0 = clock.nowUs();
    EXPECT_EQ(sendPattern(100, o), -1);
    EXPECT_THAT(notifier.texts(), ElementsAre("Error:Unable to initialize ZModem transfer."));
    EXPECT_EQ(clock.nowUs() - t0, 21 * 260 + 10'000'000);

    // Cancelled by the receiver in the middle of the data.
    o = {};
    o.cancelAt = 2048;
    EXPECT_EQ(sendPattern(20000, o), -1);
    EXPECT_THAT(notifier.texts(), ElementsAre("Error:ZModem transfer failed."));
    EXPECT_FALSE(sender->fileOpen());
    const Bytes tail = host().substr(host().size() - 2);
    EXPECT_NE(tail, "OO");

    // Silence after the data: ZEOF unanswered.
    o = {};
    o.silentFrom = sim::ReceiverStage::Eof;
    EXPECT_EQ(sendPattern(3000, o), -1);
    EXPECT_THAT(notifier.texts(), ElementsAre("Error:ZModem transfer failed."));
    EXPECT_EQ(count("<ZFIN 0"), 0);
    EXPECT_FALSE(sender->fileOpen());
}

TEST_F(TransferTest, TenHeadersWithoutZrinitGiveUp)
{
    Bytes noise;
    for (int i = 0; i < 10; ++i)
        noise += zmtest::hexHeader(ZFERR, 0);
    script.step("B00000000000000", noise);
    EXPECT_EQ(sender->sendFile(dir.write("a", {1, 2, 3})), -1);
    EXPECT_THAT(notifier.texts(), ElementsAre("Error:Unable to initialize ZModem transfer."));
    const Bytes nak = zmtest::hexHeader(ZNAK, 0);
    int naks = 0;
    for (std::size_t at = host().find(nak); at != Bytes::npos; at = host().find(nak, at + 1))
        ++naks;
    EXPECT_EQ(naks, 10);
}

TEST_F(TransferTest, OneSenderServesFilesInTurn)
{
    ASSERT_EQ(sendPattern(3000), 0);
    EXPECT_EQ(onlyFile().data, content);
    sim::ZModemReceiverOptions o;
    o.crc32 = false;
    o.bufferLength = 1024;
    ASSERT_EQ(sendPattern(2500, o, "g.bin"), 0);
    const auto f = onlyFile();
    EXPECT_EQ(f.data, content);
    EXPECT_FALSE(f.crc32);
    EXPECT_EQ(f.frameEnds, "kkh");
}

}  // namespace
