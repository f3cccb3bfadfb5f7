#pragma once
// ZModemReceiver: the receiving side of ZModem for the virtual module and for tests (never part
// of the product). One object is one download session (IReceiveSession): it answers a hex
// ZRQINIT with ZRINIT (buffer length in ZP0/ZP1, CANFC32 in ZF0 unless CRC-16 only), a ZFILE
// with ZRPOS 0 (or ZSKIP), a subpacket ending ZCRCW with ZACK at the received position, a ZEOF
// at the end of the received data with ZRINIT, a ZFIN with ZFIN, and then waits for "OO".
// Every header and subpacket check (CRC-16 or CRC-32, by the kind of the last binary header) is
// verified; a bad subpacket is answered with ZRPOS at the last good position, like a real
// receiver. What arrives goes into a shared ReceivedFiles store (file information, data, frame
// ends, an event log) that tests examine, also while the session runs on another thread.
// Options make it misbehave on purpose (see ZModemReceiverOptions). All answers are queued in
// the module's output queue with times; nothing blocks and no clock is read.

#include "sim/IReceiveSession.h"
#include "sim/TimedByteQueue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct ReceivedFile {
    std::string info;                    // the whole ZFILE information subpacket
    std::string name;                    // info up to its first zero byte
    std::int64_t announcedSize = -1;     // the first number after the name; -1 when missing
    std::vector<std::uint8_t> data;      // the file as far as it has been received
    bool complete = false;               // a ZEOF arrived at the end of the received data
    bool skipped = false;                // the receiver answered ZSKIP
    bool crc32 = false;                  // the file's data frames carried CRC-32
    std::string frameEnds;               // end letter ('g'..'k' as sent) of each good data subpacket
    std::vector<std::size_t> subpacketSizes;  // data bytes in each good data subpacket
    int crcErrors = 0;                   // data subpackets that failed their check
    std::optional<std::uint32_t> crcAnswer;   // the sender's answer to a ZCRC challenge
    int resyncs = 0;                     // ZRPOS sent after the data began (a resend asked for)
    std::int64_t dataStartUs = -1;       // arrival of the ZDATA header at position 0
    std::int64_t dataEndUs = -1;         // arrival of the ZEOF that completed the file
};

// Where sessions put what they receive. Shared between sessions (e.g. the boot and the code
// download of one upgrade) and the test. Thread-safe; the accessors return copies.
class ReceivedFiles {
public:
    std::vector<ReceivedFile> files() const;
    // The wire dialogue as seen by the receivers: "<" for what the sender sent, ">" for answers,
    // e.g. "<ZRQINIT 0", ">ZRINIT", "<ZFILE 0", "<data k 37", ">ZRPOS 0", "<ZDATA 0",
    // "<data h 12", "<ZEOF 12", ">ZRINIT", "<ZFIN 0", ">ZFIN 0", "<OO". Header events carry the position
    // field (ZRINIT's flags are left out); bad subpackets read "<data bad".
    std::vector<std::string> events() const;
    int sessionsStarted() const;
    int sessionsFinished() const;
    // The session has given up or was cancelled (no "OO" seen), counted per session.
    int sessionsAborted() const;

    // --- used by the sessions ---
    std::size_t addFile(ReceivedFile f);
    template <typename F>
    void modifyFile(std::size_t index, F&& f)
    {
        std::lock_guard lock(mutex_);
        f(files_[index]);
    }
    void addEvent(std::string e);
    void sessionStarted();
    void sessionFinished(bool aborted);

private:
    mutable std::mutex mutex_;
    std::vector<ReceivedFile> files_;
    std::vector<std::string> events_;
    int started_ = 0;
    int finished_ = 0;
    int aborted_ = 0;
};

// Point from which the receiver stops answering altogether ("silence").
enum class ReceiverStage { Never, Init, File, Data, Eof, Fin };

struct ZModemReceiverOptions {
    std::uint16_t bufferLength = 0;    // ZRINIT ZP0/ZP1: 0 = the whole file without a stop
    bool crc32 = true;                 // false: CRC-16 only (CANFC32 not offered)
    bool skipFiles = false;            // answer every ZFILE with ZSKIP
    std::int64_t skipAt = -1;          // send ZSKIP once this many data bytes have arrived
    std::int32_t crcChallenge = -1;    // answer a ZFILE first with ZCRC at this position
    int zrinitForZfile = 0;            // answer the first N ZFILE offers with ZRINIT (then silence)
    std::int64_t rewindAt = -1;        // once this many data bytes have arrived, ask once for a
    std::int64_t rewindTo = 0;         //   resend from rewindTo with ZRPOS
    std::uint32_t corruptEvery = 0;    // flip one bit of every Nth data-phase byte from the sender
    std::int64_t cancelAt = -1;        // once this many data bytes have arrived, send cancelBytes
    int cancelBytes = 8;               //   CAN bytes (5 or more also end the session)
    std::int64_t xoffAt = -1;          // once this many data bytes have arrived, send XOFF and,
    std::int64_t xoffPauseUs = 1'000'000;  // this much later, XON (repeats every xoffAt bytes)
    // Once this many data bytes have arrived, one header nobody asked for: strayType with
    // strayPosition (a ZRPOS or ZACK for a wrong position, ZSKIP, ZFERR, ZCAN, ...), or with
    // strayType -1 the last header sent once more (a stale one).
    std::int64_t strayAt = -1;
    int strayType = -1;
    std::uint32_t strayPosition = 0;
    bool answerTwice = false;          // every header it sends goes out twice
    ReceiverStage silentFrom = ReceiverStage::Never;
    std::string replyNoise;            // bytes sent before every header the receiver sends
    std::int64_t replyDelayUs = 0;     // think time before each answer
    std::int64_t ooWaitUs = 2'000'000; // how long to wait for "OO" after answering ZFIN
    std::int64_t giveUpUs = 60'000'000;  // host silence after which the session gives up
};

class ZModemReceiver final : public IReceiveSession {
public:
    ZModemReceiver(TimedByteQueue& out, std::int64_t usPerByte, std::int64_t nowUs,
                   ZModemReceiverOptions options, std::shared_ptr<ReceivedFiles> store);
    ~ZModemReceiver() override;

    void advance(std::int64_t nowUs) override;
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) override;
    std::int64_t nextEventUs() const override;
    bool finished() const override { return finished_; }

    // A factory for the virtual module: every download gets a new session on the same store.
    static ReceiveSessionFactory factory(ZModemReceiverOptions options, std::shared_ptr<ReceivedFiles> store);

    // Appends the bytes of a hex header (as a receiver sends it) to wire.
    static void appendHexHeader(std::string& wire, int type, const std::uint8_t header[4]);

private:
    enum class State { Hunt, Pad, Kind, Hex, Binary, Data, Crc };
    enum class DataUse { FileInfo, FileData };

    void take(std::uint8_t b);
    void onHeader(int type, const std::uint8_t* h);
    void onSubpacket(bool good, int frameEnd);
    void onFileInfo(int frameEnd);
    void onFileData(int frameEnd);
    void answerOffer();
    void sendHeader(int type, std::uint32_t value);
    // ZRPOS asking for the data again from position, counted as a resynchronisation.
    void requestResend(std::uint32_t position);
    void sendRaw(const std::string& bytes);
    void sendZrinit();
    void finish(bool aborted);
    void hunt();
    bool silent(ReceiverStage stage) const;
    // Undoes the escaping of one data-phase byte: 0..255, a frame end (0x100 + letter),
    // -1 nothing yet (ZDLE or flow control), -2 a bad escape, -3 cancelled.
    int unescape(std::uint8_t b);
    std::int64_t dataSize() const;

    TimedByteQueue& out_;
    std::int64_t usPerByte_;
    std::int64_t now_;
    ZModemReceiverOptions opt_;
    std::shared_ptr<ReceivedFiles> store_;

    State state_ = State::Hunt;
    bool finished_ = false;
    int cans_ = 0;             // CAN bytes in a row
    bool escape_ = false;
    int kind_ = 0;             // 'A', 'B' or 'C' of the header being read
    bool dataCrc32_ = false;   // check kind of the subpackets that follow the last binary header
    std::string field_;        // header bytes (decoded) or hex digits being collected
    std::vector<std::uint8_t> packet_;
    int frameEnd_ = 0;
    std::string crcBytes_;
    DataUse use_ = DataUse::FileInfo;

    std::optional<std::size_t> file_;  // index in the store of the file being received
    std::vector<std::uint8_t> data_;   // local copy of its data (the store gets each good subpacket)
    bool discarding_ = false;          // waiting for ZDATA at the position last asked for
    bool rewound_ = false;
    bool skipSent_ = false;
    bool declined_ = false;  // the current file was answered with ZSKIP
    bool cancelSent_ = false;
    bool straySent_ = false;
    std::int64_t nextXoffAt_ = -1;
    int offersSeen_ = 0;
    bool challengePending_ = false;
    bool awaitingOo_ = false;
    int ohs_ = 0;                      // 'O' bytes seen while waiting for "OO"
    std::uint32_t dataBytesSeen_ = 0;  // for corruptEvery
    std::string lastHeader_;           // the last header sent, repeated on the sender's ZNAK

    std::int64_t lastHostByteUs_;
    std::int64_t xonAtUs_ = TimedByteQueue::kNever;
    std::int64_t ooDeadlineUs_ = TimedByteQueue::kNever;
};

}  // namespace sim
