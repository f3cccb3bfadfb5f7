#pragma once
// Win32CommApi: the kernel32 comm functions that Win32SerialDevice calls, as a table of
// pointers. A default-constructed table holds the system's own functions; tests give the device
// a table of recording fakes to see exactly what it hands the driver. The table must outlive
// every device attached to it.

#include <windows.h>

namespace platform {

struct Win32CommApi {
    decltype(&::GetCommState) getCommState = &::GetCommState;
    decltype(&::SetCommState) setCommState = &::SetCommState;
    decltype(&::SetupComm) setupComm = &::SetupComm;
    decltype(&::SetCommTimeouts) setCommTimeouts = &::SetCommTimeouts;
    decltype(&::ReadFile) readFile = &::ReadFile;
    decltype(&::WriteFile) writeFile = &::WriteFile;
    decltype(&::ClearCommError) clearCommError = &::ClearCommError;
    decltype(&::CloseHandle) closeHandle = &::CloseHandle;
};

}  // namespace platform
