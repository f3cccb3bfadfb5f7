// Receiver answers that must not be trusted: positions outside the file, ZCRC positions out of
// range, a path too long for the file information, a file too large for 32-bit positions.
// Each must end in a clean failure (message, file closed, nothing read out of bounds) or a
// correct answer.
#include "support/ZModemTestSupport.h"

#include "zmodem/ZModemDefs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace zmodem;
using ::testing::ElementsAre;
using zmtest::Bytes;

const Bytes kZrqinitSeen = "B00000000000000";
const Bytes kZfinSeen = "B0800000000022d";
const Bytes kInfoEnd = "\x18k";

class HostileReceiverTest : public zmtest::SenderFixture {
protected:
    std::string file(std::size_t n)
    {
        content = zmtest::patternBytes(n, 7);
        return dir.write("h.bin", content);
    }
    // ZRINIT (CRC-32, no buffer limit), then the given answer to the file offer.
    void offerAnswer(const Bytes& answer)
    {
        script.step(kZrqinitSeen, zmtest::zrinit(0, true));
        script.step(kInfoEnd, answer);
    }
    void endsNormally() { script.step(kZfinSeen, zmtest::hexHeader(ZFIN, 0)); }
    bool sent(const Bytes& bytes) const { return host().find(bytes) != Bytes::npos; }
    std::vector<std::uint8_t> content;
};

TEST_F(HostileReceiverTest, PositionsOutsideTheFileFailCleanly)
{
    // The position answering the offer (no data may follow), or asked for again after the data.
    const std::pair<std::uint32_t, bool> cases[] = {
        {0xFFFFFFF0u, false}, {0x80000000u, false}, {101u, false}, {999999u, true}, {0xFFFFFFFFu, true}};
    for (const auto& [pos, afterData] : cases) {
        SCOPED_TRACE(::testing::Message() << pos << (afterData ? " after the data" : " at the offer"));
        line.clearRecords();
        notifier.clear();
        script = zmtest::ScriptedPeer();
        offerAnswer(zmtest::hexHeader(ZRPOS, afterData ? 0 : pos));
        if (afterData)
            script.step(zmtest::binHeader(ZEOF, 3000, true), zmtest::hexHeader(ZRPOS, pos));
        EXPECT_EQ(sender->sendFile(file(afterData ? 3000 : 100)), -1);
        EXPECT_THAT(notifier.texts(), ElementsAre("Error:ZModem transfer failed."));
        EXPECT_FALSE(sender->fileOpen());
        EXPECT_EQ(sent("*\x18" "C\x0a"), afterData);  // ZDATA only when the start was in the file
    }
}

TEST_F(HostileReceiverTest, ResumeAtTheEndSendsOnlyTheEnd)
{
    offerAnswer(zmtest::hexHeader(ZRPOS, 100));
    script.step(zmtest::binHeader(ZEOF, 100, true), zmtest::zrinit(0, true));
    endsNormally();
    EXPECT_EQ(sender->sendFile(file(100)), 0);
    EXPECT_TRUE(notifier.texts().empty());
    const Bytes zdata = zmtest::binHeader(ZDATA, 100, true);
    ASSERT_TRUE(sent(zdata));
    // ZDATA 100 is followed directly by the empty ZCRCE subpacket.
    EXPECT_EQ(host().substr(host().find(zdata) + zdata.size(), 2), "\x18h");
    EXPECT_EQ(host().substr(host().size() - 2), "OO");
}

TEST_F(HostileReceiverTest, ZcrcPositionsOutOfRangeCoverWhatTheFileHas)
{
    struct Case {
        std::uint32_t position;
        std::size_t covered;
    };
    const Case cases[] = {{0xFFFFFFFFu, 500}, {550u, 500}, {501u, 500}, {1u, 0}, {2u, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        script = zmtest::ScriptedPeer();
        const std::string p = file(500);
        const std::uint32_t crc = zmtest::crc32Of(content.data(), c.covered);
        offerAnswer(zmtest::hexHeader(ZCRC, c.position));
        // Only the right answer gets the transfer going; then skip the file.
        script.step(zmtest::binHeader(ZCRC, crc, true), zmtest::hexHeader(ZSKIP, 0));
        endsNormally();
        EXPECT_EQ(sender->sendFile(p), 0);
        EXPECT_TRUE(notifier.texts().empty());
        EXPECT_FALSE(sender->fileOpen());
    }
}

TEST_F(HostileReceiverTest, PathTooLongForTheFileInformationIsRefused)
{
    // Information text: path, zero byte, "5", " 0 0 0 0 0" and, in the buffer, its terminator.
    const std::string base = dir.path() + "/";
    auto pathOfLength = [&](std::size_t total) {
        std::string p = base;
        while (p.size() + 2 < total)
            p += "./";
        if (p.size() + 1 < total)
            p += "/";
        return p + "x";
    };
    dir.write("x", {1, 2, 3, 4, 5});
    const std::string fits = pathOfLength(1024 - 12 - 1);
    ASSERT_EQ(fits.size(), 1011u);
    useReceiver();
    ASSERT_EQ(sender->sendFile(fits), 0);
    EXPECT_EQ(onlyFile().info.size(), 1023u);
    EXPECT_EQ(onlyFile().data.size(), 5u);

    const std::string tooLong = pathOfLength(1012);
    ASSERT_EQ(tooLong.size(), 1012u);
    store = std::make_shared<sim::ReceivedFiles>();
    useReceiver();
    EXPECT_EQ(sender->sendFile(tooLong), -1);
    EXPECT_THAT(notifier.texts(),
                ElementsAre("Error:File path too long for ZModem transfer.", "Error:ZModem transfer failed."));
    EXPECT_FALSE(sender->fileOpen());
    EXPECT_TRUE(store->files().empty());  // never offered
}

TEST_F(HostileReceiverTest, FileBeyondTwoGibibytesIsRefused)
{
    const std::string p = dir.path() + "/big.dmf";
    dir.write("big.dmf", {});
    std::error_code ec;
    std::filesystem::resize_file(p, (std::uintmax_t{1} << 31), ec);  // sparse: no disk used
    ASSERT_FALSE(ec) << "cannot make a sparse file here: " << ec.message();
    useReceiver();
    EXPECT_EQ(sender->sendFile(p), -1);
    EXPECT_THAT(notifier.texts(),
                ElementsAre("Error:File too large for ZModem transfer: " + p, "Error:ZModem transfer failed."));
    EXPECT_FALSE(sender->fileOpen());
    EXPECT_TRUE(store->files().empty());
}

}  // namespace
