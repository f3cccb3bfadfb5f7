#pragma once
// CliCommandLineInfo: the command line of upgrade-cli. The options of upgrade keep their
// meanings and are handed to CUpgradeCommandLineInfo (-e -f -n -h -s -u -p -b -c -o; -o also
// takes a device path, and '/'-paths are values as parseCommandLine decides); upgrade-cli adds
//   -t version  target version (default 2.0.10), checked with isValidVersion by validate()
//   -V          verify only        -y  accept the agreement without showing it
// Letters are compared whole and without regard to case. Unlike the wizard, which ignores what
// it does not know, a headless run must not guess: an unknown option, a value nobody asked
// for, or a value option without its value is recorded as a usage error.

#include "app/CUpgradeCommandLineInfo.h"
#include "app/UpgradeSettings.h"

#include <string>
#include <string_view>
#include <vector>

struct CliFlags {
    bool verifyOnly = false;        // -V
    bool acceptAgreement = false;   // -y
    std::vector<std::string> ports; // every -o, in order (the settings keep the last)
    std::string error;              // the first usage error, empty when none
};

class CliCommandLineInfo final : public CCommandLineInfo {
public:
    CliCommandLineInfo(UpgradeSettings* settings, CliFlags* flags) : upgrade_(settings), flags_(flags) {}

    void ParseParam(const char* param, bool isFlag, bool isLast) override;
    bool isOptionWord(std::string_view word) const override;

private:
    void fail(std::string message);
    // The option still waiting for its value ('t' or one of upgrade's), 0 when none.
    char pendingLetter() const;

    CUpgradeCommandLineInfo upgrade_;
    CliFlags* flags_;
    bool pendingVersion_ = false;
    char pendingUpgradeLetter_ = 0;
};

// Parses the arguments after the program name into settings and flags, then checks what a run
// needs: a valid -t, and -b and -c unless only verifying; -n and -V together make no sense.
// The file names follow the wizard's file page: the boot path must contain "tarvelboot.dmf" and
// the code path "tarvel.dmf". Returns false with flags.error set on a usage error
// (-h returns true at once, before these checks).
bool parseCliArguments(const std::vector<std::string>& arguments, UpgradeSettings& settings, CliFlags& flags);
