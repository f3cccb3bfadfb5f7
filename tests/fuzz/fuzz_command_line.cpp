// libFuzzer target: the command lines of upgrade and upgrade-cli, and the texts built from the
// settings they fill. The input is the argument list, NUL-separated. Nothing may crash or throw;
// every text value in the settings is one of the arguments (or its default); -s is read as an
// independent atoi-with-saturation reads it; a command line that upgrade-cli accepts has a valid
// target version (unless it asks for the usage text); the port-failure text quotes the port.
#include "FuzzBench.h"
#include "app/CUpgradeCommandLineInfo.h"
#include "app/VersionRule.h"
#include "cli/CliCommandLineInfo.h"
#include "upgrade/UpgradeMessages.h"
#include "verify/Verification.h"

#include <vector>

namespace {

using fuzz::require;

// atoi as the C library reads it, with 64-bit room and saturation at the int32 limits.
std::int32_t referenceAtoi(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{INT32_MAX} + 1);
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

bool givenOrDefault(const std::string& value, const std::vector<std::string>& args, const std::string& fallback)
{
    return value == fallback || std::find(args.begin(), args.end(), value) != args.end();
}

void requireFromArguments(const UpgradeSettings& s, const std::vector<std::string>& args)
{
    const UpgradeSettings defaults;
    for (auto text : {&UpgradeSettings::comPort, &UpgradeSettings::bootFile, &UpgradeSettings::codeFile,
                      &UpgradeSettings::username, &UpgradeSettings::password, &UpgradeSettings::newVersion})
        require(givenOrDefault(s.*text, args, defaults.*text));
    require(s.programSize == 0 ||
            std::any_of(args.begin(), args.end(), [&](const std::string& a) { return referenceAtoi(a) == s.programSize; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() <= 40; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    for (const auto& a : args)
        require(CUpgradeCommandLineInfo::toInt(a) == referenceAtoi(a));

    UpgradeSettings wizard;
    CUpgradeCommandLineInfo info(&wizard);
    parseCommandLine(args, info);
    requireFromArguments(wizard, args);

    UpgradeSettings cli;
    CliFlags flags;
    const bool accepted = parseCliArguments(args, cli, flags);
    require(accepted == flags.error.empty());
    requireFromArguments(cli, args);
    if (!accepted)
        return 0;
    // -h shows the usage and runs nothing: the other values are not checked then.
    require(cli.showUsage || isValidVersion(cli.newVersion));
    cli.deviceVersion = args.front();
    for (int code = 1; code <= 8; ++code) {
        const std::string details = upgradeFailureDetails(code, cli);
        if (code == 1)
            require(details.find(cli.comPort) != std::string::npos);
        if (code <= 6)
            verificationReason(code, cli);
    }
    upgradeFailedLine(cli), upgradeCompletedLine(cli), verificationFailedLine(cli), verificationPassedText(cli);
    defaultProgramSize(cli.newVersion);
    return 0;
}
