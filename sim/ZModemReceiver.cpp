#include "sim/ZModemReceiver.h"

#include "zmodem/CCrc16.h"
#include "zmodem/CCrc32.h"
#include "zmodem/ZModemDefs.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

using namespace zmodem;

namespace {

const char* typeName(int type)
{
    static const char* const names[] = {"ZRQINIT", "ZRINIT", "ZSINIT", "ZACK", "ZFILE", "ZSKIP", "ZNAK",
                                        "ZABORT", "ZFIN", "ZRPOS", "ZDATA", "ZEOF", "ZFERR", "ZCRC",
                                        "ZCHALLENGE", "ZCOMPL", "ZCAN", "ZFREECNT", "ZCOMMAND", "ZSTDERR"};
    return type >= 0 && type < 20 ? names[type] : "Z?";
}

std::uint32_t positionOf(const std::uint8_t* h)
{
    return static_cast<std::uint32_t>(h[0]) | static_cast<std::uint32_t>(h[1]) << 8 |
           static_cast<std::uint32_t>(h[2]) << 16 | static_cast<std::uint32_t>(h[3]) << 24;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isFlowControl(std::uint8_t b)
{
    return b == XON || b == XOFF || b == (XON | 0x80) || b == (XOFF | 0x80);
}

}  // namespace

// ---------------------------------------------------------------- ReceivedFiles

std::vector<ReceivedFile> ReceivedFiles::files() const
{
    std::lock_guard lock(mutex_);
    return files_;
}

std::vector<std::string> ReceivedFiles::events() const
{
    std::lock_guard lock(mutex_);
    return events_;
}

int ReceivedFiles::sessionsStarted() const
{
    std::lock_guard lock(mutex_);
    return started_;
}

int ReceivedFiles::sessionsFinished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

int ReceivedFiles::sessionsAborted() const
{
    std::lock_guard lock(mutex_);
    return aborted_;
}

std::size_t ReceivedFiles::addFile(ReceivedFile f)
{
    std::lock_guard lock(mutex_);
    files_.push_back(std::move(f));
    return files_.size() - 1;
}

void ReceivedFiles::addEvent(std::string e)
{
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(e));
}

void ReceivedFiles::sessionStarted()
{
    std::lock_guard lock(mutex_);
    ++started_;
}

void ReceivedFiles::sessionFinished(bool aborted)
{
    std::lock_guard lock(mutex_);
    ++finished_;
    if (aborted)
        ++aborted_;
}

// ---------------------------------------------------------------- ZModemReceiver

ZModemReceiver::ZModemReceiver(TimedByteQueue& out, std::int64_t usPerByte, std::int64_t nowUs,
                               ZModemReceiverOptions options, std::shared_ptr<ReceivedFiles> store)
    : out_(out), usPerByte_(usPerByte), now_(nowUs), opt_(std::move(options)),
      store_(store ? std::move(store) : std::make_shared<ReceivedFiles>()), lastHostByteUs_(nowUs)
{
    store_->sessionStarted();
    nextXoffAt_ = opt_.xoffAt;
}

ZModemReceiver::~ZModemReceiver()
{
    if (!finished_) {
        store_->addEvent("!dropped");
        store_->sessionFinished(true);
    }
}

ReceiveSessionFactory ZModemReceiver::factory(ZModemReceiverOptions options, std::shared_ptr<ReceivedFiles> store)
{
    return [options, store](TimedByteQueue& out, std::int64_t usPerByte, std::int64_t nowUs) {
        return std::make_unique<ZModemReceiver>(out, usPerByte, nowUs, options, store);
    };
}

void ZModemReceiver::appendHexHeader(std::string& wire, int type, const std::uint8_t header[4])
{
    static const char digits[] = "0123456789abcdef";
    auto hex = [&](std::uint8_t v) {
        wire += digits[v >> 4];
        wire += digits[v & 15];
    };
    wire += "**";
    wire += static_cast<char>(ZDLE);
    wire += static_cast<char>(ZHEX);
    CCrc16 crc(0);
    const auto t = static_cast<std::uint8_t>(type);
    hex(t);
    crc.update(t);
    for (int i = 0; i < 4; ++i) {
        hex(header[i]);
        crc.update(header[i]);
    }
    crc.update(0);
    crc.update(0);
    hex(static_cast<std::uint8_t>(crc.value() >> 8));
    hex(static_cast<std::uint8_t>(crc.value() & 0xFF));
    wire += '\r';
    wire += static_cast<char>(0x8A);
    if (type != ZFIN && type != ZACK)
        wire += static_cast<char>(XON);
}

void ZModemReceiver::advance(std::int64_t nowUs)
{
    now_ = std::max(now_, nowUs);
    if (finished_)
        return;
    if (xonAtUs_ <= now_) {
        const std::uint8_t xon = XON;
        out_.push(&xon, 1, xonAtUs_, usPerByte_);
        xonAtUs_ = TimedByteQueue::kNever;
    }
    if (ooDeadlineUs_ <= now_) {
        store_->addEvent("!no OO");
        finish(true);
        return;
    }
    if (now_ - lastHostByteUs_ >= opt_.giveUpUs) {
        store_->addEvent("!gave up");
        finish(true);
    }
}

std::int64_t ZModemReceiver::nextEventUs() const
{
    if (finished_)
        return TimedByteQueue::kNever;
    return std::min({xonAtUs_, ooDeadlineUs_, lastHostByteUs_ + opt_.giveUpUs});
}

void ZModemReceiver::receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs)
{
    now_ = std::max(now_, nowUs);
    lastHostByteUs_ = now_;
    for (std::size_t i = 0; i < n && !finished_; ++i)
        take(data[i]);
}

bool ZModemReceiver::silent(ReceiverStage stage) const
{
    return opt_.silentFrom != ReceiverStage::Never && stage >= opt_.silentFrom;
}

void ZModemReceiver::hunt()
{
    state_ = State::Hunt;
    escape_ = false;
    field_.clear();
}

std::int64_t ZModemReceiver::dataSize() const
{
    return static_cast<std::int64_t>(data_.size());
}

int ZModemReceiver::unescape(std::uint8_t b)
{
    if (escape_) {
        // Flow control inside an escape is the line's, not the sender's: the escape goes on.
        if (isFlowControl(b) || b == CAN)
            return -1;
        escape_ = false;
        if (b >= ZCRCE && b <= ZCRCW)
            return FRAME_END_BIT | b;
        if (b == ZRUB0)
            return 0x7F;
        if (b == ZRUB1)
            return 0xFF;
        if ((b & 0x60) == 0x40)
            return b ^ 0x40;
        return -2;
    }
    if (b == ZDLE) {
        escape_ = true;
        return -1;
    }
    if (isFlowControl(b))
        return -1;
    return b;
}

void ZModemReceiver::take(std::uint8_t b)
{
    if (opt_.corruptEvery != 0 && (state_ == State::Data || state_ == State::Crc) &&
        ++dataBytesSeen_ % opt_.corruptEvery == 0)
        b ^= 0x04;

    // Five CAN bytes in a row end the session wherever they come (a valid stream never holds
    // two in a row: ZDLE itself is always escaped).
    if (b == CAN) {
        if (++cans_ >= 5) {
            store_->addEvent("<cancel");
            finish(true);
            return;
        }
    } else {
        cans_ = 0;
    }

    if (awaitingOo_ && state_ == State::Hunt) {
        if (b == 'O') {
            if (++ohs_ == 2) {
                store_->addEvent("<OO");
                finish(false);
            }
            return;
        }
        ohs_ = 0;
    }

    switch (state_) {
    case State::Hunt:
        if ((b & 0x7F) == ZPAD)
            state_ = State::Pad;
        break;
    case State::Pad:
        if ((b & 0x7F) == ZPAD)
            break;
        if (b == ZDLE)
            state_ = State::Kind;
        else
            hunt();
        break;
    case State::Kind: {
        const int k = b & 0x7F;
        field_.clear();
        escape_ = false;
        if (k == ZBIN || k == ZBIN32) {
            kind_ = k;
            state_ = State::Binary;
        } else if (k == ZHEX) {
            kind_ = k;
            state_ = State::Hex;
        } else {
            hunt();
        }
        break;
    }
    case State::Hex: {
        const auto c = static_cast<char>(b & 0x7F);
        if (c == XON || c == XOFF)
            break;
        field_ += c;
        if (field_.size() < 14)
            break;
        std::uint8_t v[7];
        CCrc16 crc(0);
        bool ok = true;
        for (int i = 0; i < 7; ++i) {
            const int hi = hexValue(field_[2 * i]);
            const int lo = hexValue(field_[2 * i + 1]);
            ok = ok && hi >= 0 && lo >= 0;
            v[i] = static_cast<std::uint8_t>(((hi & 15) << 4) | (lo & 15));
            crc.update(v[i]);
        }
        hunt();
        if (!ok || crc.value() != 0) {
            store_->addEvent("<bad header");
            break;
        }
        onHeader(v[0], v + 1);
        break;
    }
    case State::Binary: {
        const int r = unescape(b);
        if (r == -1)
            break;
        if (r < 0 || r > 0xFF) {
            hunt();
            store_->addEvent("<bad header");
            break;
        }
        field_ += static_cast<char>(r);
        const std::size_t need = kind_ == ZBIN32 ? 9 : 7;
        if (field_.size() < need)
            break;
        bool ok;
        if (kind_ == ZBIN32) {
            CCrc32 crc;
            for (char c : field_)
                crc.update(static_cast<std::uint8_t>(c));
            ok = crc.value() == CRC32_RESIDUE;
        } else {
            CCrc16 crc(0);
            for (char c : field_)
                crc.update(static_cast<std::uint8_t>(c));
            ok = crc.value() == 0;
        }
        std::uint8_t v[5];
        for (int i = 0; i < 5; ++i)
            v[i] = static_cast<std::uint8_t>(field_[i]);
        const bool crc32 = kind_ == ZBIN32;
        hunt();
        if (!ok) {
            store_->addEvent("<bad header");
            break;
        }
        dataCrc32_ = crc32;
        onHeader(v[0], v + 1);
        break;
    }
    case State::Data: {
        const int r = unescape(b);
        if (r == -1)
            break;
        if (r == -2) {
            onSubpacket(false, 0);
            break;
        }
        if (r > 0xFF) {
            frameEnd_ = r & 0xFF;
            crcBytes_.clear();
            state_ = State::Crc;
            break;
        }
        packet_.push_back(static_cast<std::uint8_t>(r));
        if (packet_.size() > 1024)
            onSubpacket(false, 0);
        break;
    }
    case State::Crc: {
        const int r = unescape(b);
        if (r == -1)
            break;
        if (r < 0 || r > 0xFF) {
            onSubpacket(false, 0);
            break;
        }
        crcBytes_ += static_cast<char>(r);
        if (crcBytes_.size() < (dataCrc32_ ? 4u : 2u))
            break;
        bool ok;
        if (dataCrc32_) {
            CCrc32 crc;
            for (auto d : packet_)
                crc.update(d);
            crc.update(static_cast<std::uint8_t>(frameEnd_));
            for (char c : crcBytes_)
                crc.update(static_cast<std::uint8_t>(c));
            ok = crc.value() == CRC32_RESIDUE;
        } else {
            CCrc16 crc(0);
            for (auto d : packet_)
                crc.update(d);
            crc.update(static_cast<std::uint8_t>(frameEnd_));
            for (char c : crcBytes_)
                crc.update(static_cast<std::uint8_t>(c));
            ok = crc.value() == 0;
        }
        onSubpacket(ok, frameEnd_);
        break;
    }
    }
}

void ZModemReceiver::onHeader(int type, const std::uint8_t* h)
{
    const std::uint32_t pos = positionOf(h);
    store_->addEvent(std::string("<") + typeName(type) + " " + std::to_string(pos));
    switch (type) {
    case ZRQINIT:
        if (!silent(ReceiverStage::Init))
            sendZrinit();
        break;
    case ZFILE:
        declined_ = false;
        use_ = DataUse::FileInfo;
        packet_.clear();
        escape_ = false;
        state_ = State::Data;
        break;
    case ZCRC:
        if (challengePending_ && file_) {
            challengePending_ = false;
            store_->modifyFile(*file_, [&](ReceivedFile& f) { f.crcAnswer = pos; });
            answerOffer();
        }
        break;
    case ZDATA:
        if (!file_)
            break;
        if (static_cast<std::int64_t>(pos) != dataSize()) {
            if (!silent(ReceiverStage::Data))
                requestResend(static_cast<std::uint32_t>(dataSize()));
            discarding_ = true;
            break;
        }
        discarding_ = false;
        if (pos == 0)
            store_->modifyFile(*file_, [&](ReceivedFile& f) {
                if (f.dataStartUs < 0)
                    f.dataStartUs = now_;
            });
        use_ = DataUse::FileData;
        packet_.clear();
        escape_ = false;
        state_ = State::Data;
        break;
    case ZEOF:
        // A file it has declined stays declined: its end is answered with ZSKIP again, so that a
        // sender that missed the first one (a header spoilt on the line) still learns of it.
        if (!file_ && declined_) {
            sendHeader(ZSKIP, 0);
            break;
        }
        if (file_ && static_cast<std::int64_t>(pos) != dataSize()) {
            if (!silent(ReceiverStage::Data))
                requestResend(static_cast<std::uint32_t>(dataSize()));
            break;
        }
        if (file_) {
            store_->modifyFile(*file_, [&](ReceivedFile& f) {
                f.complete = true;
                f.dataEndUs = now_;
            });
            file_.reset();
        }
        if (!silent(ReceiverStage::Eof))
            sendZrinit();
        break;
    case ZFIN:
        if (silent(ReceiverStage::Fin))
            break;
        sendHeader(ZFIN, 0);
        awaitingOo_ = true;
        ohs_ = 0;
        ooDeadlineUs_ = now_ + opt_.replyDelayUs + opt_.ooWaitUs;
        break;
    case ZNAK:
        if (!lastHeader_.empty())
            sendRaw(lastHeader_);
        break;
    case ZABORT:
        finish(true);
        break;
    default:
        break;
    }
}

void ZModemReceiver::onSubpacket(bool good, int frameEnd)
{
    if (!good) {
        store_->addEvent("<data bad");
        hunt();
        if (use_ == DataUse::FileInfo) {
            sendHeader(ZNAK, 0);
            return;
        }
        if (file_)
            store_->modifyFile(*file_, [](ReceivedFile& f) { ++f.crcErrors; });
        if (!silent(ReceiverStage::Data))
            requestResend(static_cast<std::uint32_t>(dataSize()));
        discarding_ = true;
        return;
    }
    store_->addEvent(std::string("<data ") + static_cast<char>(frameEnd) + " " + std::to_string(packet_.size()));
    if (use_ == DataUse::FileInfo)
        onFileInfo(frameEnd);
    else
        onFileData(frameEnd);
}

void ZModemReceiver::onFileInfo(int)
{
    hunt();
    ReceivedFile f;
    f.info.assign(packet_.begin(), packet_.end());
    const std::size_t zero = f.info.find('\0');
    f.name = f.info.substr(0, zero);
    if (zero != std::string::npos && zero + 1 < f.info.size()) {
        const char* digits = f.info.c_str() + zero + 1;
        if (*digits >= '0' && *digits <= '9')
            f.announcedSize = std::strtoll(digits, nullptr, 10);
    }
    // A repeated offer of a file that has not started yet is the same file.
    if (file_ && data_.empty())
        store_->modifyFile(*file_, [&](ReceivedFile& r) {
            r.info = f.info;
            r.name = f.name;
            r.announcedSize = f.announcedSize;
        });
    else
        file_ = store_->addFile(f);
    data_.clear();
    ++offersSeen_;

    if (silent(ReceiverStage::File))
        return;
    if (offersSeen_ <= opt_.zrinitForZfile) {
        sendZrinit();
        return;
    }
    if (opt_.skipFiles) {
        store_->modifyFile(*file_, [](ReceivedFile& r) { r.skipped = true; });
        file_.reset();
        declined_ = true;
        sendHeader(ZSKIP, 0);
        return;
    }
    if (opt_.crcChallenge >= 0) {
        challengePending_ = true;
        sendHeader(ZCRC, static_cast<std::uint32_t>(opt_.crcChallenge));
        return;
    }
    answerOffer();
}

void ZModemReceiver::answerOffer()
{
    data_.clear();
    discarding_ = false;
    sendHeader(ZRPOS, 0);
}

void ZModemReceiver::onFileData(int frameEnd)
{
    if (!file_ || discarding_) {
        hunt();
        return;
    }
    data_.insert(data_.end(), packet_.begin(), packet_.end());
    const bool crc32 = dataCrc32_;
    store_->modifyFile(*file_, [&](ReceivedFile& f) {
        f.data.insert(f.data.end(), packet_.begin(), packet_.end());
        f.frameEnds += static_cast<char>(frameEnd);
        f.subpacketSizes.push_back(packet_.size());
        f.crc32 = crc32;
    });
    packet_.clear();
    const std::int64_t size = dataSize();

    if (opt_.cancelAt >= 0 && !cancelSent_ && size >= opt_.cancelAt) {
        cancelSent_ = true;
        sendRaw(std::string(static_cast<std::size_t>(std::max(opt_.cancelBytes, 0)), static_cast<char>(CAN)));
        store_->addEvent(">CAN " + std::to_string(opt_.cancelBytes));
        if (opt_.cancelBytes >= 5) {
            finish(true);
            return;
        }
    }
    if (opt_.skipAt >= 0 && !skipSent_ && size >= opt_.skipAt) {
        skipSent_ = true;
        store_->modifyFile(*file_, [](ReceivedFile& f) { f.skipped = true; });
        file_.reset();
        hunt();
        declined_ = true;
        sendHeader(ZSKIP, 0);
        return;
    }
    if (opt_.rewindAt >= 0 && !rewound_ && size >= opt_.rewindAt) {
        rewound_ = true;
        const auto to = static_cast<std::size_t>(std::clamp<std::int64_t>(opt_.rewindTo, 0, size));
        data_.resize(to);
        store_->modifyFile(*file_, [&](ReceivedFile& f) { f.data.resize(to); });
        discarding_ = true;
        hunt();
        requestResend(static_cast<std::uint32_t>(to));
        return;
    }
    if (opt_.strayAt >= 0 && !straySent_ && size >= opt_.strayAt) {
        straySent_ = true;
        if (opt_.strayType == ZSKIP) {
            // Declining the file is the receiver's to do at any time: it is recorded as such.
            store_->modifyFile(*file_, [](ReceivedFile& f) { f.skipped = true; });
            file_.reset();
            hunt();
            declined_ = true;
            sendHeader(ZSKIP, opt_.strayPosition);
            return;
        }
        if (opt_.strayType >= 0)
            sendHeader(opt_.strayType, opt_.strayPosition);
        else if (!lastHeader_.empty())
            sendRaw(lastHeader_);
    }
    if (opt_.xoffAt > 0 && size >= nextXoffAt_ && xonAtUs_ == TimedByteQueue::kNever) {
        sendRaw(std::string(1, static_cast<char>(XOFF)));
        store_->addEvent(">XOFF");
        xonAtUs_ = std::max(now_ + opt_.xoffPauseUs, out_.lastAtUs());
        nextXoffAt_ += opt_.xoffAt;
    }

    switch (frameEnd) {
    case ZCRCW:
        hunt();
        if (!silent(ReceiverStage::Data))
            sendHeader(ZACK, static_cast<std::uint32_t>(size));
        break;
    case ZCRCQ:
        if (!silent(ReceiverStage::Data))
            sendHeader(ZACK, static_cast<std::uint32_t>(size));
        state_ = State::Data;
        break;
    case ZCRCE:
        hunt();
        break;
    default:  // ZCRCG: the frame goes on
        escape_ = false;
        state_ = State::Data;
        break;
    }
}

void ZModemReceiver::sendZrinit()
{
    const std::uint8_t h[4] = {static_cast<std::uint8_t>(opt_.bufferLength & 0xFF),
                               static_cast<std::uint8_t>(opt_.bufferLength >> 8), 0,
                               static_cast<std::uint8_t>(opt_.crc32 ? CANFC32 : 0)};
    std::string wire;
    appendHexHeader(wire, ZRINIT, h);
    lastHeader_ = wire;
    sendRaw(opt_.replyNoise + wire);
    if (opt_.answerTwice)
        sendRaw(wire);
    store_->addEvent(">ZRINIT");
}

void ZModemReceiver::sendHeader(int type, std::uint32_t value)
{
    const std::uint8_t h[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                               static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    std::string wire;
    appendHexHeader(wire, type, h);
    lastHeader_ = wire;
    sendRaw(opt_.replyNoise + wire);
    if (opt_.answerTwice)
        sendRaw(wire);
    store_->addEvent(std::string(">") + typeName(type) + " " + std::to_string(value));
}

void ZModemReceiver::requestResend(std::uint32_t position)
{
    if (file_)
        store_->modifyFile(*file_, [](ReceivedFile& f) { ++f.resyncs; });
    sendHeader(ZRPOS, position);
}

void ZModemReceiver::sendRaw(const std::string& bytes)
{
    out_.push(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now_ + opt_.replyDelayUs, usPerByte_);
}

void ZModemReceiver::finish(bool aborted)
{
    if (finished_)
        return;
    finished_ = true;
    store_->sessionFinished(aborted);
}

}  // namespace sim
