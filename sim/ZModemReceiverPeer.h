#pragma once
// ZModemReceiverPeer: an ILinePeer that is nothing but a ZModem receiver, for tests of the
// sender on a SimLine. It runs one ZModemReceiver session from construction on (answers at
// the given line speed) and ignores everything once the session has finished. The session's
// store is shared with the test.

#include "sim/ILinePeer.h"
#include "sim/ZModemReceiver.h"

#include <memory>

namespace sim {

class ZModemReceiverPeer final : public ILinePeer {
public:
    explicit ZModemReceiverPeer(ZModemReceiverOptions options = {},
                                std::shared_ptr<ReceivedFiles> store = std::make_shared<ReceivedFiles>(),
                                std::uint32_t baud = 38400, std::int64_t nowUs = 0);

    void advance(std::int64_t nowUs) override { session_->advance(nowUs); }
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) override;
    std::int64_t nextEventUs() const override { return session_->nextEventUs(); }
    TimedByteQueue& output() override { return out_; }
    std::uint32_t baudRate() const override { return baud_; }

    ReceivedFiles& store() { return *store_; }
    bool finished() const { return session_->finished(); }

private:
    TimedByteQueue out_;
    std::shared_ptr<ReceivedFiles> store_;
    std::uint32_t baud_;
    std::unique_ptr<ZModemReceiver> session_;
};

}  // namespace sim
