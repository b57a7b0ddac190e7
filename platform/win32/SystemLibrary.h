// DLLs from the system folder only: the process's DLL search is restricted first thing, and every DLL that is
// not one of Windows' KnownDLLs is loaded at its first use from the system folder, by this module.
#pragma once

#include <windows.h>

// Restricts the search for DLLs loaded by name to the system folder (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32); where that function does not exist, at least takes the current folder out of
// the search (SetDllDirectoryW with an empty text). Called first thing in wWinMain.
void RestrictDllSearch();

// The function `name` of the system DLL `dll` (e.g. L"msi.dll"), which is loaded from the system folder at the
// first call and stays loaded. Null when the DLL or the function cannot be had: `error` is then the Windows
// error (ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND, ...) and the first failure of each is logged. Safe to call
// from any thread.
FARPROC SystemFunction(const wchar_t* dll, const char* name, DWORD& error);

// SystemFunction typed as the function's own declaration: SYSTEM_FUNCTION(L"msi.dll", MsiCloseHandle, error).
#define SYSTEM_FUNCTION(dll, function, error) \
    reinterpret_cast<decltype(&function)>(reinterpret_cast<void*>(SystemFunction(dll, #function, error)))
