#pragma once
// SystemClock: real time from std::chrono::steady_clock; sleepMs really sleeps.

#include "platform/IClock.h"

namespace platform {

class SystemClock final : public IClock {
public:
    std::int64_t nowUs() override;
    void sleepMs(std::int64_t ms) override;
};

}  // namespace platform
