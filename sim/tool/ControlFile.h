#pragma once
// ControlFile: the commands that a test or a person appends to tarvel-sim's --control file, one
// per line: "replace K" (module K, 1..modules) or "replace all", and "replug K" or "replug all"
// (see ModuleSlot: the adapter pulled and a new one plugged in). newCommands() reads the lines
// completed since the last call (a line still missing its newline waits for it); a file that was
// emptied or made anew is read again from its start. A missing file has no commands yet.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ControlCommand {
    int module;
    bool replug;
    bool operator==(const ControlCommand&) const = default;
};

class ControlFile {
public:
    explicit ControlFile(std::filesystem::path path) : path_(std::move(path)) {}

    // The commands of the new lines in order, one per module addressed (numbers 1..modules); a
    // line that is not a command is reported in errors and skipped.
    std::vector<ControlCommand> newCommands(int modules, std::vector<std::string>& errors);

    // One line; false with error set when it is not a command.
    static bool parseLine(const std::string& line, int modules, std::vector<ControlCommand>& out, std::string& error);

private:
    std::filesystem::path path_;
    std::uintmax_t offset_ = 0;
};
