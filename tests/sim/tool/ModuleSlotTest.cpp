// One place of tarvel-sim's bench on a real pseudo-terminal: a replaced module starts afresh on
// the same line; a hung-up or replugged one comes back on a new line behind the same link.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SystemClock.h"
#include "serial/CSerialPort.h"
#include "sim/tool/ModuleSlot.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

bool eventually(const std::function<bool()>& done)
{
    for (int i = 0; i < 300; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The last line the module shows after the host sends text.
std::string answer(CSerialPort& port, const std::string& text)
{
    port.writeText(text);
    std::string reply;
    port.readText(reply);
    return CSerialPort::lastLine(reply);
}

struct SlotTest : ::testing::Test {
    platform::SystemClock clock;
    platform::SerialDeviceFactory factory{clock};
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{&clock, &factory, &notifier, nullptr}};
    test::TempDir dir{"slot"};
    std::string link = (dir.path() / "tty").string();
};

}  // namespace

TEST_F(SlotTest, AReplacementStartsAfreshOnTheSameLine)
{
    SimOptions options;
    options.module.start = sim::ConsoleStart::LoggedOut;
    options.module.promptAtStart = false;
    ModuleSlot slot(options, link, dir.path() / "rx", "", clock, true);
    std::string error;
    ASSERT_TRUE(slot.start(error)) << error;
    const std::string path = slot.path();
    CSerialPort port;
    ASSERT_TRUE(port.open(link, 38400, 4096, 4096));
    EXPECT_EQ(answer(port, "admin\r"), "Password:");
    EXPECT_EQ(answer(port, "tarvel\r"), "Tarvel>");
    slot.replace();
    ASSERT_TRUE(eventually([&] { return slot.generation() == 2; }));
    // Logged out again: the new module asks for a login, on the line still open.
    EXPECT_EQ(answer(port, "\r"), "Login:");
    EXPECT_EQ(slot.path(), path);
    slot.stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST_F(SlotTest, AHungUpOrRepluggedModuleComesBackOnANewLineBehindTheLink)
{
    SimOptions options;
    options.hangupAfterBytes = 1;
    ModuleSlot slot(options, link, dir.path() / "rx", "", clock, true);
    std::string error;
    ASSERT_TRUE(slot.start(error)) << error;
    const std::string first = slot.path();
    // Held open through the replacement, as a host that has not noticed yet: the old line's
    // number stays taken, so the new line's differs.
    CSerialPort old;
    ASSERT_TRUE(old.open(link, 38400, 4096, 4096));
    old.writeText("\r");
    ASSERT_TRUE(eventually([&] { return slot.unplugged(); }));
    EXPECT_EQ(slot.path(), "");
    slot.replace();
    ASSERT_TRUE(eventually([&] { return !slot.unplugged(); }));
    EXPECT_NE(slot.path(), first);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), slot.path());
    CSerialPort port;
    ASSERT_TRUE(port.open(link, 38400, 4096, 4096));
    EXPECT_EQ(answer(port, ""), "Tarvel>");  // the new module's prompt, shown as it starts
    // Pulled and plugged in again by itself: the link goes for a while, then leads to a new line.
    const std::string second = slot.path();
    slot.replug();
    ASSERT_TRUE(eventually([&] { return slot.unplugged(); }));
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    ASSERT_TRUE(eventually([&] { return !slot.unplugged(); }));
    EXPECT_NE(slot.path(), second);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), slot.path());
    EXPECT_FALSE(slot.ended());
}
