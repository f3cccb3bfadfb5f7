#pragma once
// Test support for the ZModem sender on virtual time: a peer that plays a script of answers,
// a fixture that wires a CZModemSender to a simulated line (VirtualClock, SimLine,
// RecordingNotifier, RecordingProgress), the receiver's frames (ZModemFrames.h) and
// temporary files.
#include "ZModemFrames.h"

#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"
#include "sim/ZModemReceiverPeer.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zmtest {

// Plays answers: each step waits until the host's output (after the previous step's match)
// contains its trigger, then runs its action (if any) and queues its reply. An empty trigger
// fires at once. Everything the host wrote is kept in heard.
class ScriptedPeer final : public sim::ILinePeer {
public:
    void step(Bytes trigger, Bytes reply, std::function<void()> action = {});
    // Bytes that arrive at a fixed time, whatever the host does.
    void sayAt(const Bytes& bytes, std::int64_t atUs, std::int64_t usPerByte = 0);

    void advance(std::int64_t nowUs) override;
    void receive(const std::uint8_t* d, std::size_t n, std::int64_t nowUs) override;
    std::int64_t nextEventUs() const override { return sim::TimedByteQueue::kNever; }
    sim::TimedByteQueue& output() override { return out; }

    sim::TimedByteQueue out;
    Bytes heard;

private:
    struct Step {
        Bytes trigger;
        Bytes reply;
        std::function<void()> action;
    };
    void fire(std::int64_t nowUs);
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    std::size_t matchedTo_ = 0;
};

// A file in a fresh temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& content) const;

private:
    std::string path_;
    bool owned_ = false;
};

std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint32_t seed = 1);

// CZModemSender on a simulated line at 38,400 bps; the far end is the script unless the test
// asks for a receiver.
class SenderFixture : public ::testing::Test {
protected:
    platform::VirtualClock clock;
    ScriptedPeer script;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<sim::ZModemReceiverPeer> rx;  // outlives the port that writes to it
    sim::SimLine line{clock, script};
    sim::SimSerialFactory factory;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
    RecordingProgress progress;
    CSerialPort port;
    std::unique_ptr<CZModemSender> sender;
    TempDir dir;

    void SetUp() override;
    // Puts a ZModem receiver at the far end instead of the script.
    void useReceiver(const sim::ZModemReceiverOptions& options = {});
    Bytes host() const { return line.hostText(); }
    // The one file the receiver got (fails the test if there is not exactly one).
    sim::ReceivedFile onlyFile() const;
};

}  // namespace zmtest
