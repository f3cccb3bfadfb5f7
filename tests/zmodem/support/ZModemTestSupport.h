#pragma once
// Test support for the ZModem sender on virtual time: a fixture that wires a CZModemSender to a
// simulated line (VirtualClock, SimLine, RecordingNotifier, RecordingProgress) with a temporary
// folder, and the receiver's frames (ZModemFrames.h). Header-only.
#include "ZModemFrames.h"

#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/VirtualClock.h"
#include "serial/CSerialPort.h"
#include "sim/SimSerialDevice.h"
#include "sim/ZModemReceiverPeer.h"
#include "support/ScriptedPeer.h"
#include "support/TempDir.h"
#include "upgrade/RecordingProgress.h"
#include "zmodem/CZModemSender.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zmtest {

using test::ScriptedPeer;

// Reproducible bytes of the given length.
inline std::vector<std::uint8_t> patternBytes(std::size_t n, unsigned seed = 1)
{
    const Bytes s = test::randomText(n, seed);
    return {s.begin(), s.end()};
}

// CZModemSender on a simulated line at 38,400 bps; the far end is a ScriptedPeer unless the test
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
    test::TempDir dir{"zmodem"};

    void SetUp() override
    {
        factory.add("COM1", line);
        ASSERT_TRUE(port.open("COM1", 38400, 4096, 4096));
        sender = std::make_unique<CZModemSender>(&port, &progress);
    }
    // Puts a ZModem receiver at the far end instead of the script.
    void useReceiver(const sim::ZModemReceiverOptions& options = {})
    {
        rx = std::make_unique<sim::ZModemReceiverPeer>(options, store, 38400, clock.nowUs());
        line.setPeer(*rx);
    }
    Bytes host() const { return line.hostText(); }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& content) const
    {
        return dir.put(name, Bytes(content.begin(), content.end()));
    }
    // The one file the receiver got (fails the test if there is not exactly one).
    sim::ReceivedFile onlyFile() const
    {
        const auto files = store->files();
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? sim::ReceivedFile{} : files.front();
    }
};

}  // namespace zmtest
