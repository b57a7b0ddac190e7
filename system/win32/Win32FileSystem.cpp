// IFileSystem on the Windows file functions.
#include "system/win32/Win32FileSystem.h"

#include "platform/win32/SafeFolders.h"

#include <windows.h>
#include <objbase.h>
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

bool Win32FileSystem::OpenFolderSafely(const std::wstring& path, bool create)
{
    return Win32OpenFolderSafely(path, create);
}

uint32_t Win32FileSystem::CreatePrivateFolder(const std::wstring& path) { return Win32CreatePrivateFolder(path); }

std::wstring Win32FileSystem::NewGuid()
{
    GUID guid = {};
    if (FAILED(CoCreateGuid(&guid))) return std::wstring();
    wchar_t text[40] = {};
    if (StringFromGUID2(guid, text, 40) == 0) return std::wstring();
    return text;
}

uint32_t Win32FileSystem::WriteNewFile(const std::wstring& path, const void* data, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    // Written in pieces of 256 KB straight from where the bytes are (the mapped executable for a payload).
    // Measured under Wine on Linux: while other files' data was waiting to be written back, the system
    // held back writes of 1 MB pieces so that 64 MB took about five times as long as in 256 KB pieces;
    // a single write of a whole payload was slower still. On an idle disk the piece size made no
    // difference.
    const char* bytes = static_cast<const char*>(data);
    DWORD error = ERROR_SUCCESS;
    constexpr size_t kPiece = 256 * 1024;
    while (error == ERROR_SUCCESS && size > 0) {
        const DWORD chunk = static_cast<DWORD>(size > kPiece ? kPiece : size);
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr)) error = GetLastError();
        else if (written != chunk) error = ERROR_WRITE_FAULT;
        bytes += chunk;
        size -= chunk;
    }
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    // The file was created by this call: what it holds of an incomplete write is of no use to anyone.
    if (error != ERROR_SUCCESS) DeleteFileW(path.c_str());
    return error;
}

uint32_t Win32FileSystem::CopyNewFile(const std::wstring& from, const std::wstring& to)
{
    if (CopyFileW(from.c_str(), to.c_str(), TRUE)) return 0;
    const DWORD error = GetLastError();
    // Anything but a name that was taken is a copy this call began: what it holds is of no use.
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) DeleteFileW(to.c_str());
    return error;
}

bool Win32FileSystem::IsMissingOrPlainFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    HANDLE file = Win32OpenPlainFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool Win32FileSystem::DeleteFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

bool Win32FileSystem::RemoveTree(const std::wstring& path) { return Win32RemoveTree(path); }

std::vector<std::wstring> Win32FileSystem::ListFolders(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((pattern + L"*").c_str(), FindExInfoBasic, &data, FindExSearchLimitToDirectories,
                                   nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        const DWORD attributes = data.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || name == L"." ||
            name == L"..")
            continue;
        names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

bool Win32FileSystem::IsPrivateFolder(const std::wstring& path) { return Win32IsPrivateFolder(path); }

bool Win32FileSystem::HoldMarker(const std::wstring& path)
{
    // Others may read it, nobody may delete it while this run lives: that is what tells a running run's folder
    // from an ended one's.
    HANDLE marker = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return false;
    ReleaseMarker();
    marker_ = marker;
    return true;
}

void Win32FileSystem::ReleaseMarker()
{
    if (marker_) CloseHandle(static_cast<HANDLE>(marker_));
    marker_ = nullptr;
}

MarkerDeletion Win32FileSystem::DeleteMarker(const std::wstring& path)
{
    if (DeleteFileW(path.c_str())) return MarkerDeletion::Deleted;
    switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION: return MarkerDeletion::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return MarkerDeletion::Missing;
    default: return MarkerDeletion::Failed;
    }
}
