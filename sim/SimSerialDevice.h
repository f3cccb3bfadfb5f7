#pragma once
// SimSerialDevice: ISerialDevice on a SimLine under a VirtualClock. Reads and writes honour the
// installed time-outs exactly as the real device does, but waiting means moving the virtual
// clock to the next byte or event of the peer, so a 12.8 s silent read costs no real time.
// When the two ends run at different speeds every byte crosses the line garbled.
// SimSerialFactory hands out devices for named lines ("COM1", "/dev/ttyUSB0", ...).

#include "platform/ISerialDevice.h"
#include "sim/SimLine.h"

#include <map>
#include <memory>
#include <string>

namespace sim {

class SimSerialDevice final : public platform::ISerialDevice {
public:
    explicit SimSerialDevice(SimLine& line);
    ~SimSerialDevice() override;

    bool getState(platform::LineSettings& out) override;
    bool setState(const platform::LineSettings& settings) override;
    bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setTimeouts(const platform::SerialTimeouts& timeouts) override;
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& received) override;
    bool write(const std::uint8_t* data, std::size_t size, std::size_t& written) override;
    bool clearError(std::uint32_t* inQueue) override;

    // What a byte becomes when the two ends disagree on the speed.
    static std::uint8_t garble(std::uint8_t b) { return static_cast<std::uint8_t>((b ^ 0xA5) | 0x80); }

private:
    bool speedsMatch();
    SimLine& line_;
    platform::SerialTimeouts timeouts_;
};

class SimSerialFactory final : public platform::ISerialDeviceFactory {
public:
    // Makes a port name refer to a line. Names not added cannot be opened.
    void add(const std::string& portName, SimLine& line) { lines_[portName] = &line; }
    std::unique_ptr<platform::ISerialDevice> open(const std::string& portName) override;

private:
    std::map<std::string, SimLine*> lines_;
};

}  // namespace sim
