#pragma once
// VirtualClock: test double of IClock. Time only moves when somebody sleeps or when a
// simulated device advances it while it waits for data; nothing ever really sleeps.
// Thread-safe; time never goes backwards.

#include "platform/IClock.h"

#include <atomic>

namespace platform {

class VirtualClock final : public IClock {
public:
    explicit VirtualClock(std::int64_t startUs = 0) : now_(startUs) {}

    std::int64_t nowUs() override { return now_.load(); }
    void sleepMs(std::int64_t ms) override { advanceUs(ms * 1000); }

    void advanceUs(std::int64_t us);
    // Moves time forward to t; a t in the past changes nothing.
    void advanceToUs(std::int64_t t);

private:
    std::atomic<std::int64_t> now_;
};

}  // namespace platform
