#pragma once
// TempDir: a fresh folder for one test under the system's temporary folder, named after the
// running test plus a random part (the same test may run in several builds at once) and removed
// with the object; put() writes a file into it and returns its path,
// read() returns a file's bytes.
// randomText: reproducible binary content of a given size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace test {

class TempDir {
public:
    explicit TempDir(const std::string& area)
        : path_(std::filesystem::temp_directory_path() /
                ("tarvel-" + area + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                 std::to_string(std::random_device{}())))
    {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return file(name);
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

inline std::string randomText(std::size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

}  // namespace test
