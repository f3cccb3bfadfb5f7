#include "serial/CUpgradeConsole.h"

#include "platform/Platform.h"

namespace {

constexpr std::uint32_t kConsoleBaud = 38400;
constexpr std::uint32_t kQueueSize = 4096;
constexpr std::size_t kReadSize = 4096;
constexpr int kMaxPasses = 550;
constexpr int kEnterMaxFailedReads = 7;
constexpr int kWaitMaxFailedReads = 8;
constexpr int kEsc = 27;

const std::string kLogin = "Login:";
const std::string kPassword = "Password:";
const std::string kInitializing = "Initializing....";
const std::string kQuickSetup = "Do you want to continue with Tarvel Quick Setup?";
const std::string kHelpLine = "AT{?} ............. To get help";
const std::string kRemaining = "Remaining in AT command mode.";
const std::string kConfirm = "Enter yes to continue:";

enum class Outcome { None, Login, Prompt, Password, Initializing, CommandMode };

}  // namespace

void CUpgradeConsole::sendEscapes()
{
    for (int i = 0; i < 3; ++i)
        writeByte(kEsc);
}

bool CUpgradeConsole::readInto(std::string& line)
{
    std::string received;
    const bool ok = readText(received, kReadSize);
    // A failed read still contributes its (empty) text, so the current line stays as it was.
    line = lastLine(line + received);
    return ok;
}

int CUpgradeConsole::enterCommandMode(const std::string& portName, const std::string& username,
                                      const std::string& password)
{
    if (!open(portName, kConsoleBaud, kQueueSize, kQueueSize))
        return 1;
    writeText("\r");
    platform::sleepMs(50);

    std::string line;
    Outcome outcome = Outcome::None;
    int failedReads = 0;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        if (failedReads >= kEnterMaxFailedReads)
            break;
        if (!readInto(line)) {
            ++failedReads;
            writeText("\r");
            platform::sleepMs(50);
        }

        if (line == kLogin) {
            outcome = Outcome::Login;
            break;
        }
        if (confirmPrompt(line)) {
            outcome = Outcome::Prompt;
            break;
        }
        if (line == kPassword) {
            outcome = Outcome::Password;
            break;
        }
        if (line == kInitializing) {
            outcome = Outcome::Initializing;
            break;
        }
        // An earlier run can leave the module in command mode (a failed transfer; a module that
        // stays there after a download). Nothing else would ever show there, so without these
        // the scan would run out its passes and a re-attempt would wait for most of an hour.
        if (line == kHelpLine || line == kRemaining) {
            outcome = Outcome::CommandMode;
            break;
        }
        if (line == kConfirm) {
            writeText("Yes\r");
            outcome = Outcome::CommandMode;
            break;
        }
        if (line == kQuickSetup) {
            writeText("NO\r");
            platform::sleepMs(100);
        } else {
            platform::sleepMs(500);
        }
    }

    // Each outcome falls through to the steps of the ones below it.
    switch (outcome) {
    case Outcome::None:
        return 3;
    case Outcome::CommandMode:
        // No login and no restart: the command that follows waits for command mode to show
        // itself again, as every command does.
        return 0;
    case Outcome::Password:
        // An empty password ends the half-finished login; the console then asks afresh.
        writeText("\r");
        platform::sleepMs(5000);
        [[fallthrough]];
    case Outcome::Login:
        writeText(username + "\r");
        platform::sleepMs(50);
        writeText(password + "\r");
        platform::sleepMs(5000);
        readInto(line);
        if (!confirmPrompt(line))
            return 2;
        [[fallthrough]];
    case Outcome::Prompt:
        writeText("reboot\r");
        platform::sleepMs(500);
        writeText("Yes\r");
        platform::sleepMs(8000);
        [[fallthrough]];
    case Outcome::Initializing:
        sendEscapes();
        platform::sleepMs(500);
        return 0;
    }
    return 3;
}

bool CUpgradeConsole::waitForCommandMode(bool returnAtInitializing)
{
    std::string line;
    int failedReads = 0;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        if (failedReads >= kWaitMaxFailedReads)
            return false;
        if (!readInto(line))
            ++failedReads;

        if (line == kHelpLine || line == kRemaining)
            return true;
        if (line == kConfirm) {
            writeText("Yes\r");
            return true;
        }
        if (line == kInitializing) {
            // Sent again on every pass that still sees the restart, in case the first ones were lost.
            sendEscapes();
            if (returnAtInitializing)
                return true;
        }
        platform::sleepMs(500);
    }
    return false;
}

bool CUpgradeConsole::runCommand(const char* command, std::int64_t waitMs)
{
    if (!waitForCommandMode(false))
        return false;
    writeText(command);
    platform::sleepMs(waitMs);
    return true;
}

bool CUpgradeConsole::prepareFlash()
{
    return runCommand("AT{P}\r", 10000) && waitForCommandMode(false);
}

bool CUpgradeConsole::eraseConfiguration()
{
    return runCommand("AT{E}\r", 3000) && waitForCommandMode(true);
}

bool CUpgradeConsole::startDownload()
{
    return runCommand("AT{Z}\r", 3000);
}

bool CUpgradeConsole::startFastDownload()
{
    return runCommand("AT{.}\r", 3000);
}

int CUpgradeConsole::reopen(const std::string& portName, std::uint32_t baudRate)
{
    close();
    return open(portName, baudRate, kQueueSize, kQueueSize) ? 0 : 1;
}
