#include "platform/ReadableFile.h"

#include "platform/PrintableText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

ReadableFile openReadable(const std::string& path)
{
    ReadableFile r;
    // Non-blocking for the open only: a FIFO would otherwise wait for a writer without end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        r.failure = ReadableFile::Failure::Open;
        r.cause = fileErrorCause(path, errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.failure = ReadableFile::Failure::Read;
        r.cause = "Not a regular file: " + printable(path) + ".";
        return r;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* f = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : ::fdopen(fd, "rb");
    if (!f) {
        const int error = errno;
        ::close(fd);
        r.failure = ReadableFile::Failure::Open;
        r.cause = fileErrorCause(path, error);
        return r;
    }
    if (std::fgetc(f) == EOF && std::ferror(f)) {
        const int error = errno;
        std::fclose(f);
        r.failure = ReadableFile::Failure::Read;
        r.cause = fileErrorCause(path, error);
        return r;
    }
    std::rewind(f);
    r.file = f;
    return r;
}

std::int64_t fileSize(std::FILE* file)
{
    if (!file || ::fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t size = ::ftello(file);
    if (size < 0 || ::fseeko(file, 0, SEEK_SET) != 0)
        return -1;
    return static_cast<std::int64_t>(size);
}

}  // namespace platform
