#include "app/UpgradeSettings.h"

#include "platform/Platform.h"

const platform::ResolvedPort& sessionPort(UpgradeSettings& settings)
{
    platform::ResolvedPort& port = settings.resolvedPort;
    if (!port.found() || port.name != settings.comPort)
        port = platform::services().serial->resolve(settings.comPort);
    return port;
}
