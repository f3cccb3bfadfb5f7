#include "sim/SimLine.h"

namespace sim {

void SimLine::setPeer(ILinePeer& peer)
{
    std::lock_guard lock(mutex_);
    peer_ = &peer;
}

void SimLine::setPacing(bool on)
{
    std::lock_guard lock(mutex_);
    pacing_ = on;
}

bool SimLine::pacing() const
{
    std::lock_guard lock(mutex_);
    return pacing_;
}

LineFaults SimLine::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

void SimLine::setFaults(const LineFaults& f)
{
    std::lock_guard lock(mutex_);
    faults_ = f;
}

std::vector<HostWrite> SimLine::hostWrites() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

std::string SimLine::hostText() const
{
    return hostTextSince(0);
}

std::string SimLine::hostTextSince(std::int64_t atUs) const
{
    std::lock_guard lock(mutex_);
    std::string s;
    for (const auto& w : writes_)
        if (w.atUs >= atUs)
            s += static_cast<char>(w.value);
    return s;
}

bool SimLine::recordWrite(std::uint8_t b, std::int64_t atUs)
{
    writes_.push_back({atUs, b});
    if (faults_.hangupAfterHostBytes < 0 || static_cast<std::int64_t>(writes_.size()) < faults_.hangupAfterHostBytes)
        return true;
    faults_.failRead = faults_.failWrite = faults_.failOpen = true;
    return false;
}

void SimLine::clearRecords()
{
    std::lock_guard lock(mutex_);
    writes_.clear();
    opens_.clear();
}

std::vector<std::uint32_t> SimLine::openSpeeds() const
{
    std::lock_guard lock(mutex_);
    return opens_;
}

}  // namespace sim
