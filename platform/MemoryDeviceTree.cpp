#include "platform/MemoryDeviceTree.h"

#include "platform/PathComponents.h"

#include <algorithm>
#include <string_view>

namespace platform {

namespace {

std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts;
    pushComponentsReversed(path, parts);
    std::reverse(parts.begin(), parts.end());
    return parts;
}

}  // namespace

MemoryDeviceTree::MemoryDeviceTree() : root_(std::make_unique<Node>()) {}

MemoryDeviceTree::~MemoryDeviceTree() = default;

MemoryDeviceTree::Node* MemoryDeviceTree::find(const std::string& path, bool followLast) const
{
    // The components still to walk, the next one last (views into path and into link targets,
    // which stay put while nothing is added); the folders walked so far, for "..".
    std::vector<std::string_view>& todo = todo_;
    todo.clear();
    // Discovery walks a path a component at a time, asking about each prefix: a walk that
    // carries on from the last one spares walking the prefix again.
    std::vector<Node*>& at = at_;
    if (!lastPath_.empty() && path.compare(0, lastPath_.size(), lastPath_) == 0 &&
        (path.size() == lastPath_.size() || path[lastPath_.size()] == '/')) {
        at.assign(lastAt_.begin(), lastAt_.end());
        pushComponentsReversed(std::string_view(path).substr(lastPath_.size()), todo);
    } else {
        at.assign(1, root_.get());
        pushComponentsReversed(path, todo);
    }
    int hops = 0;
    while (!todo.empty()) {
        const std::string_view c = todo.back();
        todo.pop_back();
        if (c == ".")
            continue;
        if (c == "..") {
            if (at.size() > 1)
                at.pop_back();
            continue;
        }
        Node* folder = at.back();
        if (folder->kind != Kind::Directory)
            return nullptr;
        const auto it = folder->children.find(c);
        if (it == folder->children.end())
            return nullptr;
        Node* next = it->second.get();
        if (next->kind == Kind::Link && (followLast || !todo.empty())) {
            if (++hops > 40)
                return nullptr;
            if (next->text.front() == '/')
                at.resize(1);
            pushComponentsReversed(next->text, todo);
            continue;
        }
        at.push_back(next);
    }
    if (hops == 0 && at.back()->kind == Kind::Directory) {
        lastPath_.assign(path);
        lastAt_.assign(at.begin(), at.end());
    }
    return at.back();
}

MemoryDeviceTree::Node* MemoryDeviceTree::add(const std::string& path, Kind kind)
{
    forget();
    const std::vector<std::string> parts = components(path);
    if (parts.empty() || std::any_of(parts.begin(), parts.end(), [](const std::string& p) { return p == "." || p == ".."; }))
        return kind == Kind::Directory && parts.empty() ? root_.get() : nullptr;
    Node* folder = root_.get();
    std::string walked;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        walked += "/" + parts[i];
        auto& child = folder->children[parts[i]];
        if (!child)
            child = std::make_unique<Node>();
        // As mkdir -p does: a link to a folder on the way is gone through.
        Node* next = child->kind == Kind::Link ? find(walked, true) : child.get();
        if (!next || next->kind != Kind::Directory)
            return nullptr;
        folder = next;
    }
    auto& node = folder->children[parts.back()];
    if (!node) {
        node = std::make_unique<Node>();
        node->kind = kind;
    }
    return node->kind == kind ? node.get() : nullptr;
}

bool MemoryDeviceTree::addFile(const std::string& path, const std::string& text, Status status, bool denied)
{
    Node* node = add(path, Kind::File);
    if (node)
        node->text = text, node->status = status, node->denied = denied;
    return node != nullptr;
}

bool MemoryDeviceTree::addLink(const std::string& path, const std::string& target)
{
    // A link's target cannot be empty, and one added again is refused, as on disk.
    Node* node = target.empty() ? nullptr : add(path, Kind::Link);
    if (!node || !node->text.empty())
        return false;
    node->text = target;
    return true;
}

bool MemoryDeviceTree::addFolder(const std::string& path)
{
    return add(path, Kind::Directory) != nullptr;
}

bool MemoryDeviceTree::addOther(const std::string& path, Status status, bool denied)
{
    Node* node = add(path, Kind::Other);
    if (node)
        node->status = status, node->denied = denied;
    return node != nullptr;
}

void MemoryDeviceTree::forget()
{
    lastPath_.clear();
    lastAt_.clear();
}

void MemoryDeviceTree::remove(const std::string& path)
{
    forget();
    const std::vector<std::string> parts = components(path);
    if (parts.empty())
        return;
    std::string parent;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        parent += "/" + parts[i];
    if (Node* folder = find(parent, true); folder && folder->kind == Kind::Directory)
        folder->children.erase(parts.back());
}

DeviceTree::Kind MemoryDeviceTree::kind(const std::string& path) const
{
    const Node* node = find(path, false);
    return node ? node->kind : Kind::None;
}

bool MemoryDeviceTree::exists(const std::string& path) const
{
    return find(path, true) != nullptr;
}

std::string MemoryDeviceTree::linkTarget(const std::string& path) const
{
    const Node* node = find(path, false);
    return node && node->kind == Kind::Link ? node->text : std::string();
}

std::vector<std::string> MemoryDeviceTree::list(const std::string& path) const
{
    std::vector<std::string> names;
    if (const Node* node = find(path, true); node && node->kind == Kind::Directory)
        for (const auto& [name, child] : node->children)
            names.push_back(name);
    return names;
}

std::string MemoryDeviceTree::read(const std::string& path, std::size_t limit) const
{
    const Node* node = find(path, true);
    return node && node->kind == Kind::File ? node->text.substr(0, limit) : std::string();
}

std::optional<DeviceTree::Status> MemoryDeviceTree::status(const std::string& path) const
{
    const Node* node = find(path, true);
    return node ? std::optional<Status>(node->status) : std::nullopt;
}

bool MemoryDeviceTree::accessDenied(const std::string& path) const
{
    const Node* node = find(path, true);
    return node && node->denied;
}

}  // namespace platform
