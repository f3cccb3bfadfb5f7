#pragma once
// ConsoleNotifier: IUserNotifier for programs without windows. Each message box becomes one
// line on a stream (newlines inside the text are shown as spaces); notes are written as they
// are; beeps write BEL when enabled.

#include "platform/IUserNotifier.h"

#include <cstdio>
#include <mutex>

namespace platform {

class ConsoleNotifier final : public IUserNotifier {
public:
    explicit ConsoleNotifier(std::FILE* out = stderr, bool audibleBeeps = false)
        : out_(out), audible_(audibleBeeps) {}

    int messageBox(const std::string& text, unsigned type) override;
    void beep(unsigned type) override;
    void note(const std::string& text) override;

private:
    std::FILE* out_;
    bool audible_;
    std::mutex mutex_;
};

}  // namespace platform
