#include "platform/ui/DialogUnits.h"

namespace ui {

int mulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

}  // namespace ui
