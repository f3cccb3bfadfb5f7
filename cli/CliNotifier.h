#pragma once
// CliNotifier: the message boxes of a headless run. Each box becomes one line on the
// diagnostic stream (through platform::ConsoleNotifier, which flattens line breaks), after the
// progress display's live line has been ended. A box needs no answer, so it returns IDOK at
// once; beeps are silent.

#include "cli/ConsoleOutput.h"
#include "platform/ConsoleNotifier.h"

class CliNotifier final : public platform::IUserNotifier {
public:
    explicit CliNotifier(ConsoleOutput& output) : output_(output), lines_(output.stream()) {}

    int messageBox(const std::string& text, unsigned type) override
    {
        output_.endLive();
        return lines_.messageBox(text, type);
    }
    void beep(unsigned type) override { lines_.beep(type); }
    void note(const std::string& text) override
    {
        output_.endLive();
        lines_.note(text);
    }

private:
    ConsoleOutput& output_;
    platform::ConsoleNotifier lines_;
};
