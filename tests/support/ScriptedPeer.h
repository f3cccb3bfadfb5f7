#pragma once
// ScriptedPeer: the far end of a simulated line that plays answers. Each step waits until the
// host's output (after the previous step's match) contains its trigger, then runs its action (if
// any) and queues its reply; an empty trigger fires at once. sayAt queues bytes for a fixed time,
// whatever the host does. Everything the host wrote is kept in heard.
#include "sim/SimSerialDevice.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace test {

class ScriptedPeer final : public sim::ILinePeer {
public:
    void step(std::string trigger, std::string reply, std::function<void()> action = {})
    {
        steps_.push_back({std::move(trigger), std::move(reply), std::move(action)});
    }
    void sayAt(const std::string& bytes, std::int64_t atUs, std::int64_t usPerByte = 0)
    {
        out.push(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), atUs, usPerByte);
    }

    void advance(std::int64_t nowUs) override { fire(nowUs); }
    void receive(const std::uint8_t* d, std::size_t n, std::int64_t nowUs) override
    {
        heard.append(reinterpret_cast<const char*>(d), n);
        fire(nowUs);
    }
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out; }

    sim::TimedByteQueue out;
    std::string heard;

private:
    struct Step {
        std::string trigger;
        std::string reply;
        std::function<void()> action;
    };
    void fire(std::int64_t nowUs)
    {
        for (; next_ < steps_.size(); ++next_) {
            const Step& s = steps_[next_];
            const std::size_t at = s.trigger.empty() ? matchedTo_ : heard.find(s.trigger, matchedTo_);
            if (at == std::string::npos)
                return;
            matchedTo_ = at + s.trigger.size();
            if (s.action)
                s.action();
            out.push(reinterpret_cast<const std::uint8_t*>(s.reply.data()), s.reply.size(), nowUs);
        }
    }
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    std::size_t matchedTo_ = 0;
};

}  // namespace test
