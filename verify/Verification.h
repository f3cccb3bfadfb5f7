#pragma once
// runVerification: decides whether an upgrade to settings.newVersion can succeed. Logs in, then
// checks version, memory and flash in that order; the first failing rule decides. Writes
// programSize (when it was 0) and deviceVersion back into the settings; returns the result code.
// The reason texts for the operator are composed here too, from the string table.

#include "app/UpgradeSettings.h"

#include <string>

int runVerification(UpgradeSettings& settings);

// Default program size for a target version when none was given.
std::int32_t defaultProgramSize(const std::string& newVersion);

// "Unfortunately, ... upgrading from version X to version Y will not be successful. "
std::string verificationFailedLine(const UpgradeSettings& settings);
// The success page's text.
std::string verificationPassedText(const UpgradeSettings& settings);
// The Details text for settings.verifyResult.
std::string verificationReason(int code, const UpgradeSettings& settings);
