#include "ZModemTestSupport.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace zmtest {

void ScriptedPeer::step(Bytes trigger, Bytes reply, std::function<void()> action)
{
    steps_.push_back({std::move(trigger), std::move(reply), std::move(action)});
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
        if (s.action)
            s.action();
        out.push(reinterpret_cast<const std::uint8_t*>(s.reply.data()), s.reply.size(), nowUs);
        ++next_;
    }
}

TempDir::TempDir()
{
    // mkdtemp is POSIX only; a fresh name below the system's temporary folder works everywhere.
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && !owned_; ++attempt) {
        const fs::path p = base / ("zmtest-" + std::to_string(random()));
        owned_ = fs::create_directory(p, ec);
        path_ = p.string();
    }
    if (!owned_)
        path_ = base.string();
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (owned_)
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
