#include "cli/CliCommandLineInfo.h"

#include "app/CommandLineParser.h"
#include "app/VersionRule.h"

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isCliLetter(char c)
{
    return c == 't' || c == 'v' || c == 'y';
}

}  // namespace

bool CliCommandLineInfo::isOptionWord(std::string_view word) const
{
    return upgrade_.isOptionWord(word) || (word.size() == 1 && isCliLetter(lower(word.front())));
}

char CliCommandLineInfo::pendingLetter() const
{
    return pendingVersion_ ? 't' : pendingUpgradeLetter_;
}

void CliCommandLineInfo::fail(std::string message)
{
    if (flags_->error.empty())
        flags_->error = std::move(message);
}

void CliCommandLineInfo::ParseParam(const char* param, bool isFlag, bool isLast)
{
    const std::string text = param ? param : "";
    if (isFlag) {
        if (const char waiting = pendingLetter())
            fail(std::string("option -") + waiting + " needs a value");
        pendingVersion_ = false;
        pendingUpgradeLetter_ = 0;
        if (!isOptionWord(text)) {
            fail("unknown option -" + text);
            upgrade_.pendingOption = CUpgradeCommandLineInfo::kNoPending;
            return;
        }
        const char letter = lower(text.front());
        if (isCliLetter(letter)) {
            upgrade_.pendingOption = CUpgradeCommandLineInfo::kNoPending;
            if (letter == 't')
                pendingVersion_ = true;
            else if (letter == 'v')
                flags_->verifyOnly = true;
            else
                flags_->acceptAgreement = true;
        } else {
            upgrade_.ParseParam(param, true, isLast);
            if (upgrade_.pendingOption != CUpgradeCommandLineInfo::kNoPending)
                pendingUpgradeLetter_ = letter;
        }
    } else if (pendingVersion_) {
        upgrade_.settings->newVersion = text;
        pendingVersion_ = false;
    } else if (pendingUpgradeLetter_) {
        if (pendingUpgradeLetter_ == 'o')
            flags_->ports.push_back(text);
        upgrade_.ParseParam(param, false, isLast);
        pendingUpgradeLetter_ = 0;
    } else {
        fail("unexpected argument \"" + text + "\"");
    }
    if (isLast && pendingLetter())
        fail(std::string("option -") + pendingLetter() + " needs a value");
}

bool parseCliArguments(const std::vector<std::string>& arguments, UpgradeSettings& settings, CliFlags& flags)
{
    CliCommandLineInfo info(&settings, &flags);
    parseCommandLine(arguments, info);
    if (!flags.error.empty())
        return false;
    if (settings.showUsage)
        return true;
    if (!isValidVersion(settings.newVersion)) {
        flags.error = kInvalidVersionMessage;
        return false;
    }
    if (flags.verifyOnly && !settings.verifyFirst) {
        flags.error = "-n (upgrade without verifying) and -V (verify only) exclude each other";
        return false;
    }
    if (flags.verifyOnly)
        return true;
    if (settings.bootFile.find("tarvelboot.dmf") == std::string::npos) {
        flags.error = settings.bootFile.empty()
                          ? "the boot file (-b) is needed for an upgrade"
                          : "Invalid Tarvel boot file selected.\n\nPlease select a Tarvel boot file.";
        return false;
    }
    if (settings.codeFile.find("tarvel.dmf") == std::string::npos) {
        flags.error = settings.codeFile.empty()
                          ? "the code file (-c) is needed for an upgrade"
                          : "Invalid Tarvel code file selected.\n\nPlease select a Tarvel code file.";
        return false;
    }
    return true;
}
