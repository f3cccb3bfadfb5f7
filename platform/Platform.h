#pragma once
// Platform: the process-wide set of platform services (clock, serial devices, message boxes,
// thread start). The core reaches the platform only through these. By default they are the real
// implementations (SystemClock, SerialDeviceFactory for the POSIX or the Windows serial ports,
// ConsoleNotifier, detached threads);
// front ends and tests replace them with install()/ScopedPlatform before any core code runs.
// A thread can carry a set of its own (ScopedThreadPlatform): services() on that thread then
// returns it, so that several runs in one process each have their own clock, ports and boxes.

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

// The services in force on the calling thread: its own set where one is installed, else the
// process's. Never null members.
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

// Installs services for the calling thread only, for the lifetime of the object; members left
// null are those of the process. Constructed and destroyed on the same thread.
class ScopedThreadPlatform {
public:
    explicit ScopedThreadPlatform(const Services& s);
    ~ScopedThreadPlatform();
    ScopedThreadPlatform(const ScopedThreadPlatform&) = delete;
    ScopedThreadPlatform& operator=(const ScopedThreadPlatform&) = delete;

private:
    const Services* previous_;
    Services own_;
};

}  // namespace platform
