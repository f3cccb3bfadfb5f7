#pragma once
// CWaitCursor: the wait cursor (BeginWaitCursor/EndWaitCursor) for the lifetime of the object.
// Nested instances stack. GUI thread only. Defined by the window backend.

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
