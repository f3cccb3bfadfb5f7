#pragma once
// UpgradeSettings: the operator's choices and the outcomes of the last verification and upgrade
// run. Exactly one instance lives in the wizard (or the headless front end); it starts from the
// defaults below, is filled from the command line, then read and written by the pages, the
// verification and the upgrade worker. Nothing in it is saved.
// upgradeDone and upgradeResult are written by the worker thread while the GUI thread reads
// them, so they are atomics; the worker stores upgradeResult before upgradeDone.
// resolvedPort is the device comPort stood for when the session first used it: verification and
// upgrade of one session reach the same device (sessionPort()).

#include "platform/ResolvedPort.h"

#include <atomic>
#include <cstdint>
#include <string>

struct UpgradeSettings {
    bool eraseConfig = false;
    bool fastDownload = false;
    bool nonInteractive = false;
    bool showUsage = false;
    std::int32_t programSize = 0;
    bool verifyFirst = true;
    std::atomic<bool> upgradeDone{false};
    std::int32_t verifyResult = 0;
    std::atomic<std::int32_t> upgradeResult{0};
    std::string comPort = "COM1";
    std::string newVersion = "2.0.10";
    std::string deviceVersion = "x.x.x";
    std::string username;
    std::string password;
    std::string bootFile;
    std::string codeFile;
    platform::ResolvedPort resolvedPort;
};

// The device of this session's runs: resolvedPort while it was found for the current comPort;
// otherwise comPort resolved now (through the platform's serial devices), kept when it found a
// device. A port that stood for nothing is resolved again at the next run, and choosing another
// port resolves anew.
const platform::ResolvedPort& sessionPort(UpgradeSettings& settings);
