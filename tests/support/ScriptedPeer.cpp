#include "ScriptedPeer.h"

namespace test {

void ScriptedPeer::step(std::string trigger, std::string reply, std::function<void()> action)
{
    steps_.push_back({std::move(trigger), std::move(reply), std::move(action)});
}

void ScriptedPeer::sayAt(const std::string& bytes, std::int64_t atUs, std::int64_t usPerByte)
{
    out.push(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), atUs, usPerByte);
}

void ScriptedPeer::receive(const std::uint8_t* d, std::size_t n, std::int64_t nowUs)
{
    heard.append(reinterpret_cast<const char*>(d), n);
    fire(nowUs);
}

void ScriptedPeer::fire(std::int64_t nowUs)
{
    while (next_ < steps_.size()) {
        const Step& s = steps_[next_];
        std::size_t at = matchedTo_;
        if (!s.trigger.empty()) {
            at = heard.find(s.trigger, matchedTo_);
            if (at == std::string::npos)
                return;
            at += s.trigger.size();
        }
        matchedTo_ = at;
        if (s.action)
            s.action();
        out.push(reinterpret_cast<const std::uint8_t*>(s.reply.data()), s.reply.size(), nowUs);
        ++next_;
    }
}

}  // namespace test
