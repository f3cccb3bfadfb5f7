#include "platform/ReadableFile.h"

#include "platform/PrintableText.h"

#include <cerrno>
#include <sys/stat.h>

namespace platform {

ReadableFile openReadable(const std::string& path)
{
    ReadableFile r;
    // fopen takes the narrow path in the ANSI code page, as the path was given to the program.
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        const int error = errno;
        // A folder does not open here at all; told apart as on POSIX, where it opens but is no file.
        struct _stat64 st {};
        const bool folder = ::_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) != _S_IFREG;
        r.failure = folder ? ReadableFile::Failure::Read : ReadableFile::Failure::Open;
        r.cause = folder ? "Not a regular file: " + printable(path) + "." : fileErrorCause(path, error);
        return r;
    }
    struct _stat64 st {};
    if (::_fstat64(::_fileno(f), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(f);
        r.failure = ReadableFile::Failure::Read;
        r.cause = "Not a regular file: " + printable(path) + ".";
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
    // _fseeki64/_ftelli64: fseek and ftell take a 32-bit long on Windows.
    if (!file || ::_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    const long long size = ::_ftelli64(file);
    if (size < 0 || ::_fseeki64(file, 0, SEEK_SET) != 0)
        return -1;
    return static_cast<std::int64_t>(size);
}

}  // namespace platform
