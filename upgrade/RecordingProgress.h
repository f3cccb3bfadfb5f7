#pragma once
// RecordingProgress: test double of ProgressState. Every refresh() and showFinished(code) is
// recorded, in order, with a copy of all progress members as they were at the call, so that a
// test can check what a display would have shown and when. showFinished sets the verdict text
// like the real window and returns true. An optional hook runs after each record (on the
// caller's thread), e.g. to stop a test at a given point. Recording is thread-safe; the members
// themselves are written by one thread at a time, as in the program.

#include "upgrade/ProgressState.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class RecordingProgress final : public ProgressState {
public:
    struct Snapshot : ProgressValues {
        bool finished = false;  // false: refresh(); true: showFinished(code)
        int code = 0;           // the code passed to showFinished
    };

    void refresh() override { record(false, 0); }

    bool showFinished(int code) override
    {
        setVerdict(code);
        record(true, code);
        return true;
    }

    std::vector<Snapshot> snapshots() const
    {
        std::lock_guard lock(mutex_);
        return snapshots_;
    }
    std::size_t refreshCount() const { return count(false); }
    std::size_t finishedCount() const { return count(true); }
    // The count texts shown by successive refreshes, in order (empty texts included).
    std::vector<std::string> bootTexts() const { return texts(&Snapshot::bootProgressText); }
    std::vector<std::string> codeTexts() const { return texts(&Snapshot::codeProgressText); }
    std::vector<std::string> statusTexts() const { return texts(&Snapshot::statusText); }
    void clear()
    {
        std::lock_guard lock(mutex_);
        snapshots_.clear();
    }

    std::function<void(const Snapshot&)> onRecord;

private:
    void record(bool finished, int code)
    {
        Snapshot s;
        static_cast<ProgressValues&>(s) = values();
        s.finished = finished;
        s.code = code;
        {
            std::lock_guard lock(mutex_);
            snapshots_.push_back(s);
        }
        if (onRecord)
            onRecord(s);
    }
    std::size_t count(bool finished) const
    {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const auto& s : snapshots_)
            n += s.finished == finished ? 1 : 0;
        return n;
    }
    std::vector<std::string> texts(std::string Snapshot::*member) const
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& s : snapshots_)
            if (!s.finished)
                out.push_back(s.*member);
        return out;
    }

    mutable std::mutex mutex_;
    std::vector<Snapshot> snapshots_;
};
