#pragma once
// SimOptions: the command line of tarvel-sim, the virtual module on a pseudo-terminal. It sets
// up the same ModuleConfig and ZModem receiver options that the tests use:
//   --link PATH          also make PATH a symbolic link to the pty's slave device
//   --store DIR          folder for the files the module receives (default: received)
//   --pace               carry bytes at the line speed, so a run lasts what it would on a cable
//   --verbose            log the console lines the module acts on and each stored file
//   --log FILE           append those console lines and each received file to FILE, each after
//                        the wall-clock time (seconds since 1970) it was seen, within 0.1 s
//   --start STATE        prompt (default), login, password, restarting or command
//   --user NAME  --password TEXT  --prompt TEXT    console login and prompt
//   --quick-setup N      ask the Quick Setup question N times first
//   --version V  --memory N  --threshold N         what the replies report
//   --file NAME:SIZE     a file of the flash listing (repeatable; the first replaces the defaults)
//   --buffer-length N    the receiver's ZRINIT buffer length (0 = whole file)
//   --crc16              the receiver offers CRC-16 only
//   --echo  --silent  --chatter  --no-escape  --confirm   console behaviours and faults
//   --hangup-after-bytes N  --hangup-after-ms T   pull the cable: close the pty (the host's
//                        side hangs up) once the host has sent N bytes, or T ms after the start
//   --refuse-transfers N the receiver cancels the first N downloads at the sender's first bytes
//   --repeat-ms N        command mode repeats "Remaining in AT command mode." every N ms (0: never)
//   --modules N          a bench of N modules, each on its own pty (links PATH1..PATHN, stores DIR/1..N)
//   --fault K:NAME[=VALUE]  one of the module options above (without its dashes) for module K
//                        only, over the plain options, which apply to every module
//   --control FILE       lines "replace K|all" or "replug K|all" appended to FILE replace modules
//   --help
// Values are checked: a malformed number or an unknown option is an error, and so is a --fault
// for a module beyond the bench or naming a non-module option.

#include "sim/ModuleConfig.h"
#include "sim/ZModemReceiver.h"

#include <map>
#include <string>
#include <vector>

struct SimOptions {
    sim::ModuleConfig module;
    sim::ZModemReceiverOptions receiver;
    std::string link;
    std::string storeDir = "received";
    std::string logFile;
    std::int64_t hangupAfterBytes = -1;
    std::int64_t hangupAfterMs = -1;
    bool pace = false;
    bool verbose = false;
    bool help = false;
    // 0: the single module of a plain run (no numbered links or folders); else the bench's size.
    int modules = 0;
    std::string control;
    // Module number -> its own options, as arguments ("--refuse-transfers", "1").
    std::map<int, std::vector<std::string>> moduleArguments;
};

constexpr int kMaxSimModules = 256;

extern const char* const kSimUsageText;

// Parses the arguments after the program name; false with error set on a mistake.
bool parseSimOptions(const std::vector<std::string>& arguments, SimOptions& options, std::string& error);

// The options of module number (1..): the plain ones with the module's own applied over them.
SimOptions simOptionsForModule(const SimOptions& options, int number);
