#include "platform/IThreadStarter.h"

#include <system_error>
#include <thread>

namespace platform {

bool DetachedThreadStarter::start(ThreadProcedure procedure, void* parameter)
{
    try {
        std::thread([procedure, parameter] { procedure(parameter); }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace platform
