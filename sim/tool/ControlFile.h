#pragma once
// ControlFile: the commands that a test or a person appends to tarvel-sim's --control file, one
// per line: "replace K" (module K, 1..modules) or "replace all". newCommands() reads the lines
// completed since the last call (a line still missing its newline waits for it); a file that was
// emptied or made anew is read again from its start. A missing file has no commands yet.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class ControlFile {
public:
    explicit ControlFile(std::filesystem::path path) : path_(std::move(path)) {}

    // The modules to replace (numbers 1..modules, each once, in order) for each new line;
    // a line that is not a command is reported in errors and skipped.
    std::vector<int> newCommands(int modules, std::vector<std::string>& errors);

    // One line; false with error set when it is not a command.
    static bool parseLine(const std::string& line, int modules, std::vector<int>& replace, std::string& error);

private:
    std::filesystem::path path_;
    std::uintmax_t offset_ = 0;
};
