#pragma once
// CWaitCursor: the wait cursor (BeginWaitCursor/EndWaitCursor) for the lifetime of the object.
// Nested instances stack. GUI thread only.

#include <QApplication>
#include <QCursor>

class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
