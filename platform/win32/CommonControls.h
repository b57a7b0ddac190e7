// The functions of the common controls that Setup.exe uses. comctl32.dll is not in the import table: it is
// loaded at its first use, after the DLL search has been restricted, so that whatever its own start-up code
// loads by name comes from the system folder as well. The manifest still selects version 6 (side by side).
// Without the DLL every call fails as it would for a bad argument.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace comctl {

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);
INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header);
BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
// Without the DLL a subclassed window cannot exist; DefWindowProcW answers then.
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace comctl
