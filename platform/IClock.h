#pragma once
// IClock: the one source of time and of waiting for the whole program.
// Every fixed wait (the stand-in for Sleep) and every serial time-out is measured with it,
// so that tests can swap in a VirtualClock and run minutes of dialogue in milliseconds.
// Implementations must be safe to call from any thread.

#include <cstdint>

namespace platform {

class IClock {
public:
    virtual ~IClock() = default;
    // Monotonic time in microseconds since an arbitrary start.
    virtual std::int64_t nowUs() = 0;
    // Blocks the calling thread for the given number of milliseconds (0 returns at once).
    virtual void sleepMs(std::int64_t ms) = 0;

    std::int64_t nowMs() { return nowUs() / 1000; }
};

}  // namespace platform
