#pragma once
// RecordingNotifier: test double of IUserNotifier. Records every box, note and beep in order and
// answers each box with IDOK at once. Thread-safe.

#include "platform/IUserNotifier.h"

#include <mutex>
#include <string>
#include <vector>

namespace platform {

class RecordingNotifier final : public IUserNotifier {
public:
    struct Box {
        std::string text;
        unsigned type;
    };

    int messageBox(const std::string& text, unsigned type) override
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back({text, type});
        return IDOK;
    }
    void beep(unsigned type) override
    {
        std::lock_guard lock(mutex_);
        beeps_.push_back(type);
    }

    std::vector<Box> boxes() const
    {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    std::vector<std::string> texts() const
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> t;
        for (const auto& b : boxes_)
            t.push_back(b.text);
        return t;
    }
    void note(const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        notes_.push_back(text);
    }
    std::vector<std::string> notes() const
    {
        std::lock_guard lock(mutex_);
        return notes_;
    }
    std::vector<unsigned> beeps() const
    {
        std::lock_guard lock(mutex_);
        return beeps_;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        boxes_.clear();
        beeps_.clear();
        notes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::vector<unsigned> beeps_;
    std::vector<std::string> notes_;
};

}  // namespace platform
