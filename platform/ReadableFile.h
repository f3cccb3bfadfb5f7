#pragma once
// ReadableFile: opening a file that is to be sent, and its size, taken from the open file.
//
// openReadable(path) opens path for reading in binary mode (the path as the C library's fopen
// takes it) and proves that it reads. Only a regular file is opened, without blocking on what is
// not one (a FIFO, a device). On failure the result says which step failed (Open: the file could
// not be opened; Read: it is no regular file (a folder, on every platform), or reading failed) and why, in
// a line for the operator: "No such file: <path>.", "Permission denied: <path>.", "Not a regular
// file: <path>." or the system's own words. The caller owns the FILE and closes it.
//
// fileSize(file) seeks to the end, takes the position and seeks back to the start: the size of
// what was opened, in 64 bits on every platform; -1 when the file cannot seek.
// POSIX: ReadableFile.cpp; Windows: win32/ReadableFileWin32.cpp.

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

struct ReadableFile {
    enum class Failure { None, Open, Read };
    std::FILE* file = nullptr;
    Failure failure = Failure::None;
    std::string cause;
};

ReadableFile openReadable(const std::string& path);
std::int64_t fileSize(std::FILE* file);

// The operator's line for an errno of a failed open or read of path (shared by both backends).
std::string fileErrorCause(const std::string& path, int error);

}  // namespace platform
