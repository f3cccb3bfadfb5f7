#include "platform/ui/DialogNavigation.h"

namespace ui {

namespace {

bool isRadio(const NavControl& c)
{
    return c.kind == ControlKind::AutoRadio;
}

// The group around index i: [first, end).
void groupOf(const std::vector<NavControl>& controls, int i, int& first, int& end)
{
    const int n = static_cast<int>(controls.size());
    first = i;
    while (first > 0 && !(controls[static_cast<std::size_t>(first)].style & kGroup))
        --first;
    end = i + 1;
    while (end < n && !(controls[static_cast<std::size_t>(end)].style & kGroup))
        ++end;
}

// The run of radio buttons around index i inside its group: [first, end).
void radioRunOf(const std::vector<NavControl>& controls, int i, int& first, int& end)
{
    int groupFirst = 0, groupEnd = 0;
    groupOf(controls, i, groupFirst, groupEnd);
    first = i;
    while (first > groupFirst && isRadio(controls[static_cast<std::size_t>(first - 1)]))
        --first;
    end = i + 1;
    while (end < groupEnd && isRadio(controls[static_cast<std::size_t>(end)]))
        ++end;
}

}  // namespace

bool DialogNavigation::isTabStop(const std::vector<NavControl>& controls, int index)
{
    const NavControl& c = controls[static_cast<std::size_t>(index)];
    if (!c.usable)
        return false;
    if (!isRadio(c))
        return (c.style & kTabStop) != 0;
    int first = 0, end = 0;
    radioRunOf(controls, index, first, end);
    for (int r = first; r < end; ++r)
        if (controls[static_cast<std::size_t>(r)].checked)
            return c.checked;
    return (c.style & kTabStop) != 0;
}

int DialogNavigation::tab(const std::vector<NavControl>& controls, int from, bool forward)
{
    const int n = static_cast<int>(controls.size());
    if (n == 0)
        return -1;
    if (from < 0 || from >= n)
        from = forward ? n - 1 : 0;  // so that the first step lands on the first (last) control
    for (int step = 1; step <= n; ++step) {
        const int i = ((forward ? from + step : from - step) % n + n) % n;
        if (isTabStop(controls, i))
            return i;
    }
    return -1;
}

int DialogNavigation::arrow(const std::vector<NavControl>& controls, int from, bool forward)
{
    const int n = static_cast<int>(controls.size());
    if (from < 0 || from >= n || !isRadio(controls[static_cast<std::size_t>(from)]))
        return -1;
    int first = 0, end = 0;
    radioRunOf(controls, from, first, end);
    const int size = end - first;
    for (int step = 1; step < size; ++step) {
        const int i = first + ((from - first + (forward ? step : -step)) % size + size) % size;
        if (controls[static_cast<std::size_t>(i)].usable)
            return i;
    }
    return -1;
}

}  // namespace ui
