#pragma once
// The Win32 headers of the window backend, included LAST in its .cpp files: the framework's own
// headers name members after Win32 calls (SetDlgItemText, GetDlgItemText) and constants after
// Win32 macros (IDOK, MB_OK, PSWIZB_NEXT ...) with the same values, so they must be read before
// the macros exist. The A/W macros of the two member names are removed again here.

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <prsht.h>

#undef SetDlgItemText
#undef GetDlgItemText
