// IFileSystem on the Windows file functions.
#include "system/win32/Win32FileSystem.h"

#include "log/win32/Win32Log.h"

#include <windows.h>
#include <shlwapi.h>

// The interface's names, not the ANSI/Unicode macros of <windows.h>.
#undef DeleteFile

std::wstring Win32FileSystem::TempFolder() { return Win32TempFolder(); }

std::wstring Win32FileSystem::SystemDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

bool Win32FileSystem::FileExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

bool Win32FileSystem::CreateFolder(const std::wstring& path) { return Win32CreateFolder(path); }

bool Win32FileSystem::WriteFile(const std::wstring& path, const void* data, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // Written in pieces of 256 KB straight from where the bytes are (the mapped executable for a payload).
    // Measured under Wine on Linux: while other files' data was waiting to be written back, the system
    // held back writes of 1 MB pieces so that 64 MB took about five times as long as in 256 KB pieces;
    // a single write of a whole payload was slower still. On an idle disk the piece size made no
    // difference.
    const char* bytes = static_cast<const char*>(data);
    bool ok = true;
    constexpr size_t kPiece = 256 * 1024;
    while (ok && size > 0) {
        const DWORD chunk = static_cast<DWORD>(size > kPiece ? kPiece : size);
        DWORD written = 0;
        ok = ::WriteFile(file, bytes, chunk, &written, nullptr) && written == chunk;
        bytes += chunk;
        size -= chunk;
    }
    ok = CloseHandle(file) && ok;
    return ok;
}

bool Win32FileSystem::DeleteFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }
