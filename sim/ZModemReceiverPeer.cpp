#include "sim/ZModemReceiverPeer.h"

namespace sim {

ZModemReceiverPeer::ZModemReceiverPeer(ZModemReceiverOptions options, std::shared_ptr<ReceivedFiles> store,
                                       std::uint32_t baud, std::int64_t nowUs)
    : store_(store ? std::move(store) : std::make_shared<ReceivedFiles>()), baud_(baud),
      session_(std::make_unique<ZModemReceiver>(out_, TimedByteQueue::usPerByteAt(baud), nowUs, std::move(options),
                                                store_))
{
}

void ZModemReceiverPeer::receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs)
{
    if (!session_->finished())
        session_->receive(data, n, nowUs);
}

}  // namespace sim
