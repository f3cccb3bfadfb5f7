#pragma once
// pushComponentsReversed: the components of a slash-separated path ("/a//b/" gives "a", "b"),
// appended to a list last first, so that a walk along the path takes its next component from the
// back of the list (and a link met on the way pushes its target's components the same way).
// The list holds std::string or std::string_view (which then points into path).

#include <string_view>
#include <vector>

namespace platform {

template <class Part>
void pushComponentsReversed(std::string_view path, std::vector<Part>& list)
{
    for (std::size_t end = path.size(); end > 0;) {
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
        if (end > start)
            list.emplace_back(path.substr(start, end - start));
        end = slash == std::string_view::npos ? 0 : slash;
    }
}

}  // namespace platform
