#pragma once
// ReceivedFileWriter: stores the files that the virtual module's ZModem receiver has taken in
// completely into a folder, each under the last part of the name it was sent with (the sender
// sends whole paths). A name that would leave the folder or is not a plain file name is
// replaced; a later file of the same name replaces the earlier one. Files are written to a
// temporary name and renamed, so a reader never sees half a file.

#include "sim/ZModemReceiver.h"

#include <filesystem>
#include <string>
#include <vector>

class ReceivedFileWriter {
public:
    // Creates the folder when missing.
    explicit ReceivedFileWriter(std::filesystem::path folder);

    // Writes the complete files of store not yet written; returns the paths written.
    std::vector<std::filesystem::path> writeNew(const sim::ReceivedFiles& store);

    // The file name used for a file sent as sentName, the index-th file of the store.
    static std::string storedName(const std::string& sentName, std::size_t index);

private:
    std::filesystem::path folder_;
    std::size_t written_ = 0;  // files of the store already handled (complete or given up)
};
