#include "platform/PrintableText.h"
#include "platform/ReadableFile.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string fileErrorCause(const std::string& path, int error)
{
    const std::string shown = printable(path);
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "No such file: " + shown + ".";
    case EACCES:
    case EPERM:
        return "Permission denied: " + shown + ".";
    case EISDIR:
        return "Not a regular file: " + shown + ".";
    default:
        return shown + ": " + std::strerror(error) + ".";
    }
}

}  // namespace platform
