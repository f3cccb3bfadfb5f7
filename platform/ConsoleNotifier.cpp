#include "platform/ConsoleNotifier.h"

#include <string>

namespace platform {

int ConsoleNotifier::messageBox(const std::string& text, unsigned /*type*/)
{
    // One box, one line: scripts reading the output can rely on that.
    std::string line;
    line.reserve(text.size());
    bool lastSpace = false;
    for (char c : text) {
        const bool ws = c == '\n' || c == '\r' || c == '\t';
        if (ws) {
            if (!lastSpace && !line.empty())
                line += ' ';
            lastSpace = true;
        } else {
            line += c;
            lastSpace = (c == ' ');
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    std::lock_guard lock(mutex_);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
    return IDOK;
}

void ConsoleNotifier::note(const std::string& text)
{
    std::lock_guard lock(mutex_);
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void ConsoleNotifier::beep(unsigned /*type*/)
{
    if (!audible_)
        return;
    std::lock_guard lock(mutex_);
    std::fputc('\a', out_);
    std::fflush(out_);
}

}  // namespace platform
