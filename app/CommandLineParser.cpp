#include "app/CommandLineParser.h"

CommandLineArgument classifyArgument(std::string_view argument, const CCommandLineInfo& info)
{
    if (!argument.empty()) {
        const std::string_view rest = argument.substr(1);
        if (argument.front() == '-' || (argument.front() == '/' && info.isOptionWord(rest)))
            return {std::string(rest), true};
    }
    return {std::string(argument), false};
}

void parseCommandLine(const std::vector<std::string>& arguments, CCommandLineInfo& info)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const CommandLineArgument a = classifyArgument(arguments[i], info);
        info.ParseParam(a.param.c_str(), a.isFlag, i + 1 == arguments.size());
    }
}

void parseCommandLine(int argc, const char* const* argv, CCommandLineInfo& info)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
    parseCommandLine(arguments, info);
}
