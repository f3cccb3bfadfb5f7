// Whole transfers on virtual time: one recorded dialogue through every answer path of the offer
// and of the data phase (bytes out compared whole), the frame-end rules per buffer length,
// receivers that misbehave, answers that must not be trusted, and the failure messages.
#include "support/ZModemTestSupport.h"

#include "zmodem/ZModemDefs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

namespace {

using namespace zmodem;
using ::testing::ElementsAre;
using zmtest::Bytes;
using zmtest::binHeader;
using zmtest::hexHeader;
using zmtest::subpacket;

const Bytes kZrqinitSeen = "B00000000000000";
const Bytes kZfinSeen = "B0800000000022d";
const Bytes kInfoEnd = "\x18k";
const std::string kFailed = "Error:ZModem transfer failed.";

class TransferTest : public zmtest::SenderFixture {
protected:
    // Sends a file of n pattern bytes to a fresh receiver with the given options.
    int sendPattern(std::size_t n, const sim::ZModemReceiverOptions& o = {})
    {
        content = zmtest::patternBytes(n);
        path = write("f.bin", content);
        store = std::make_shared<sim::ReceivedFiles>();
        notifier.clear();
        line.clearRecords();
        useReceiver(o);
        return sender->sendFile(path);
    }
    // A fresh script at the far end, answering ZRQINIT with ZRINIT (CRC-32, no buffer limit)
    // unless told otherwise.
    void scripted(const Bytes& answer = zmtest::zrinit())
    {
        script = zmtest::ScriptedPeer();
        line.setPeer(script);
        line.clearRecords();
        notifier.clear();
        script.step(kZrqinitSeen, answer);
    }
    int count(const std::string& event) const
    {
        const auto e = store->events();
        return static_cast<int>(std::count(e.begin(), e.end(), event));
    }
    Bytes part(std::size_t from, std::size_t to) const { return Bytes(content.begin() + from, content.begin() + to); }
    std::vector<std::uint8_t> content;
    std::string path;
};

TEST_F(TransferTest, RecordedDialogueThroughEveryAnswerPath)
{
    content.resize(10000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>('a' + i * 7 % 26);
    const auto info = [](const std::string& p) { return subpacket(p + Bytes(1, '\0') + "10000 0 0 0 0 0", ZCRCW, true); };
    // The ZCRC header's type byte is a CR, sent escaped right after an '@': the temporary folder's
    // random name must not end the offer's check in one (0x40 or 0xC0).
    for (char name = 'd'; (info(path = write(std::string(1, name) + ".bin", content)).back() & 0x7F) == 0x40; ++name) {
    }
    const std::uint32_t crc8999 = zmtest::crc32Of(content.data(), 8999);
    const auto changeFile = [&] {
        content[0] = 'Z';
        std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).put('Z');
    };
    Bytes garbled = hexHeader(ZRPOS, 0);
    garbled[10] = '1';
    scripted();
    script.step(kInfoEnd, garbled);  // offered again
    script.step(kInfoEnd, hexHeader(ZCRC, 9000));
    // Asked again for the same position after the file changed: the value already computed.
    script.step(binHeader(ZCRC, crc8999, true), hexHeader(ZCRC, 9000), changeFile);
    script.step(binHeader(ZCRC, crc8999, true), hexHeader(ZCRC, 0));
    // Back at its start, then a NUL: offered again at once, not after five quiet seconds.
    script.step("*\x18" "C\x0d", zmtest::zrinit() + Bytes(1, '\0'));
    script.step(kInfoEnd, hexHeader(ZRPOS, 0));
    script.step("\x18i", hexHeader(ZRPOS, 512));  // after the first subpacket
    script.step("\x18k", hexHeader(ZACK, 1536));
    script.step("\x18i", hexHeader(ZACK, 0));  // a stale acknowledgement: the stream goes on
    script.step(binHeader(ZEOF, 10000, true), zmtest::zrinit());
    script.step(kZfinSeen, hexHeader(ZFIN, 0));

    ASSERT_EQ(sender->sendFile(path), 0);
    const Bytes offer = binHeader(ZFILE, 0, true) + info(path) + "\x11";
    Bytes expected =
        hexHeader(ZRQINIT, 0) + offer + offer + binHeader(ZCRC, crc8999, true) + binHeader(ZCRC, crc8999, true) +
        binHeader(ZCRC, zmtest::crc32Of(content.data(), 10000), true) + offer +
        binHeader(ZDATA, 0, true) + subpacket(part(0, 1024), ZCRCG, true) + subpacket("", ZCRCE, true) +
        binHeader(ZDATA, 512, true) + subpacket(part(512, 1536), ZCRCW, true) + "\x11" + binHeader(ZDATA, 1536, true);
    for (std::size_t at = 1536; at < 10000; at += 1024)
        expected += subpacket(part(at, std::min<std::size_t>(at + 1024, 10000)), at + 1024 < 10000 ? ZCRCG : ZCRCE, true);
    expected += binHeader(ZEOF, 10000, true) + hexHeader(ZFIN, 0) + "OO";
    EXPECT_EQ(host(), expected);
    EXPECT_LT(clock.nowUs(), 5'000'000);
    EXPECT_TRUE(notifier.texts().empty());
    EXPECT_FALSE(sender->fileOpen());
    EXPECT_THAT(progress.bootTexts(), ElementsAre("4K of 9K", "8K of 9K"));
    EXPECT_EQ(progress.bootTotalK, 9);
    EXPECT_EQ(progress.codeTotalK, 100);  // the other phase untouched
}

TEST_F(TransferTest, ZcrcPositionsOutsideTheFileCoverWhatItHas)
{
    const std::pair<std::uint32_t, std::size_t> cases[] = {{0xFFFFFFFFu, 500}, {550u, 500}, {501u, 500}, {1u, 0}, {2u, 1}};
    for (const auto& [position, covered] : cases) {
        SCOPED_TRACE(position);
        content = zmtest::patternBytes(500, 7);
        path = write("h.bin", content);
        scripted();
        script.step(kInfoEnd, hexHeader(ZCRC, position));
        script.step("*\x18" "C\x0d", hexHeader(ZSKIP, 0));  // declined: the transfer ends there
        EXPECT_EQ(sender->sendFile(path), -1);
        EXPECT_NE(host().find(binHeader(ZCRC, zmtest::crc32Of(content.data(), covered), true)), Bytes::npos);
    }
}

TEST_F(TransferTest, FrameEndsFollowTheReceiverBufferLength)
{
    // The receiver's buffer length, the file's size, and the ends of its subpackets.
    const std::tuple<std::uint16_t, std::size_t, const char*> cases[] = {
        {0, 3000, "iih"},     {16384, 3000, "iih"}, {1, 3000, "kkh"},   {1024, 3000, "kkh"},
        {1000, 3000, "kkh"},  {2048, 3000, "ikh"},  {2048, 5000, "ikikh"}, {0, 1024, "ih"},
        {1, 1024, "kh"},      {1024, 1024, "kh"},   {0, 0, "h"},  // empty file: one empty subpacket
    };
    for (const auto& [buffer, size, ends] : cases) {
        SCOPED_TRACE("buffer " + std::to_string(buffer) + ", size " + std::to_string(size));
        sim::ZModemReceiverOptions o;
        o.bufferLength = buffer;
        ASSERT_EQ(sendPattern(size, o), 0);
        const auto f = onlyFile();
        EXPECT_EQ(f.frameEnds, ends);
        EXPECT_EQ(f.data, content);
    }
}

TEST_F(TransferTest, ReceiversThatMisbehaveStillGetTheFile)
{
    using Options = sim::ZModemReceiverOptions;
    using File = sim::ReceivedFile;
    // What the receiver does, the file's size, how the receiver is set, and the check of the file.
    using Case = std::tuple<const char*, std::size_t, std::function<void(Options&)>,
                            std::function<void(const File&, std::int64_t elapsedUs)>>;
    const auto arrived = [&](const File& f) {
        EXPECT_EQ(f.data, content);
        EXPECT_TRUE(f.complete);
    };
    const Case cases[] = {
        {"noise", 20000, [](Options& o) { o.corruptEvery = 3001; },
         [&](const File& f, std::int64_t) { arrived(f); EXPECT_GT(f.crcErrors, 0); }},
        {"CRC-16 only", 5000, [](Options& o) { o.crc32 = false; },
         [&](const File& f, std::int64_t) {
             arrived(f);
             EXPECT_FALSE(f.crc32);
             EXPECT_EQ(host().find("*\x18" "C"), Bytes::npos);
         }},
        // An XOFF every 3 KiB: the fourth makes the next subpacket wait for an acknowledgement.
        {"XOFF", 20000, [](Options& o) { o.xoffAt = 3072, o.xoffPauseUs = 1'000'000; },
         [&](const File& f, std::int64_t elapsedUs) {
             arrived(f);
             EXPECT_EQ(f.frameEnds, "iiiiiiiiiikiiiiiiiih");
             EXPECT_GT(elapsedUs, 4'000'000);  // it did wait for each XON
         }},
        // ZRINIT instead of an answer to the offer, then five seconds of silence: offered again.
        {"ZRINIT for ZFILE", 100, [](Options& o) { o.zrinitForZfile = 1; },
         [&](const File& f, std::int64_t elapsedUs) {
             arrived(f);
             EXPECT_EQ(count("<ZFILE 0"), 2);
             EXPECT_GE(elapsedUs, 5'000'000);
             EXPECT_LT(elapsedUs, 5'500'000);
         }},
    };
    for (const auto& [what, size, set, check] : cases) {
        SCOPED_TRACE(what);
        Options o;
        set(o);
        const auto t0 = clock.nowUs();
        ASSERT_EQ(sendPattern(size, o), 0);
        EXPECT_EQ(store->events().back(), "<OO");
        EXPECT_TRUE(notifier.texts().empty());
        EXPECT_FALSE(sender->fileOpen());
        check(onlyFile(), clock.nowUs() - t0);
    }
}

TEST_F(TransferTest, FailuresAreReportedInOrderAndNothingFollows)
{
    // The case, its set-up (giving the path to send), the messages shown, and a further check.
    using Case = std::tuple<const char*, std::function<std::string()>, std::vector<std::string>,
                            std::function<void(std::int64_t elapsedUs)>>;
    const auto receiver = [&](std::function<void(sim::ZModemReceiverOptions&)> set, std::size_t n) {
        return [=, this] {
            sim::ZModemReceiverOptions o;
            set(o);
            useReceiver(o);
            return write("f.bin", zmtest::patternBytes(n));
        };
    };
    // A position outside the file, answering the offer (no data may follow) or after the data.
    const auto outside = [&](std::uint32_t pos, bool afterData) {
        return Case{"position outside the file", [=, this] {
                        scripted();
                        script.step(kInfoEnd, hexHeader(ZRPOS, afterData ? 0 : pos));
                        script.step(binHeader(ZEOF, 3000, true), hexHeader(ZRPOS, pos));
                        return write("h.bin", zmtest::patternBytes(afterData ? 3000 : 100));
                    },
                    {kFailed}, [=, this](std::int64_t) { EXPECT_EQ(host().find("*\x18" "C\x0a") != Bytes::npos, afterData); }};
    };
    // The information text and its terminating zero must fit 1024 bytes: 1011 + 1 + "5 0 0 0 0 0".
    write("x", {1, 2, 3, 4, 5});
    const auto pathOfLength = [&](std::size_t total) {
        std::string p = dir.path().string() + "/";
        while (p.size() + 2 < total)
            p += "./";
        return (p.size() + 1 < total ? p + "/" : p) + "x";
    };
    const std::string big = dir.file("big.dmf");
    const std::string init = "Error:Unable to initialize ZModem transfer.";
    const Case cases[] = {
        {"no such file", [&] { return useReceiver(), std::string("C:\\x.dmf"); },
         {"Error:Failed to open C:\\x.dmf", kFailed}, [&](std::int64_t) { EXPECT_TRUE(store->files().empty()); }},
        {"silent receiver: 10 s after the ZRQINIT",
         receiver([](auto& o) { o.silentFrom = sim::ReceiverStage::Init; }, 100), {init},
         [](std::int64_t elapsedUs) { EXPECT_EQ(elapsedUs, 21 * 260 + 10'000'000); }},
        {"ten headers without ZRINIT, even with one to follow",
         [&] {
             Bytes noise;
             for (int i = 0; i < 10; ++i)
                 noise += hexHeader(ZFERR, 0);
             scripted(noise + zmtest::zrinit());
             return write("a", {1, 2, 3});
         },
         {init}, nullptr},
        {"cancelled in the data", receiver([](auto& o) { o.cancelAt = 2048; }, 20000), {kFailed},
         [&](std::int64_t) { EXPECT_EQ(count("<OO"), 0); }},
        {"ZEOF unanswered", receiver([](auto& o) { o.silentFrom = sim::ReceiverStage::Eof; }, 3000), {kFailed},
         [&](std::int64_t) { EXPECT_EQ(count("<ZFIN 0"), 0); }},
        // Found by fault_campaign (seeds 19, 102, 294): a ZRINIT before the ZEOF is no success;
        // a ZFERR, which the receiver repeats on every ZNAK, ends the transfer; so does a line
        // that spoils every frame at the same place.
        {"ZRINIT in mid-stream", receiver([](auto& o) { o.strayAt = 3000, o.strayType = ZRINIT; }, 9000), {kFailed},
         [&](std::int64_t) { EXPECT_EQ(count("<ZFIN 0"), 0); }},
        // A file the receiver declines has not arrived: no success, and nothing more is sent.
        {"skipped at the offer", receiver([](auto& o) { o.skipFiles = true; }, 20000), {kFailed},
         [&](std::int64_t) { EXPECT_TRUE(onlyFile().skipped); EXPECT_EQ(count("<ZDATA 0") + count("<ZFIN 0"), 0); }},
        {"skipped during the data", receiver([](auto& o) { o.skipAt = 2048; }, 20000), {kFailed},
         [&](std::int64_t) { EXPECT_TRUE(onlyFile().skipped); EXPECT_EQ(count("<ZEOF 20000") + count("<ZFIN 0"), 0); }},
        {"ZFERR", receiver([](auto& o) { o.strayAt = 974, o.strayType = ZFERR, o.strayPosition = 1; }, 2000), {kFailed},
         [&](std::int64_t) { EXPECT_EQ(count("<ZNAK 0"), 0); }},
        // Found by fuzz_sender: CTS held off past the write time-out of every byte of the ZEOF,
        // so none left, and a ZRINIT came all the same (stale, or from a receiver that started
        // afresh). It answers nothing the sender sent. A clean run first tells when the ZEOF
        // goes out; the second holds CTS off from just before it.
        {"ZEOF lost to CTS, then a ZRINIT",
         [&] {
             const std::string p = write("e.bin", {});
             const auto offer = [&] {
                 scripted();
                 script.step(kInfoEnd, hexHeader(ZRPOS, 0));
                 return clock.nowUs();
             };
             const auto t0 = offer();
             script.step(binHeader(ZEOF, 0, true), zmtest::zrinit());
             script.step(kZfinSeen, hexHeader(ZFIN, 0));
             EXPECT_EQ(sender->sendFile(p), 0);
             const auto writes = line.hostWrites();
             const std::size_t eof = host().find(binHeader(ZEOF, 0, true));
             EXPECT_TRUE(eof != Bytes::npos && eof > 0);
             const std::int64_t before = (eof != Bytes::npos && eof > 0 ? writes[eof - 1].atUs : 0) - t0;
             const auto t1 = offer();
             sim::LineFaults f;
             f.ctsOffFromUs = t1 + before + 1, f.ctsOffUntilUs = t1 + before + 3'000'000;
             line.setFaults(f);
             // The ZRINIT comes once the sender has moved on to its ZEOF, and the ZFIN is answered
             // too: nothing but the ZEOF's loss stands between this and a success.
             script.step(subpacket("", ZCRCE, true), "", [&] {
                 script.sayAt(zmtest::zrinit() + hexHeader(ZFIN, 0), clock.nowUs() + 100'000);
             });
             return p;
         },
         {kFailed},
         [&](std::int64_t) {
             line.setFaults({});
             EXPECT_EQ(host().find(binHeader(ZEOF, 0, true)), Bytes::npos);  // it never left
             EXPECT_EQ(host().find(hexHeader(ZFIN, 0)), Bytes::npos);
         }},
        {"every frame spoilt", receiver([](auto& o) { o.corruptEvery = 300, o.bufferLength = 1; }, 2383), {kFailed},
         [&](std::int64_t) { EXPECT_EQ(onlyFile().resyncs, 13); }},
        outside(0xFFFFFFF0u, false), outside(0x80000000u, false), outside(101u, false), outside(999999u, true),
        outside(0xFFFFFFFFu, true),
        {"path too long", [&] { return pathOfLength(1012); },
         {"Error:File path too long for ZModem transfer.", kFailed}, nullptr},
        {"file beyond 2 GiB",
         [&] {
             std::filesystem::resize_file(write("big.dmf", {}), std::uintmax_t{1} << 31);  // sparse
             return big;
         },
         {"Error:File too large for ZModem transfer: " + big, kFailed}, nullptr},
    };
    for (const auto& [what, setUp, texts, check] : cases) {
        SCOPED_TRACE(what);
        store = std::make_shared<sim::ReceivedFiles>();
        useReceiver();
        notifier.clear();
        const std::string p = setUp();
        const auto t0 = clock.nowUs();
        EXPECT_EQ(sender->sendFile(p), -1);
        EXPECT_EQ(notifier.texts(), texts);
        EXPECT_FALSE(sender->fileOpen());
        if (check)
            check(clock.nowUs() - t0);
    }
    // The longest path that fits is sent.
    store = std::make_shared<sim::ReceivedFiles>();
    useReceiver();
    ASSERT_EQ(sender->sendFile(pathOfLength(1011)), 0);
    EXPECT_EQ(onlyFile().info.size(), 1023u);
}

}  // namespace
