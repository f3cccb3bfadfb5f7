#pragma once
// pushComponentsReversed: the components of a slash-separated path ("/a//b/" gives "a", "b"),
// appended to a list last first, so that a walk along the path takes its next component from the
// back of the list (and a link met on the way pushes its target's components the same way).
// The list holds std::string or std::string_view (which then points into path).

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace platform {

template <class Part>
void pushComponentsReversed(std::string_view path, std::vector<Part>& list)
{
    // Forward with find(), which is memchr, then turned round.
    const std::size_t first = list.size();
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            list.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::reverse(list.begin() + static_cast<std::ptrdiff_t>(first), list.end());
}

}  // namespace platform
