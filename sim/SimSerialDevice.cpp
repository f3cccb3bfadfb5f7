#include "sim/SimSerialDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {
constexpr std::int64_t kNever = TimedByteQueue::kNever;
}

SimSerialDevice::SimSerialDevice(SimLine& line) : line_(line)
{
    std::lock_guard lock(line_.mutex());
    line_.held = true;
}

SimSerialDevice::~SimSerialDevice()
{
    std::lock_guard lock(line_.mutex());
    line_.held = false;
    const std::int64_t now = line_.clock().nowUs();
    line_.peer().advance(now);
    line_.peer().hostLineChanged(false, line_.hostBaud, now);
    line_.hostBaud = 0;
}

bool SimSerialDevice::getState(platform::LineSettings& out)
{
    if (line_.faults().failGetState)
        return false;
    std::lock_guard lock(line_.mutex());
    out = line_.settings;
    return true;
}

bool SimSerialDevice::setState(const platform::LineSettings& settings)
{
    if (line_.faults().failSetState)
        return false;
    std::lock_guard lock(line_.mutex());
    line_.settings = settings;
    line_.hostBaud = settings.baudRate;
    line_.recordOpen(settings.baudRate);
    const std::int64_t now = line_.clock().nowUs();
    line_.peer().advance(now);
    line_.peer().hostLineChanged(true, settings.baudRate, now);
    return true;
}

bool SimSerialDevice::setupQueues(std::uint32_t inQueue, std::uint32_t outQueue)
{
    if (line_.faults().failSetupQueues)
        return false;
    std::lock_guard lock(line_.mutex());
    line_.inQueue = inQueue;
    line_.outQueue = outQueue;
    return true;
}

bool SimSerialDevice::setTimeouts(const platform::SerialTimeouts& timeouts)
{
    if (line_.faults().failSetTimeouts)
        return false;
    timeouts_ = timeouts;
    return true;
}

bool SimSerialDevice::speedsMatch()
{
    const std::uint32_t peerBaud = line_.peer().baudRate();
    return peerBaud == 0 || peerBaud == line_.hostBaud;
}

bool SimSerialDevice::read(std::uint8_t* buffer, std::size_t size, std::size_t& received)
{
    received = 0;
    if (line_.faults().failRead)
        return false;
    auto& clock = line_.clock();
    const std::int64_t start = clock.nowUs();
    const std::int64_t total =
        static_cast<std::int64_t>(timeouts_.readTotalMultiplier) * static_cast<std::int64_t>(size) +
        timeouts_.readTotalConstant;
    const std::int64_t totalDeadline = total > 0 ? start + total * 1000 : kNever;
    const std::int64_t intervalUs = static_cast<std::int64_t>(timeouts_.readInterval) * 1000;
    std::int64_t lastByteAt = 0;

    std::unique_lock lock(line_.mutex());
    while (received < size) {
        const std::int64_t now = clock.nowUs();
        ILinePeer& peer = line_.peer();
        peer.advance(now);
        TimedByteQueue& q = peer.output();
        if (!q.empty() && q.nextAtUs() <= now) {
            const std::uint8_t b = q.pop();
            buffer[received++] = speedsMatch() ? b : SimSerialDevice::garble(b);
            lastByteAt = now;
            continue;
        }
        std::int64_t limit = totalDeadline;
        if (received > 0 && intervalUs > 0)
            limit = std::min(limit, lastByteAt + intervalUs);
        const std::int64_t next = std::min(q.nextAtUs(), peer.nextEventUs());
        if (next > limit) {
            if (limit == kNever) {
                // A read without any time-out on a line where nothing will ever happen would hang
                // the test for good; stop loudly instead.
                std::fprintf(stderr, "SimSerialDevice: read without time-out on a silent line\n");
                std::abort();
            }
            clock.advanceToUs(limit);
            break;
        }
        clock.advanceToUs(next);
    }
    return true;
}

bool SimSerialDevice::write(const std::uint8_t* data, std::size_t size, std::size_t& written)
{
    written = 0;
    const LineFaults f = line_.faults();
    if (f.failWrite)
        return false;
    auto& clock = line_.clock();
    const bool pacing = line_.pacing();
    std::lock_guard lock(line_.mutex());
    if (f.stallWrites) {
        const std::int64_t total =
            static_cast<std::int64_t>(timeouts_.writeTotalMultiplier) * static_cast<std::int64_t>(size) +
            timeouts_.writeTotalConstant;
        clock.advanceUs(total * 1000);
        return true;
    }
    const std::int64_t perByte = pacing ? TimedByteQueue::usPerByteAt(line_.hostBaud) : 0;
    const bool match = speedsMatch();
    const std::int64_t start = clock.nowUs();
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t now0 = clock.nowUs();
        if (now0 >= f.ctsOffFromUs && now0 < f.ctsOffUntilUs) {
            // Without CTS the byte waits; the write's time-out (if any) may come first.
            const std::int64_t total =
                static_cast<std::int64_t>(timeouts_.writeTotalMultiplier) * static_cast<std::int64_t>(size) +
                timeouts_.writeTotalConstant;
            if (total > 0 && start + total * 1000 < f.ctsOffUntilUs) {
                clock.advanceToUs(start + total * 1000);
                return true;
            }
            clock.advanceToUs(f.ctsOffUntilUs);
        }
        if (perByte > 0)
            clock.advanceUs(perByte);
        const std::int64_t now = clock.nowUs();
        line_.peer().advance(now);
        const std::uint8_t b = match ? data[i] : SimSerialDevice::garble(data[i]);
        if (!line_.recordWrite(data[i], now))
            return false;  // hung up: this byte never left
        line_.peer().receive(&b, 1, now);
        ++written;
    }
    return true;
}

bool SimSerialDevice::clearError(std::uint32_t* inQueue)
{
    std::lock_guard lock(line_.mutex());
    const std::int64_t now = line_.clock().nowUs();
    line_.peer().advance(now);
    if (inQueue)
        *inQueue = static_cast<std::uint32_t>(line_.peer().output().readyAt(now));
    return true;
}

std::unique_ptr<platform::ISerialDevice> SimSerialFactory::open(const std::string& portName)
{
    auto it = lines_.find(portName);
    if (it == lines_.end())
        return nullptr;
    SimLine& line = *it->second;
    if (line.faults().failOpen)
        return nullptr;
    {
        std::lock_guard lock(line.mutex());
        if (line.held)
            return nullptr;
    }
    return std::make_unique<SimSerialDevice>(line);
}

}  // namespace sim
