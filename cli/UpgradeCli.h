#pragma once
// upgrade-cli's program logic, callable with any streams and any platform services installed
// (tests use the virtual module on virtual time). runUpgradeCli parses the arguments, prints
// the usage on -h, asks for the licence agreement (unless -y), verifies the module (unless -n),
// runs the upgrade with the worker of the wizard and prints each verdict with, on failure, the
// Details text of its result code. Verdicts and the agreement go to out; status lines,
// progress and every message the wizard would show in a box go to err.
//
// Several ports (-o more than once, --all, --watch, --json, --log-dir): after the agreement,
// runFleet (cli/Fleet.h) runs each port in a child process, this program again with
// --port-child as its first argument, which runs one port (cli/PortRun.h) and writes its
// events to out.
//
// Exit status: 0 success; the result code (1 to 8) of the verification or of the upgrade
// (several ports: the highest of them); 10 agreement not accepted; 64 bad usage; 70 the worker
// thread could not be started; 73 a record of several ports (--json, --log-dir) cannot be made.

#include <cstdio>
#include <string>
#include <vector>

struct CliStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool inIsTerminal = false;   // the agreement can be asked for only on a terminal
    bool errIsTerminal = false;  // live progress lines
    std::string program = "upgrade-cli";  // the name the program was started by, for its messages
};

inline constexpr int kExitAgreementRefused = 10;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInternal = 70;

// The help text of -h, for a program called upgrade-cli (the usage shows the name it was started by).
extern const char* const kCliUsageText;

// arguments: those after the program name. The platform's notifier is replaced for the run.
int runUpgradeCli(const std::vector<std::string>& arguments, const CliStreams& streams);
