#include "sim/tool/ControlFile.h"

#include <charconv>
#include <fstream>
#include <sstream>

bool ControlFile::parseLine(const std::string& line, int modules, std::vector<ControlCommand>& out,
                            std::string& error)
{
    std::istringstream words(line);
    std::string verb, which, extra;
    words >> verb >> which >> extra;
    if (verb.empty())
        return true;  // a blank line asks for nothing
    if ((verb != "replace" && verb != "replug") || which.empty() || !extra.empty()) {
        error = "not a command: \"" + line + "\" (replace or replug, then K or all)";
        return false;
    }
    const bool replug = verb == "replug";
    if (which == "all") {
        for (int k = 1; k <= modules; ++k)
            out.push_back({k, replug});
        return true;
    }
    int k = 0;
    const auto r = std::from_chars(which.data(), which.data() + which.size(), k);
    if (r.ec != std::errc() || r.ptr != which.data() + which.size() || k < 1 || k > modules) {
        error = "no module \"" + which + "\" to " + verb + " (1 to " + std::to_string(modules) + ")";
        return false;
    }
    out.push_back({k, replug});
    return true;
}

std::vector<ControlCommand> ControlFile::newCommands(int modules, std::vector<std::string>& errors)
{
    std::vector<ControlCommand> out;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path_, ec);
    if (ec)
        return out;
    if (size < offset_)
        offset_ = 0;
    if (size == offset_)
        return out;
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string text(static_cast<std::size_t>(size - offset_), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos)
        return out;
    offset_ += end + 1;
    std::istringstream lines(text.substr(0, end + 1));
    std::string line, error;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!parseLine(line, modules, out, error))
            errors.push_back(error);
    }
    return out;
}
