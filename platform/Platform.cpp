#include "platform/Platform.h"

#include "platform/ConsoleNotifier.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SystemClock.h"

#include <atomic>

namespace platform {

namespace {

Services& defaults()
{
    static SystemClock clock;
    static SerialDeviceFactory serial(clock, SerialDeviceFactory::defaultRoot());
    static ConsoleNotifier notifier;
    static DetachedThreadStarter threads;
    static Services s{&clock, &serial, &notifier, &threads};
    return s;
}

Services& current()
{
    static Services s = defaults();
    return s;
}

thread_local const Services* t_own = nullptr;

}  // namespace

const Services& services()
{
    return t_own ? *t_own : current();
}

ScopedThreadPlatform::ScopedThreadPlatform(const Services& s) : previous_(t_own), own_(services())
{
    if (s.clock)
        own_.clock = s.clock;
    if (s.serial)
        own_.serial = s.serial;
    if (s.notifier)
        own_.notifier = s.notifier;
    if (s.threads)
        own_.threads = s.threads;
    t_own = &own_;
}

ScopedThreadPlatform::~ScopedThreadPlatform()
{
    t_own = previous_;
}

Services install(const Services& s)
{
    Services previous = current();
    Services& c = current();
    if (s.clock)
        c.clock = s.clock;
    if (s.serial)
        c.serial = s.serial;
    if (s.notifier)
        c.notifier = s.notifier;
    if (s.threads)
        c.threads = s.threads;
    return previous;
}

}  // namespace platform
