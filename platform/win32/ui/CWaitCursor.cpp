#include "platform/ui/CWaitCursor.h"

#include "platform/win32/ui/WindowsHeaders.h"

namespace {
int g_depth = 0;
HCURSOR g_previous = nullptr;
}  // namespace

CWaitCursor::CWaitCursor()
{
    if (g_depth++ == 0)
        g_previous = ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
}

CWaitCursor::~CWaitCursor()
{
    if (--g_depth == 0)
        ::SetCursor(g_previous);
}
