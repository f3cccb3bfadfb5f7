#include "cli/ConsoleOutput.h"

void ConsoleOutput::endLiveLocked()
{
    if (liveShown_) {
        std::fputc('\n', stream_);
        liveShown_ = false;
    }
}

void ConsoleOutput::line(const std::string& text)
{
    std::lock_guard lock(mutex_);
    endLiveLocked();
    std::fprintf(stream_, "%s\n", text.c_str());
    std::fflush(stream_);
}

void ConsoleOutput::live(const std::string& text)
{
    if (!terminal_) {
        line(text);
        return;
    }
    std::lock_guard lock(mutex_);
    // Carriage return, the text, then erase what a longer earlier text left on the line.
    std::fprintf(stream_, "\r%s\x1b[K", text.c_str());
    std::fflush(stream_);
    liveShown_ = true;
}

void ConsoleOutput::endLive()
{
    std::lock_guard lock(mutex_);
    endLiveLocked();
    std::fflush(stream_);
}

void ConsoleOutput::raw(const std::string& text)
{
    std::lock_guard lock(mutex_);
    std::fputs(text.c_str(), stream_);
    std::fflush(stream_);
}
