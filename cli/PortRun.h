#pragma once
// PortRun: one port's whole run for the fleet, exactly as a single upgrade-cli run makes it:
// the device line, the verification (unless -n), the upgrade (unless -V) with the wizard's
// worker, the same result codes and texts; but everything it would print goes to an
// IPortEvents sink as events. It runs on the calling thread with the platform services in
// force there, over its own LineTap (counts, resends, transcript) and notifier, and with its
// own worker parameters: several runs on several threads of one process do not meet.
//
// runPortChild is the hidden child mode of upgrade-cli (--port-child): the same run, its
// events written to standard output one line each (PortEvent::encode), plus an Alive line at
// most once a second while the run shows signs of life, for the supervisor's watchdog.

#include "app/UpgradeSettings.h"
#include "cli/PortEvent.h"

#include <cstdio>
#include <string>

struct PortRunOptions {
    bool verifyOnly = false;
    std::string transcriptPath;  // empty: no transcript
};

// The operator's choices of a run, copied (the settings record itself cannot be copied).
void copyChoices(const UpgradeSettings& from, UpgradeSettings& to);

// Returns the run's result code, also sent as the last event (Ended).
int runPort(const UpgradeSettings& choices, const PortRunOptions& options, IPortEvents& sink);

// The child mode: the run of choices.comPort, events to out. Returns the result code.
int runPortChild(const UpgradeSettings& choices, const PortRunOptions& options, std::FILE* out);
