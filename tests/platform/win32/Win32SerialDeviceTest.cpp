// The Windows serial port. First what Win32SerialDevice hands the driver, seen through a
// recording fake of the comm API (Win32CommApi) left in odd states; then CSerialPort on the
// real device in real time against a far end at its console prompt ("Tarvel>"), which is
// tarvel-sim reached through Wine's COM port mapping (scripts/test-windows.sh) or a module on a
// real port. TARVEL_TEST_PORT names the port; the cases that need one are skipped without it.
// Bounds are loose; each case takes < 2 s.
#include "platform/Platform.h"
#include "platform/RecordingNotifier.h"
#include "platform/SerialDeviceFactory.h"
#include "platform/SystemClock.h"
#include "platform/win32/Win32CommApi.h"
#include "platform/win32/Win32SerialDevice.h"
#include "serial/CSerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using platform::LineSettings;

long msSince(Clock::time_point t0)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

const std::string kAccessError = "Unable to gain access to the COM port.";

// The driver behind the fake comm API: the DCB it reports, and everything it was handed.
struct FakeDriver {
    DCB dcb{};
    DWORD inQueue = 0;
    BOOL clearResult = TRUE;
    std::vector<std::string> calls;
    std::vector<DCB> applied;
    std::vector<COMMTIMEOUTS> timeouts;
};
FakeDriver* g_driver = nullptr;
HANDLE const kHandle = reinterpret_cast<HANDLE>(0x4d2);

BOOL note(HANDLE h, const std::string& call)
{
    g_driver->calls.push_back(h == kHandle ? call : call + " on a foreign handle");
    return TRUE;
}
BOOL WINAPI fakeGetCommState(HANDLE h, LPDCB dcb) { return *dcb = g_driver->dcb, note(h, "GetCommState"); }
BOOL WINAPI fakeSetCommState(HANDLE h, LPDCB dcb) { return g_driver->applied.push_back(*dcb), note(h, "SetCommState"); }
BOOL WINAPI fakeSetupComm(HANDLE h, DWORD in, DWORD out) { return note(h, "SetupComm " + std::to_string(in) + " " + std::to_string(out)); }
BOOL WINAPI fakeSetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) { return g_driver->timeouts.push_back(*t), note(h, "SetCommTimeouts"); }
BOOL WINAPI fakeReadFile(HANDLE h, LPVOID buffer, DWORD size, LPDWORD n, LPOVERLAPPED o)
{
    static_cast<char*>(buffer)[0] = 'T', *n = 1;
    return note(h, "ReadFile " + std::to_string(size) + (o ? " overlapped" : ""));
}
BOOL WINAPI fakeWriteFile(HANDLE h, LPCVOID, DWORD size, LPDWORD n, LPOVERLAPPED o)
{
    *n = size;
    return note(h, "WriteFile " + std::to_string(size) + (o ? " overlapped" : ""));
}
BOOL WINAPI fakeClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT status)
{
    *errors = CE_FRAME;
    if (status)
        status->cbInQue = g_driver->inQueue;
    return note(h, status ? "ClearCommError" : "ClearCommError, no status") && g_driver->clearResult;
}
BOOL WINAPI fakeCloseHandle(HANDLE h) { return note(h, "CloseHandle"); }

struct FakeCommPort : ::testing::Test, platform::ISerialDeviceFactory {
    FakeDriver driver;
    platform::Win32CommApi api;
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, this, &notifier, nullptr}};
    CSerialPort port;

    FakeCommPort()
    {
        g_driver = &driver;
        api.getCommState = fakeGetCommState, api.setCommState = fakeSetCommState;
        api.setupComm = fakeSetupComm, api.setCommTimeouts = fakeSetCommTimeouts;
        api.readFile = fakeReadFile, api.writeFile = fakeWriteFile;
        api.clearCommError = fakeClearCommError, api.closeHandle = fakeCloseHandle;
    }
    ~FakeCommPort() override
    {
        port.close();
        g_driver = nullptr;
    }
    std::unique_ptr<platform::ISerialDevice> open(const std::string&) override
    {
        return platform::Win32SerialDevice::attach(kHandle, api);
    }
};

TEST_F(FakeCommPort, OpenSetsEveryConsoleFieldWhateverTheDriverHeldAndKeepsTheRest)
{
    // A driver that another program configured: every field the console does not set holds a
    // value of its own, which must survive.
    DCB held{};
    held.DCBlength = sizeof(DCB);
    held.fBinary = 1, held.fParity = 1, held.fDsrSensitivity = 1, held.fTXContinueOnXoff = 1;
    held.fErrorChar = 1, held.fNull = 1, held.fAbortOnError = 1;
    held.XonLim = 2048, held.XoffLim = 512, held.XonChar = 0x11, held.XoffChar = 0x13;
    held.ErrorChar = '?', held.EofChar = 0x1a, held.EvtChar = '!';
    // The console's own settings, each of which a row below replaces by an odd one.
    held.BaudRate = 38400, held.ByteSize = 8, held.Parity = NOPARITY, held.StopBits = ONESTOPBIT;
    held.fOutxCtsFlow = 1, held.fDtrControl = DTR_CONTROL_ENABLE, held.fRtsControl = RTS_CONTROL_HANDSHAKE;
    const std::pair<const char*, std::function<void(DCB&)>> odd[] = {
        {"mark parity", [](DCB& d) { d.Parity = MARKPARITY; }},
        {"space parity", [](DCB& d) { d.Parity = SPACEPARITY; }},
        {"1.5 stop bits", [](DCB& d) { d.StopBits = ONE5STOPBITS; }},
        {"DTR handshake", [](DCB& d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }},
        {"RTS toggle", [](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }},
        {"all plain but wrong", [](DCB& d) {
             d.BaudRate = 9600, d.ByteSize = 7, d.Parity = ODDPARITY, d.StopBits = TWOSTOPBITS;
             d.fOutxCtsFlow = 0, d.fOutxDsrFlow = 1, d.fDtrControl = DTR_CONTROL_DISABLE;
             d.fRtsControl = RTS_CONTROL_DISABLE, d.fOutX = 1, d.fInX = 1;
         }},
    };
    for (std::uint32_t baud : {38400u, 115200u}) {
        for (const auto& [name, make] : odd) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(baud));
            driver = {};
            driver.dcb = held;
            make(driver.dcb);
            ASSERT_TRUE(port.open("COM1", baud, 4096, 4096));
            // setState reads the DCB afresh, so that it changes the driver's values of that moment.
            EXPECT_EQ(driver.calls, (std::vector<std::string>{"GetCommState", "SetupComm 4096 4096", "GetCommState",
                                                              "SetCommState", "ClearCommError, no status"}));
            ASSERT_EQ(driver.applied.size(), 1u);
            // The console's fields take their values; every other field, reserved bits included,
            // keeps the driver's.
            DCB want = driver.dcb;
            want.BaudRate = baud, want.ByteSize = 8, want.Parity = NOPARITY, want.StopBits = ONESTOPBIT;
            want.fOutxCtsFlow = 1, want.fOutxDsrFlow = 0, want.fDtrControl = DTR_CONTROL_ENABLE;
            want.fRtsControl = RTS_CONTROL_HANDSHAKE, want.fOutX = 0, want.fInX = 0;
            EXPECT_EQ(std::memcmp(&driver.applied[0], &want, sizeof want), 0);
            port.close();
            EXPECT_EQ(driver.calls.back(), "CloseHandle");
        }
    }
    EXPECT_TRUE(notifier.boxes().empty());
}

TEST_F(FakeCommPort, TimeOutsCountsAndTheInputQueueReachTheDriverUnchanged)
{
    auto dev = platform::Win32SerialDevice::attach(kHandle, api);
    std::uint8_t buffer[4096] = {};
    std::size_t count = 0;
    std::uint32_t inQueue = 0;
    driver.inQueue = 37;
    EXPECT_TRUE(dev->setTimeouts({11, 22, 33, 44, 55}) && dev->read(buffer, sizeof buffer, count) && count == 1 &&
                buffer[0] == 'T' && dev->write(buffer, 7, count) && count == 7 && dev->clearError(&inQueue) && inQueue == 37);
    driver.clearResult = FALSE;
    EXPECT_FALSE(dev->clearError(&inQueue));
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"SetCommTimeouts", "ReadFile 4096", "WriteFile 7", "ClearCommError",
                                                      "ClearCommError"}));
    const COMMTIMEOUTS& t = driver.timeouts.at(0);
    EXPECT_EQ(std::vector<DWORD>({t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                                  t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}),
              (std::vector<DWORD>{11, 22, 33, 44, 55}));
}

struct ComPort : ::testing::Test {
    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};  // real clock and ports
    CSerialPort port;
    std::string name;

    void SetUp() override
    {
        const char* p = std::getenv("TARVEL_TEST_PORT");
        if (!p || !*p)
            GTEST_SKIP() << "TARVEL_TEST_PORT names no port with a module or tarvel-sim at its prompt";
        name = p;
        ASSERT_TRUE(port.open(name, 38400, 4096, 4096)) << name;
        // Whatever an earlier case or the module's start left on the line.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (port.bytesAvailable() > 0)
            port.readByte(100);
    }
};

// Wine reads RTS handshake back as RTS enabled (while it reports the CTS handshake set with it).
TEST_F(ComPort, RtsHandshakeIsReadBack)
{
    LineSettings dcb;
    EXPECT_TRUE(port.getState(dcb) && dcb.rtsControl == LineSettings::RtsControl::Handshake);
}

TEST_F(ComPort, ThePromptComesAsATextAndByteByByteThenReadByteTimesOut)
{
    ASSERT_TRUE(port.writeText("\r"));
    std::string text;
    auto t0 = Clock::now();
    ASSERT_TRUE(port.readText(text));
    // The read ends 200 ms after the prompt, long before its 12,788 ms total.
    EXPECT_LE(msSince(t0), 2000);
    EXPECT_EQ(CSerialPort::lastLine(text), "Tarvel>");
    ASSERT_TRUE(port.writeByte('\r'));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int waiting = port.bytesAvailable();
    ASSERT_GE(waiting, 7);  // at least "Tarvel>"
    text.clear();
    for (int i = 0, b; i < waiting && (b = port.readByte(500)) >= 0; ++i)
        text += static_cast<char>(b);
    EXPECT_EQ(CSerialPort::lastLine(text), "Tarvel>");
    EXPECT_EQ(port.bytesAvailable(), 0);
    t0 = Clock::now();
    EXPECT_EQ(port.readByte(100), -2);
    EXPECT_TRUE(msSince(t0) >= 90 && msSince(t0) <= 1000) << msSince(t0);
    EXPECT_EQ(port.writeErrorCount, 0);
    EXPECT_TRUE(port.confirmPrompt("Tarvel>"));
}

// Windows refuses a second open of a port (it is opened without sharing). Wine does not.
TEST_F(ComPort, SecondOpenIsRefused)
{
    CSerialPort second;
    EXPECT_FALSE(second.open(name, 38400, 4096, 4096));
    EXPECT_EQ(notifier.texts(), std::vector<std::string>{kAccessError});
}

TEST(ComPortNames, EveryNameOpensInItsDeviceFormAndAMissingPortIsRefused)
{
    platform::SystemClock clock;
    platform::SerialDeviceFactory devices(clock);
    for (const auto& [name, path] : {std::pair{"COM1", "\\\\.\\COM1"}, {"COM10", "\\\\.\\COM10"}, {"\\\\.\\COM12", "\\\\.\\COM12"}})
        EXPECT_EQ(devices.devicePath(name), path);
    EXPECT_EQ(devices.open("COM199"), nullptr);
    EXPECT_EQ(devices.openFailure("COM199").rfind("No such port: \\\\.\\COM199 (COM199).", 0), 0u)
        << devices.openFailure("COM199");

    platform::RecordingNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    CSerialPort port;
    EXPECT_FALSE(port.open("COM199", 38400, 4096, 4096));
    EXPECT_FALSE(port.open("", 38400, 4096, 4096));
    EXPECT_EQ(notifier.texts(), std::vector<std::string>(2, kAccessError));
}

}  // namespace
