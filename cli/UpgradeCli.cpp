#include "cli/UpgradeCli.h"

#include "app/AgreementText.h"
#include "app/UpgradeSettings.h"
#include "cli/CliCommandLineInfo.h"
#include "cli/CliNotifier.h"
#include "cli/CliProgress.h"
#include "cli/ConsoleOutput.h"
#include "cli/Fleet.h"
#include "cli/PortList.h"
#include "cli/PortRun.h"
#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "platform/SerialDeviceFactory.h"
#include "upgrade/UpgradeMessages.h"
#include "upgrade/UpgradeWorker.h"
#include "verify/Verification.h"

#include <cctype>
#include <condition_variable>
#include <mutex>

const char* const kCliUsageText =
    "Usage: upgrade-cli [-e] [-f] [-n | -V] [-y] [-h] [-t version] [-s pgmSize] [-u username]\n"
    "                   [-p password] [-o com-port] -b boot-file -c code-file\n"
    "       upgrade-cli [options] [-o com-port]... [--all] [--watch] [--json file] [--log-dir dir]\n"
    "       upgrade-cli --list-ports\n"
    "\n"
    "Verifies the Tarvel router module on the serial line and upgrades its firmware.\n"
    "\n"
    "Options:\n"
    "  -e            Erase the configuration information before the download.\n"
    "  -f            Download at 115,200 bps.\n"
    "  -n            Upgrade without verifying first.\n"
    "  -V            Verify only; do not upgrade.\n"
    "  -y            Accept the licence agreement without showing it.\n"
    "  -h            Display this help message.\n"
    "  -t version    Firmware version to upgrade to (default 2.0.10).\n"
    "  -s pgmSize    Size in bytes of the program files that will be downloaded.\n"
    "  -u username   Console login username.\n"
    "  -p password   Console login password.\n"
    "  -b boot-file  Path of the boot file (tarvelboot.dmf).\n"
    "  -c code-file  Path of the code file (tarvel.dmf).\n"
#ifdef _WIN32
    // Windows names its ports itself.
    "  -o com-port   COM1 (default), COM2, ... as Device Manager names the serial ports;\n"
    "                from COM10 up also in the form \\\\.\\COM10.\n"
    "  --list-ports  List the system's COM ports with the device behind each, and whether\n"
    "                they can be opened now.\n"
#else
    "  -o com-port   COM1 (default), COM2, or a device path such as /dev/ttyUSB0.\n"
    "                COM1 and COM2 are the first and second serial port found (USB adapters\n"
    "                first), unless UPGRADE_COM1 or UPGRADE_COM2 names a device.\n"
    "  --list-ports  List the serial ports, what COM1 and COM2 stand for, and whether they\n"
    "                can be opened now.\n"
#endif
    "\n"
    "Several modules at once (each port gets a whole run of its own):\n"
    "  -o com-port   Given more than once: each of these ports.\n"
    "  --all         Every serial adapter found (built-in ports only when named with -o).\n"
    "  --watch       Upgrade each module as it is connected, until Ctrl-C; a module stays\n"
    "                done until its port's device has been gone (unplugged, hung up).\n"
    "  --json file   Write a record of every port's run to file.\n"
    "  --log-dir dir Keep a transcript of every byte on each port's line in dir.\n"
    "  The first Ctrl-C starts no new run and waits; a second one ends the runs.\n"
    "\n"
    "Exit status: 0 success; 1 to 8 the result code of the verification or the upgrade\n"
    "(several ports: 0 when every run succeeded, else the highest result code);\n"
    "10 agreement not accepted; 64 bad usage.\n";

namespace {

// The usage with the program's own name; the continuation lines stay under the first option.
std::string usageFor(const std::string& program)
{
    const std::string name = "upgrade-cli";
    std::string text = kCliUsageText;
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        std::string line = text.substr(from, at + 1 - from);
        if (line.rfind("Usage: " + name, 0) == 0)
            line.replace(7, name.size(), program);
        else if (line.rfind("       " + name, 0) == 0)
            line.replace(7, name.size(), program);
        else if (line.rfind(std::string(7 + name.size() + 1, ' '), 0) == 0 && program.size() > name.size())
            line.insert(0, program.size() - name.size(), ' ');
        out += line;
    }
    return out + text.substr(from);
}

std::string readLine(std::FILE* in)
{
    std::string line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line += static_cast<char>(c);
    return line;
}

std::string normalised(const std::string& answer)
{
    std::string s;
    for (char c : answer)
        if (!std::isspace(static_cast<unsigned char>(c)))
            s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool askAgreement(const CliStreams& io, ConsoleOutput& diag)
{
    if (!io.inIsTerminal) {
        diag.line(io.program + ": the licence agreement can only be accepted on a terminal; give -y "
                  "to accept it without showing it.");
        return false;
    }
    std::fprintf(io.out, "%s\n\nDo you accept the terms of this agreement? Type 'I accept' or "
                         "'yes' to accept, anything else to reject: ",
                 agreementText().c_str());
    std::fflush(io.out);
    const std::string answer = normalised(readLine(io.in));
    if (answer == "iaccept" || answer == "yes" || answer == "y")
        return true;
    diag.line("The licence agreement was not accepted.");
    return false;
}

// Runs the worker through the platform's thread start and waits for the procedure to end,
// so that the port is closed again before the program goes on.
struct WorkerRun {
    UpgradeThreadParams params;  // this run's own: several runs may share the process
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

unsigned workerProcedure(void* parameter)
{
    auto* run = static_cast<WorkerRun*>(parameter);
    upgradeThreadProc(&run->params);
    // Notified under the lock: the waiting thread may destroy run as soon as it sees done.
    std::lock_guard lock(run->mutex);
    run->done = true;
    run->ended.notify_all();
    return 0;
}

int runUpgrade(UpgradeSettings& settings, const CliStreams& io, ConsoleOutput& diag)
{
    WorkerRun run;
    CliProgress progress(diag, platform::clock());
    UpgradeThreadParams& params = run.params;
    params.settings = &settings;
    params.dialog = &progress;
    params.port = sessionPort(settings);
    settings.upgradeDone = false;
    progress.begin();

    if (!platform::services().threads->start(&workerProcedure, &run)) {
        diag.line(io.program + ": the upgrade could not be started.");
        return kExitInternal;
    }
    {
        std::unique_lock lock(run.mutex);
        run.ended.wait(lock, [&] { return run.done; });
    }
    const int code = settings.upgradeResult.load();
    if (code == 0) {
        std::fprintf(io.out, "%s\n", upgradeCompletedLine(settings).c_str());
    } else {
        std::fprintf(io.out, "%s\n\n%s\n", upgradeFailedLine(settings).c_str(),
                     upgradeFailureDetails(code, settings).c_str());
    }
    std::fflush(io.out);
    return code;
}

}  // namespace

int runUpgradeCli(const std::vector<std::string>& arguments, const CliStreams& io)
{
    ConsoleOutput diag(io.err, io.errIsTerminal);
    if (arguments.size() == 1 && arguments.front() == "--list-ports") {
        const platform::SerialDeviceFactory devices(platform::clock(), platform::SerialDeviceFactory::defaultRoot());
        std::fputs(portListText(devices).c_str(), io.out);
        std::fflush(io.out);
        return 0;
    }
    // The fleet's long options, taken out before the wizard's options are read.
    std::vector<std::string> rest;
    FleetOptions fleet;
    PortRunOptions child;
    bool childMode = false;
    std::string longError;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const bool valued = a == "--json" || a == "--log-dir" || a == "--transcript";
        if (valued && i + 1 >= arguments.size()) {
            longError = "option " + a + " needs a value";
            continue;
        }
        if (a == "--all")
            fleet.all = true;
        else if (a == "--watch")
            fleet.watch = true;
        else if (a == "--port-child" && i == 0)
            childMode = true;
        else if (a == "--json")
            fleet.jsonFile = arguments[++i];
        else if (a == "--log-dir")
            fleet.logDir = arguments[++i];
        else if (a == "--transcript" && childMode)
            child.transcriptPath = arguments[++i];
        else if (a.rfind("--", 0) == 0)
            longError = longError.empty() ? "unknown option " + a : longError;
        else
            rest.push_back(a);
    }

    UpgradeSettings settings;
    CliFlags flags;
    if (!parseCliArguments(rest, settings, flags) || !longError.empty()) {
        if (flags.error.empty())
            flags.error = longError;
        diag.line(io.program + ": " + flags.error);
        diag.line("Try '" + io.program + " -h' for the options.");
        return kExitUsage;
    }
    if (settings.showUsage) {
        std::fputs(usageFor(io.program).c_str(), io.out);
        std::fflush(io.out);
        return 0;
    }
    if (childMode) {
        child.verifyOnly = flags.verifyOnly;
        return runPortChild(settings, child, io.out);
    }
    if (!flags.acceptAgreement && !askAgreement(io, diag))
        return kExitAgreementRefused;

    if (fleet.all || fleet.watch || !fleet.jsonFile.empty() || !fleet.logDir.empty() || flags.ports.size() > 1) {
        fleet.ports = flags.ports;
        fleet.verifyOnly = flags.verifyOnly;
        if (fleet.ports.empty() && !fleet.all)
            fleet.ports.push_back(settings.comPort);
        const platform::SerialDeviceFactory devices(platform::clock(), platform::SerialDeviceFactory::defaultRoot());
        const auto launcher = childProcessLauncher(platform::ChildProcess::selfPath());
        platform::watchInterrupts();
        FleetContext context{diag, io.out, platform::clock(), devices.discovery(),
                             [&](const std::string& name) {
                                 const std::string path = devices.devicePath(name);
                                 return path.empty() ? path : devices.discovery().resolve(path);
                             },
                             *launcher, [] { return platform::interruptCount(); }};
        return runFleet(settings, fleet, context);
    }

    CliNotifier notifier(diag);
    platform::Services services;
    services.notifier = &notifier;
    platform::ScopedPlatform scope(services);

    // Before anything reaches the line: a mapping that picked an unrelated adapter shows here.
    const std::string device = platform::services().serial->describe(sessionPort(settings).openPath);
    if (device == settings.comPort)
        diag.line(io.program + ": using " + device + ".");
    else if (device == "none found")
        diag.line(io.program + ": " + settings.comPort + ": no such serial port found.");
    else
        diag.line(io.program + ": " + settings.comPort + " is " + device + ".");
    if (settings.verifyFirst) {
        diag.line("Verifying the Tarvel on " + settings.comPort + ", this may take a minute...");
        const int code = runVerification(settings);
        settings.verifyResult = code;
        if (code != 0) {
            std::fprintf(io.out, "%s\n\n%s\n", verificationFailedLine(settings).c_str(),
                         verificationReason(code, settings).c_str());
            std::fflush(io.out);
            return code;
        }
        std::fprintf(io.out, "%s\n", verificationPassedText(settings).c_str());
        std::fflush(io.out);
        if (flags.verifyOnly)
            return 0;
    }
    return runUpgrade(settings, io, diag);
}
