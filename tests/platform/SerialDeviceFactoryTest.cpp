// Port names to devices: COM1/COM2 with their environment overrides, and paths as they are.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SerialDeviceFactory.h"
#include "serial/CSerialPort.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Sets (or, with nullptr, removes) an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old, hadOld_ = true;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { hadOld_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(SerialDeviceFactory, MapsPortNamesToDevices)
{
    {
        ScopedEnv com1("UPGRADE_COM1", nullptr), com2("UPGRADE_COM2", "");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("COM1"), "/dev/ttyS0");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("COM2"), "/dev/ttyS1");
    }
    {
        ScopedEnv com1("UPGRADE_COM1", "/dev/ttyUSB3"), com2("UPGRADE_COM2", "/dev/pts/9");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("COM1"), "/dev/ttyUSB3");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("COM2"), "/dev/pts/9");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("/dev/ttyACM0"), "/dev/ttyACM0");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("/COM1"), "/COM1");
        EXPECT_EQ(platform::SerialDeviceFactory::devicePath("ttyUSB0"), "/dev/ttyUSB0");
    }
}

TEST(SerialDeviceFactory, ComTwoOverrideOpensThatDevice)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    ScopedEnv com2("UPGRADE_COM2", ::ptsname(master));
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    {
        CSerialPort port;
        EXPECT_TRUE(port.open("COM2", 38400, 4096, 4096));
        EXPECT_TRUE(port.writeText("AT{Z}\r"));
        char buf[16] = {};
        EXPECT_EQ(::read(master, buf, sizeof buf), 6);
        EXPECT_STREQ(buf, "AT{Z}\r");
        EXPECT_FALSE(port.open("", 38400, 4096, 4096));
    }
    EXPECT_EQ(notifier.texts(), std::vector<std::string>{"Unable to gain access to the COM port."});
    ::close(master);
}

}  // namespace
