// The Windows side of the working folders of runs: listing the folders of the temporary folder, the marker file
// that a run holds open while it lives, and the attempt to delete another run's marker.
#include "system/win32/Win32RunFolders.h"

#include <windows.h>

#include <mutex>

namespace {

std::mutex g_markerLock;
HANDLE g_marker = INVALID_HANDLE_VALUE;

}  // namespace

std::vector<std::wstring> Win32ListFolders(const std::wstring& folder)
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

MarkerDeletion Win32DeleteMarker(const std::wstring& path)
{
    if (DeleteFileW(path.c_str())) return MarkerDeletion::Deleted;
    switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION: return MarkerDeletion::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return MarkerDeletion::Missing;
    default: return MarkerDeletion::Failed;
    }
}

bool Win32HoldMarker(const std::wstring& path)
{
    HANDLE marker = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return false;
    std::lock_guard<std::mutex> guard(g_markerLock);
    if (g_marker != INVALID_HANDLE_VALUE) CloseHandle(g_marker);
    g_marker = marker;
    return true;
}

void Win32ReleaseMarker()
{
    std::lock_guard<std::mutex> guard(g_markerLock);
    if (g_marker != INVALID_HANDLE_VALUE) CloseHandle(g_marker);
    g_marker = INVALID_HANDLE_VALUE;
}
