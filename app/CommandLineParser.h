#pragma once
// The stand-in for the framework's command-line walk (CWinApp::ParseCommandLine).
// CCommandLineInfo receives the arguments one by one; parseCommandLine walks argv after the
// program name and decides for each argument whether it is an option word or a value:
//  - an argument that starts with '-' is always an option word (the '-' removed);
//  - an argument that starts with '/' is an option word only when the receiver says that what
//    follows is one of its option words (isOptionWord); otherwise, like "/dev/ttyUSB0" or
//    "/home/op/tarvel.dmf", it is a value and is passed whole. This keeps absolute paths usable
//    as values while "/s 5000" still works;
//  - everything else is a value.
// isLast is true for the last argument only.

#include <string>
#include <string_view>
#include <vector>

class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    // One argument: param without its option sign when isFlag is true.
    virtual void ParseParam(const char* param, bool isFlag, bool isLast) = 0;
    // Whether word (the text after a leading '/') names an option of this receiver.
    virtual bool isOptionWord(std::string_view word) const = 0;
};

// How one argument is handed to ParseParam.
struct CommandLineArgument {
    std::string param;
    bool isFlag = false;
};
CommandLineArgument classifyArgument(std::string_view argument, const CCommandLineInfo& info);

// argv[0] is the program name and is skipped.
void parseCommandLine(int argc, const char* const* argv, CCommandLineInfo& info);
// The arguments after the program name.
void parseCommandLine(const std::vector<std::string>& arguments, CCommandLineInfo& info);
