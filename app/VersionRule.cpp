#include "app/VersionRule.h"

namespace {

bool allDigits(const std::string& text, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

}  // namespace

bool isValidVersion(const std::string& text)
{
    const std::size_t length = text.size();
    if (length == 0 || length > 10)
        return false;
    const std::size_t first = text.find('.');
    if (first == std::string::npos || first < 1 || first > 3)
        return false;
    const std::size_t last = text.rfind('.');
    if (last < 3 || last > 6)
        return false;
    const std::size_t gap = last - first;
    if (gap < 2 || gap > 3)
        return false;
    // The digit test also rules out a third dot inside the parts.
    return allDigits(text, 0, first) && allDigits(text, first + 1, last) &&
           allDigits(text, last + 1, length);
}
