#pragma once
// ModuleHarness: one virtual module on one simulated line, on virtual time, installed as the
// process's platform for the harness's lifetime — a VirtualClock, a VirtualModule, a SimLine,
// a SimSerialFactory that knows the line as "COM1" and a RecordingNotifier. Whatever the code
// under test opens as "COM1" talks to the module; every wait it makes moves the virtual clock.
// Host bytes are recorded with their times; the helpers below find texts in that record.
// Construct one per test (it is neither copyable nor movable); the thread starter is left as
// it was unless one is passed.

#include "platform/IThreadStarter.h"
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "sim/ModuleConfig.h"
#include "sim/SimLine.h"
#include "sim/SimSerialDevice.h"
#include "sim/VirtualModule.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

class ModuleHarness {
public:
    explicit ModuleHarness(sim::ModuleConfig config = {}, platform::IThreadStarter* threads = nullptr);
    ModuleHarness(const ModuleHarness&) = delete;
    ModuleHarness& operator=(const ModuleHarness&) = delete;

    platform::VirtualClock clock;
    sim::VirtualModule module;
    sim::SimLine line;
    sim::SimSerialFactory factory;
    platform::RecordingNotifier notifier;

    std::int64_t nowUs() { return clock.nowUs(); }
    // Every byte the host wrote, in order.
    std::string hostText() const { return line.hostText(); }
    // Virtual time at which the first byte of the n-th (from 0) occurrence of text was written
    // by the host, or -1 when there is no such occurrence.
    std::int64_t timeOf(const std::string& text, std::size_t occurrence = 0) const;
    // Number of times text occurs in the host's bytes (occurrences do not overlap).
    std::size_t count(const std::string& text) const;
    // The host's writes split at the gaps where nothing was sent for more than gapUs: each entry
    // is one burst with the time of its first byte. Paced bytes of one text stay together.
    struct Burst {
        std::int64_t atUs;
        std::string text;
    };
    std::vector<Burst> bursts(std::int64_t gapUs = 5'000) const;

private:
    platform::ScopedPlatform scope_;
};

}  // namespace test
