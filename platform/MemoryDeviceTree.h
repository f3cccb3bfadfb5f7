#pragma once
// MemoryDeviceTree: a device tree held in memory, laid out by its builder (tests, fuzzing, the
// virtual module's demos), that reads as DiskDeviceTree reads a tree on disk: links are
// followed component by component ("..", relative and absolute targets; an absolute target stays
// inside this tree), a chain of more than 40 links leads nowhere, and an Other entry (a FIFO, a
// socket) has no content to read.
//
// The add functions make the folders on the way, as mkdir -p does (a link to a folder is gone
// through); each refuses (false) where an entry on the way is no folder, or where path is taken
// by another kind of entry.
// A file added again gets the new content.
//
// Reads remember the last folder they walked to and keep their scratch space, so a tree is for
// one thread at a time.

#include "platform/DeviceTree.h"

#include <map>
#include <memory>
#include <string_view>

namespace platform {

class MemoryDeviceTree final : public DeviceTree {
public:
    static constexpr Status kFile{0100644, 0, 0};
    static constexpr Status kFolder{040755, 0, 0};
    static constexpr Status kFifo{010600, 0, 0};

    MemoryDeviceTree();
    ~MemoryDeviceTree() override;

    bool addFile(const std::string& path, const std::string& text, Status status = kFile, bool denied = false);
    bool addLink(const std::string& path, const std::string& target);
    bool addFolder(const std::string& path);
    bool addOther(const std::string& path, Status status = kFifo, bool denied = false);
    // Takes away the entry at path (a final link itself, not what it leads to) and all below it.
    void remove(const std::string& path);

    Kind kind(const std::string& path) const override;
    bool exists(const std::string& path) const override;
    std::string linkTarget(const std::string& path) const override;
    std::vector<std::string> list(const std::string& path) const override;
    std::string read(const std::string& path, std::size_t limit) const override;
    std::optional<Status> status(const std::string& path) const override;
    bool accessDenied(const std::string& path) const override;
    std::string onDisk(const std::string&) const override { return {}; }

private:
    struct Node {
        Kind kind = Kind::Directory;
        std::string text;  // a file's content, a link's target
        Status status = kFolder;
        bool denied = false;
        std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
    };
    Node* find(const std::string& path, bool followLast) const;
    Node* add(const std::string& path, Kind kind);
    void forget();

    std::unique_ptr<Node> root_;
    mutable std::string lastPath_;  // a folder reached without a link; empty for none
    mutable std::vector<Node*> lastAt_;  // the folders from the root to it
    // A walk's scratch space, kept so that a read allocates nothing.
    mutable std::vector<std::string_view> todo_;
    mutable std::vector<Node*> at_;
};

}  // namespace platform
