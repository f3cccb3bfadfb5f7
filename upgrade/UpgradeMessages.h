#pragma once
// The texts that report the outcome of an upgrade run, composed from the string table: the
// result line of the completed and the failed page, and the failed page's Details text for an
// upgradeResult code. Codes 1, 2, 7 and 8 have texts of their own; 3 and every other value
// share the text that asks the operator to check the cable. Used by the wizard and upgrade-cli.

#include "app/UpgradeSettings.h"

#include <string>

// "The Tarvel router module has been successfully upgraded to version 2.0.10 of the firmware."
std::string upgradeCompletedLine(const UpgradeSettings& settings);
// "The Tarvel router module was not successfully upgraded to version 2.0.10 of the firmware."
std::string upgradeFailedLine(const UpgradeSettings& settings);
// The Details text for an upgradeResult code (port, login, boot file, code file, or cable).
std::string upgradeFailureDetails(int code, const UpgradeSettings& settings);
