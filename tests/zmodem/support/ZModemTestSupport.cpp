#include "ZModemTestSupport.h"

namespace zmtest {

std::vector<std::uint8_t> patternBytes(std::size_t n, unsigned seed)
{
    const Bytes s = test::randomText(n, seed);
    return {s.begin(), s.end()};
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
