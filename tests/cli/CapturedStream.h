#pragma once
// CapturedStream: a FILE* on a file of the test's folder (in-memory streams are POSIX only), to
// hand the program as one of its streams; text() is what was written to it so far, byte for byte.

#include "support/TempDir.h"

#include <cstdio>
#include <string>

namespace test {

class CapturedStream {
public:
    CapturedStream(const TempDir& dir, const std::string& name) : file(std::fopen(dir.file(name).c_str(), "w+b")) {}
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;
    ~CapturedStream() { std::fclose(file); }

    std::string text() const
    {
        std::fflush(file);
        std::rewind(file);
        std::string s;
        for (int c; (c = std::fgetc(file)) != EOF;)
            s += static_cast<char>(c);
        return s;
    }

    std::FILE* const file;
};

}  // namespace test
