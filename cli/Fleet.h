#pragma once
// Fleet: upgrade-cli's supervisor for several ports (-o more than once, --all, --watch). Every
// port gets a whole run of its own (PortRun), started through an IRunLauncher: normally a child
// process per port (upgrade-cli itself in its hidden --port-child mode), so that a crash or a
// hang on one port cannot touch the others; nothing is shared between runs, no run waits for
// another. The supervisor only starts runs, takes in their events (FleetView), ends a run
// that shows no sign of life for silenceLimitMs (longer than any single wait or serial
// time-out of a run), and handles the operator's interrupts: the first starts no new run and
// waits for the running ones, the second ends them.
//
// Ports: those named with -o, plus with --all every serial adapter that discovery lists (all
// but the built-in UARTs, which count only when named), each device once.
// Watch mode: the ports are looked at every pollMs. A port whose device is there (alike at two
// looks in a row) and has no run for the module connected now gets one; the device decides
// which module that is, whatever name the port goes by. When its run ends, the module there counts as
// done and is not upgraded again; it counts as replaced (and is upgraded) once the device has
// been seen gone: an adapter unplugged and plugged in again, or a line whose device went away
// and came back (a virtual module's pseudo-terminal that hung up and was made anew).
// With --all, adapters plugged in while watching are watched too.

#include "app/UpgradeSettings.h"
#include "cli/ConsoleOutput.h"
#include "cli/FleetView.h"
#include "cli/PortRun.h"
#include "platform/IClock.h"
#include "platform/Platform.h"
#include "platform/SerialPortDiscovery.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FleetOptions {
    std::vector<std::string> ports;  // as named with -o
    bool all = false;
    bool watch = false;
    bool verifyOnly = false;
    std::string jsonFile;
    std::string logDir;
    std::int64_t pollMs = 250;
    // Longest wait of a run (15 s after the boot file) four times over.
    std::int64_t silenceLimitMs = 60'000;
};

// One run under way.
class IRunHandle {
public:
    virtual ~IRunHandle() = default;  // returns once the run has ended and its events are in
    virtual bool ended() const = 0;
    // Ends the run at once; its Ended event follows (code -1: no verdict of its own).
    virtual void kill() = 0;
};

class IRunLauncher {
public:
    virtual ~IRunLauncher() = default;
    // Starts the run of choices.comPort; its events go to sink, Ended last. Null when it could
    // not be started (an Ended event with the reason has then been sent).
    virtual std::unique_ptr<IRunHandle> launch(const UpgradeSettings& choices, const PortRunOptions& options,
                                               IPortEvents& sink) = 0;
};

// Runs each port in a child process: program (upgrade-cli itself) with --port-child.
std::unique_ptr<IRunLauncher> childProcessLauncher(const std::string& program);

// Runs each port on a thread of this process, with the services that servicesFor gives it
// installed for that thread only (tests: a virtual module and clock per port). No isolation
// from crashes, and kill() cannot end a run: for runs that cannot hang.
std::unique_ptr<IRunLauncher> threadLauncher(std::function<platform::Services(const std::string& port)> servicesFor);

// The arguments that give a child the run of choices (and options) in --port-child mode.
std::vector<std::string> portChildArguments(const UpgradeSettings& choices, const PortRunOptions& options);

struct FleetContext {
    ConsoleOutput& output;  // progress and notes
    std::FILE* out;         // the summary
    platform::IClock& clock;
    const platform::SerialPortDiscovery& discovery;
    // The device a port name stands for now (empty: not there), e.g. SerialDeviceFactory::devicePath
    // followed by discovery's resolve.
    std::function<std::string(const std::string& name)> deviceOf;
    IRunLauncher& launcher;
    std::function<int()> interrupts;
};

// Runs the fleet; returns the exit status (FleetView::exitStatus), or 73 when the --json file or
// the --log-dir folder cannot be made (checked before any run starts) or --json is not written.
int runFleet(const UpgradeSettings& choices, const FleetOptions& options, FleetContext& context);
