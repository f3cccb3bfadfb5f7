#include "sim/tool/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <limits>

const char* const kSimUsageText =
    "Usage: tarvel-sim [--link PATH] [--store DIR] [--pace] [--verbose] [--log FILE]\n"
    "                  [--start prompt|login|password|restarting|command] [--user NAME] [--password TEXT]\n"
    "                  [--prompt TEXT] [--quick-setup N] [--version V] [--memory N] [--threshold N]\n"
    "                  [--file NAME:SIZE]... [--buffer-length N] [--crc16]\n"
    "                  [--echo] [--silent] [--chatter] [--no-escape] [--confirm]\n"
    "                  [--hangup-after-bytes N] [--hangup-after-ms T]\n"
    "                  [--refuse-transfers N] [--repeat-ms N]\n"
    "                  [--modules N [--fault K:OPTION[=VALUE]]... [--control FILE]]\n"
    "\n"
    "Runs a virtual Tarvel router module on a new pseudo-terminal and prints the path of its\n"
    "device; a program that opens that path talks to the module as over a serial cable.\n"
    "Received firmware files are stored in the --store folder. Ends on SIGINT or SIGTERM, or\n"
    "after hanging up the line (--hangup-after-...: the cable or adapter pulled).\n"
    "\n"
    "With --modules N it runs a bench of N modules, each on a pseudo-terminal of its own (one\n"
    "path per line, module 1 first; --link PATH makes PATH1..PATHN, --store DIR stores into\n"
    "DIR/1..N). --fault K:OPTION[=VALUE] gives module K one of the options above, e.g.\n"
    "--fault 3:hangup-after-bytes=100000 or --fault 5:silent; the plain options apply to all.\n"
    "SIGUSR1 replaces every module with a new one in its initial state on the same line, and so\n"
    "does a line \"replace all\" appended to the --control file; \"replace K\" replaces module K.\n"
    "SIGUSR2 or \"replug K|all\" pulls the adapter (the line and its link go) and plugs in a new\n"
    "one with a new module a second later. A hung-up module stays unplugged until it is replaced\n"
    "or replugged; the bench ends on SIGINT or SIGTERM.\n";

namespace {

template <typename T>
bool toNumber(const std::string& text, T& out)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

bool isUnsignedNumber(const std::string& text)
{
    std::uint64_t v = 0;
    return toNumber(text, v);
}

// "K:NAME[=VALUE]" -> K and the module option as arguments; the option is checked by parsing it.
bool parseFault(const std::string& text, int& number, std::vector<std::string>& args, std::string& error)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || !toNumber(text.substr(0, colon), number) || number < 1 ||
        number > kMaxSimModules) {
        error = "--fault needs MODULE:OPTION[=VALUE] with a module number from 1, not \"" + text + "\"";
        return false;
    }
    const std::string option = text.substr(colon + 1);
    const std::size_t equals = option.find('=');
    const std::string name = option.substr(0, equals);
    // The bench's own settings are not a module's.
    static const char* const kNotModule[] = {"link", "store", "pace", "verbose", "help", "h",
                                             "modules", "fault", "control"};
    for (const char* n : kNotModule)
        if (name == n) {
            error = "--fault " + text + ": " + name + " is not an option of one module";
            return false;
        }
    args = {"--" + name};
    if (equals != std::string::npos)
        args.push_back(option.substr(equals + 1));
    SimOptions probe;
    std::string why;
    if (name.empty() || !parseSimOptions(args, probe, why)) {
        error = "--fault " + text + ": " + (name.empty() ? "no option" : why);
        return false;
    }
    return true;
}

}  // namespace

bool parseSimOptions(const std::vector<std::string>& arguments, SimOptions& o, std::string& error)
{
    bool filesGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= arguments.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--pace") {
            o.pace = true;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--crc16") {
            o.receiver.crc32 = false;
        } else if (a == "--echo") {
            o.module.echo = true;
        } else if (a == "--silent") {
            o.module.silent = true;
        } else if (a == "--chatter") {
            o.module.chatter = true;
        } else if (a == "--no-escape") {
            o.module.ignoreEscape = true;
        } else if (a == "--confirm") {
            o.module.confirmCommandMode = true;
        } else if (a == "--modules") {
            if (!value(v))
                return false;
            if (!toNumber(v, o.modules) || o.modules < 1 || o.modules > kMaxSimModules) {
                error = "--modules needs a number from 1 to " + std::to_string(kMaxSimModules) + ", not \"" + v + "\"";
                return false;
            }
        } else if (a == "--fault") {
            int number = 0;
            std::vector<std::string> args;
            if (!value(v) || !parseFault(v, number, args, error))
                return false;
            auto& to = o.moduleArguments[number];
            to.insert(to.end(), args.begin(), args.end());
        } else if (a == "--control") {
            if (!value(o.control))
                return false;
        } else if (a == "--link") {
            if (!value(o.link))
                return false;
        } else if (a == "--store") {
            if (!value(o.storeDir))
                return false;
        } else if (a == "--log") {
            if (!value(o.logFile))
                return false;
        } else if (a == "--user") {
            if (!value(o.module.username))
                return false;
        } else if (a == "--password") {
            if (!value(o.module.password))
                return false;
        } else if (a == "--prompt") {
            if (!value(o.module.prompt))
                return false;
        } else if (a == "--version") {
            if (!value(o.module.version))
                return false;
        } else if (a == "--start") {
            if (!value(v))
                return false;
            if (v == "prompt")
                o.module.start = sim::ConsoleStart::AtPrompt;
            else if (v == "login")
                o.module.start = sim::ConsoleStart::LoggedOut;
            else if (v == "password")
                o.module.start = sim::ConsoleStart::PasswordFirst;
            else if (v == "restarting")
                o.module.start = sim::ConsoleStart::Restarting;
            else if (v == "command")
                o.module.start = sim::ConsoleStart::CommandMode;
            else {
                error = "--start takes prompt, login, password, restarting or command, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--quick-setup") {
            if (!value(v))
                return false;
            if (!toNumber(v, o.module.quickSetupTimes) || o.module.quickSetupTimes < 0) {
                error = "--quick-setup needs a count, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--refuse-transfers") {
            if (!value(v))
                return false;
            if (!toNumber(v, o.module.refuseTransfers) || o.module.refuseTransfers < 0) {
                error = "--refuse-transfers needs a count, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--repeat-ms") {
            std::int64_t ms = 0;
            if (!value(v))
                return false;
            if (!toNumber(v, ms) || ms < 0 || ms > std::numeric_limits<std::int64_t>::max() / 1000) {
                error = "--repeat-ms needs a number of milliseconds, not \"" + v + "\"";
                return false;
            }
            o.module.commandModeRepeatUs = ms * 1000;
        } else if (a == "--memory" || a == "--threshold") {
            if (!value(v))
                return false;
            if (!isUnsignedNumber(v)) {
                error = a + " needs a number, not \"" + v + "\"";
                return false;
            }
            (a == "--memory" ? o.module.memoryFigure : o.module.threshold) = v;
        } else if (a == "--hangup-after-bytes" || a == "--hangup-after-ms") {
            if (!value(v))
                return false;
            std::int64_t n = -1;
            if (!toNumber(v, n) || n < 0) {
                error = a + " needs a number, not \"" + v + "\"";
                return false;
            }
            (a == "--hangup-after-bytes" ? o.hangupAfterBytes : o.hangupAfterMs) = n;
        } else if (a == "--buffer-length") {
            if (!value(v))
                return false;
            if (!toNumber(v, o.receiver.bufferLength)) {
                error = "--buffer-length needs a number from 0 to 65535, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--file") {
            if (!value(v))
                return false;
            const std::size_t colon = v.rfind(':');
            sim::ModuleFile f;
            if (colon == std::string::npos || colon == 0 || !toNumber(v.substr(colon + 1), f.size) || f.size < 0) {
                error = "--file needs NAME:SIZE, not \"" + v + "\"";
                return false;
            }
            f.name = v.substr(0, colon);
            if (!filesGiven)
                o.module.files.clear();
            filesGiven = true;
            o.module.files.push_back(f);
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    const int last = o.moduleArguments.empty() ? 0 : o.moduleArguments.rbegin()->first;
    if (last > std::max(o.modules, 1)) {
        error = "--fault for module " + std::to_string(last) + ", but the bench has " +
                std::to_string(std::max(o.modules, 1));
        return false;
    }
    return true;
}

SimOptions simOptionsForModule(const SimOptions& options, int number)
{
    SimOptions o = options;
    o.moduleArguments.clear();
    const auto own = options.moduleArguments.find(number);
    std::string error;
    // Each module's arguments were checked one by one when they were parsed.
    if (own != options.moduleArguments.end())
        parseSimOptions(own->second, o, error);
    return o;
}
