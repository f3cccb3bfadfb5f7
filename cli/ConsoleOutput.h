#pragma once
// ConsoleOutput: the diagnostic stream of upgrade-cli (normally stderr), shared by the progress
// display and the message boxes. On a terminal the progress display keeps one live line that
// is redrawn in place; every other text is a whole line, printed after the live line has been
// ended so that the two never run into each other. Thread-safe.

#include <cstdio>
#include <mutex>
#include <string>

class ConsoleOutput {
public:
    ConsoleOutput(std::FILE* stream, bool terminal) : stream_(stream), terminal_(terminal) {}

    bool terminal() const { return terminal_; }
    std::FILE* stream() const { return stream_; }
    // Prints text as one line of its own.
    void line(const std::string& text);
    // Replaces the live line with text (terminal only; elsewhere the same as line()).
    void live(const std::string& text);
    // Ends the live line, if one is shown, so that the next output starts on a fresh line.
    void endLive();
    // Writes text as it is (cursor movements of a live table included).
    void raw(const std::string& text);

private:
    void endLiveLocked();
    std::FILE* stream_;
    bool terminal_;
    bool liveShown_ = false;
    std::mutex mutex_;
};
