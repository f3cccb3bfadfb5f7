#pragma once
// CUpgradeConsole: the console partner of the upgrade run. enterCommandMode brings the module
// from whatever console state it is in (login, password, prompt, quick-setup question, already
// restarting) into its command mode: log in if needed, restart, interrupt the restart with three
// ESC bytes; a module found already in command mode (its help line, "Remaining in AT command
// mode." or its "Enter yes to continue:", answered "Yes") is left there. The command-mode
// commands are then issued one at a time, each after command mode has been seen again. The
// dialogue is a scan of the console's last line against fixed texts.
// Used only by the upgrade worker, on its thread; every wait goes through the platform clock.

#include "serial/CSerialPort.h"

#include <cstdint>
#include <string>

class CUpgradeConsole : public CSerialPort {
public:
    // 0 restarting and ESC sent, or already in command mode; 1 port not opened; 2 credentials
    // sent but no prompt followed; 3 nothing recognised within the limits.
    int enterCommandMode(const std::string& portName, const std::string& username,
                         const std::string& password);
    bool waitForCommandMode(bool returnAtInitializing);
    bool prepareFlash();
    bool eraseConfiguration();
    bool startDownload();
    bool startFastDownload();
    // close(), then open at baudRate with 4096-byte queues: 0 opened, 1 failed.
    int reopen(const std::string& portName, std::uint32_t baudRate);

private:
    void sendEscapes();
    // One 4096-byte read appended to line, which then becomes its own last line; false when
    // nothing arrived.
    bool readInto(std::string& line);
    // Waits for command mode, then sends command and waits waitMs; false (nothing sent) when
    // command mode was not seen.
    bool runCommand(const char* command, std::int64_t waitMs);
};
