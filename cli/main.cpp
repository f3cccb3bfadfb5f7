// upgrade-cli: the headless front end (see cli/UpgradeCli.h).
#include "cli/UpgradeCli.h"

#include <unistd.h>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CliStreams streams;
    streams.inIsTerminal = ::isatty(STDIN_FILENO) == 1;
    streams.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    // Installed as tarvel-upgrade-cli: messages and usage name the program as it was started.
    if (argc > 0 && argv[0][0] != '\0') {
        const std::string started = argv[0];
        streams.program = started.substr(started.find_last_of('/') + 1);
    }
    return runUpgradeCli(arguments, streams);
}
