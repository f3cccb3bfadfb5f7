#include "sim/tool/ReceivedFileWriter.h"

#include <fstream>

ReceivedFileWriter::ReceivedFileWriter(std::filesystem::path folder) : folder_(std::move(folder))
{
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
}

std::string ReceivedFileWriter::storedName(const std::string& sentName, std::size_t index)
{
    // The sender may be on either kind of system: both separators end a folder name.
    const std::size_t slash = sentName.find_last_of("/\\");
    std::string name = slash == std::string::npos ? sentName : sentName.substr(slash + 1);
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-' || c == '_';
        if (!plain)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        return "received-" + std::to_string(index + 1) + ".bin";
    return name;
}

std::vector<std::filesystem::path> ReceivedFileWriter::writeNew(const sim::ReceivedFiles& store)
{
    std::vector<std::filesystem::path> out;
    const auto files = store.files();
    while (written_ < files.size()) {
        const sim::ReceivedFile& f = files[written_];
        // The last file may still be on its way; an earlier incomplete one was given up.
        const bool last = written_ + 1 == files.size();
        if (!f.complete && last)
            break;
        if (f.complete) {
            const auto target = folder_ / storedName(f.name, written_);
            auto temporary = target;
            temporary += ".part";
            {
                std::ofstream os(temporary, std::ios::binary | std::ios::trunc);
                os.write(reinterpret_cast<const char*>(f.data.data()), static_cast<std::streamsize>(f.data.size()));
            }
            std::error_code ec;
            std::filesystem::rename(temporary, target, ec);
            if (!ec)
                out.push_back(target);
        }
        ++written_;
    }
    return out;
}
