#include "platform/VirtualClock.h"

namespace platform {

void VirtualClock::advanceUs(std::int64_t us)
{
    if (us <= 0)
        return;
    now_.fetch_add(us);
}

void VirtualClock::advanceToUs(std::int64_t t)
{
    std::int64_t cur = now_.load();
    while (t > cur && !now_.compare_exchange_weak(cur, t)) {
    }
}

}  // namespace platform
