#pragma once
// Platform: the process-wide set of platform services (clock, serial devices, message boxes,
// thread start). The core reaches the platform only through these. By default they are the real
// implementations (SystemClock, SerialDeviceFactory for the POSIX or the Windows serial ports,
// ConsoleNotifier, detached threads);
// front ends and tests replace them with install()/ScopedPlatform before any core code runs.

#include "platform/IClock.h"
#include "platform/ISerialDevice.h"
#include "platform/IThreadStarter.h"
#include "platform/IUserNotifier.h"

namespace platform {

struct Services {
    IClock* clock = nullptr;
    ISerialDeviceFactory* serial = nullptr;
    IUserNotifier* notifier = nullptr;
    IThreadStarter* threads = nullptr;
};

// The services in force. Never null members.
const Services& services();
// Replaces the members that are non-null in s; returns the previous set.
Services install(const Services& s);

inline IClock& clock() { return *services().clock; }
inline IUserNotifier& notifier() { return *services().notifier; }

// The Sleep stand-in.
inline void sleepMs(std::int64_t ms) { clock().sleepMs(ms); }

// Installs services for the lifetime of the object and restores the previous ones after.
class ScopedPlatform {
public:
    explicit ScopedPlatform(const Services& s) : previous_(install(s)) {}
    ~ScopedPlatform() { install(previous_); }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Services previous_;
};

}  // namespace platform
