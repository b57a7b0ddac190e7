// Folders and files that a process without elevation cannot redirect or swap: the temporary folder, a
// private folder created with its security descriptor, folders opened without following links and held
// open, plain files checked through their handle, and the removal of a whole tree.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The user's temporary folder as GetTempPathW gives it, ending with a backslash; empty when it cannot be had.
std::wstring Win32TempFolder();

// The security descriptor of a private folder in SDDL: a protected DACL (nothing inherited) with full
// control for SYSTEM and the Administrators group, inherited by everything created inside.
extern const wchar_t* const kPrivateFolderSddl;

// Creates a folder with that descriptor, given to CreateDirectoryW itself, so that the folder never exists
// with the inherited DACL. Returns 0, or the Windows error (ERROR_ALREADY_EXISTS when the name is taken,
// whatever it names).
uint32_t Win32CreatePrivateFolder(const std::wstring& path);

// Opens a folder without following links, creating it first when `create` is set, and keeps it open for
// the rest of the process: without delete sharing, so that nobody can rename it, delete it or put a link
// in its place while the process lives. False when the path is a reparse point (junction, symbolic link,
// mount point), is not a folder, or cannot be opened; nothing is then kept. Opening a folder that is
// held already succeeds at once. Safe to call from any thread.
bool Win32OpenFolderSafely(const std::wstring& path, bool create);

// Opens a file without following links and checks through the handle that it is a plain file: not a
// reparse point, not a folder, and with no second name (hard link). Returns the handle, or
// INVALID_HANDLE_VALUE with the last error set (ERROR_CANT_ACCESS_FILE when the check failed).
HANDLE Win32OpenPlainFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition);

// Whether the path names a reparse point as the file system reports it by name. Windows reports a
// junction through the handle opened above as well; Wine reports a Unix symbolic link to a folder only by
// name, so both are asked.
bool Win32IsReparsePoint(const std::wstring& path);

// Deletes a folder and everything in it. Links found inside are removed themselves; their targets are
// never entered. Read-only files are deleted too. Returns true when the folder is gone.
bool Win32RemoveTree(const std::wstring& path);
