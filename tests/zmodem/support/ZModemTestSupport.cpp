#include "ZModemTestSupport.h"

#include "sim/ZModemReceiver.h"
#include "zmodem/CCrc16.h"
#include "zmodem/CCrc32.h"
#include "zmodem/ZModemDefs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zmtest {

using namespace zmodem;

void ScriptedPeer::step(Bytes trigger, Bytes reply, std::int64_t delayUs)
{
    steps_.push_back({std::move(trigger), std::move(reply), delayUs});
}

void ScriptedPeer::sayAt(const Bytes& bytes, std::int64_t atUs, std::int64_t usPerByte)
{
    out.push(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), atUs, usPerByte);
}

void ScriptedPeer::advance(std::int64_t nowUs)
{
    fire(nowUs);
}

void ScriptedPeer::receive(const std::uint8_t* d, std::size_t n, std::int64_t nowUs)
{
    heard.append(reinterpret_cast<const char*>(d), n);
    fire(nowUs);
}

void ScriptedPeer::fire(std::int64_t nowUs)
{
    while (next_ < steps_.size()) {
        const Step& s = steps_[next_];
        std::size_t at = matchedTo_;
        if (!s.trigger.empty()) {
            at = heard.find(s.trigger, matchedTo_);
            if (at == Bytes::npos)
                return;
            at += s.trigger.size();
        }
        matchedTo_ = at;
        out.push(reinterpret_cast<const std::uint8_t*>(s.reply.data()), s.reply.size(), nowUs + s.delayUs);
        ++next_;
    }
}

Bytes hexHeaderFlags(int type, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    const std::uint8_t h[4] = {b0, b1, b2, b3};
    Bytes w;
    sim::ZModemReceiver::appendHexHeader(w, type, h);
    return w;
}

Bytes hexHeader(int type, std::uint32_t v)
{
    return hexHeaderFlags(type, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24));
}

Bytes zrinit(std::uint16_t bufferLength, bool crc32)
{
    return hexHeaderFlags(ZRINIT, static_cast<std::uint8_t>(bufferLength), static_cast<std::uint8_t>(bufferLength >> 8), 0,
                          static_cast<std::uint8_t>(crc32 ? CANFC32 : 0));
}

namespace {
void putEscaped(Bytes& w, std::uint8_t b)
{
    if (b == 0x10 || b == 0x11 || b == 0x13 || b == 0x18 || b == 0x90 || b == 0x91 || b == 0x93) {
        w += static_cast<char>(ZDLE);
        w += static_cast<char>(b ^ 0x40);
    } else {
        w += static_cast<char>(b);
    }
}
}  // namespace

Bytes binHeader(int type, std::uint32_t v, bool crc32)
{
    Bytes w = "*\x18";
    w += crc32 ? 'C' : 'A';
    const std::uint8_t body[5] = {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(v),
                                  static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                                  static_cast<std::uint8_t>(v >> 24)};
    if (crc32) {
        CCrc32 c;
        for (auto b : body) {
            c.update(b);
            putEscaped(w, b);
        }
        const std::uint32_t x = ~c.value();
        for (int i = 0; i < 4; ++i)
            putEscaped(w, static_cast<std::uint8_t>(x >> (8 * i)));
    } else {
        CCrc16 c;
        for (auto b : body) {
            c.update(b);
            putEscaped(w, b);
        }
        c.update(0);
        c.update(0);
        putEscaped(w, static_cast<std::uint8_t>(c.value() >> 8));
        putEscaped(w, static_cast<std::uint8_t>(c.value()));
    }
    return w;
}

std::uint32_t crc32Of(const std::uint8_t* data, std::size_t n)
{
    CCrc32 c;
    for (std::size_t i = 0; i < n; ++i)
        c.update(data[i]);
    return ~c.value();
}

TempDir::TempDir()
{
    char tmpl[] = "/tmp/zmtest-XXXXXX";
    const char* p = ::mkdtemp(tmpl);
    path_ = p ? p : "/tmp";
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (path_ != "/tmp")
        std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::vector<std::uint8_t>& content) const
{
    const std::string p = path_ + "/" + name;
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return p;
}

std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint32_t seed)
{
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

void SenderFixture::SetUp()
{
    factory.add("COM1", line);
    ASSERT_TRUE(port.open("COM1", 38400, 4096, 4096));
    sender = std::make_unique<CZModemSender>(&port, &progress);
}

void SenderFixture::useReceiver(const sim::ZModemReceiverOptions& options)
{
    rx = std::make_unique<sim::ZModemReceiverPeer>(options, store, 38400, clock.nowUs());
    line.setPeer(*rx);
}

sim::ReceivedFile SenderFixture::onlyFile() const
{
    const auto files = store->files();
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? sim::ReceivedFile{} : files.front();
}

}  // namespace zmtest
