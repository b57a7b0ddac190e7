// Folders and files that a process without elevation cannot redirect or swap.
#include "platform/win32/SafeFolders.h"

#include <sddl.h>

#include <cwctype>
#include <map>
#include <mutex>

const wchar_t* const kPrivateFolderSddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

namespace {

// Folders held open for the rest of the process, by case-folded path.
struct HeldFolders {
    std::mutex lock;
    std::map<std::wstring, HANDLE> handles;
};

HeldFolders& Held()
{
    static HeldFolders held;
    return held;
}

std::wstring Fold(const std::wstring& text)
{
    std::wstring out = text;
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

bool IsLinkOrNotFolder(const BY_HANDLE_FILE_INFORMATION& info)
{
    return !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

std::wstring Win32TempFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

uint32_t Win32CreatePrivateFolder(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateFolderSddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return GetLastError();
    }
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    const DWORD error = CreateDirectoryW(path.c_str(), &attributes) ? ERROR_SUCCESS : GetLastError();
    LocalFree(descriptor);
    return error;
}

bool Win32IsReparsePoint(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool Win32OpenFolderSafely(const std::wstring& path, bool create)
{
    HeldFolders& held = Held();
    std::lock_guard<std::mutex> guard(held.lock);
    const std::wstring key = Fold(path);
    if (held.handles.count(key)) return true;

    if (create) CreateDirectoryW(path.c_str(), nullptr);  // one that exists is checked like a new one
    // Listing access takes part in share checks, so that the missing delete sharing keeps others from
    // renaming or deleting the folder while the handle is held.
    HANDLE folder = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    // The name is asked after the handle holds the folder: from then on it cannot be swapped.
    if (!GetFileInformationByHandle(folder, &info) || IsLinkOrNotFolder(info) || Win32IsReparsePoint(path)) {
        CloseHandle(folder);
        return false;
    }
    held.handles[key] = folder;
    return true;
}

HANDLE Win32OpenPlainFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition)
{
    HANDLE file = CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool plain = GetFileInformationByHandle(file, &info) &&
                       !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                       info.nNumberOfLinks == 1;
    if (plain) return file;
    CloseHandle(file);
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return INVALID_HANDLE_VALUE;
}

bool Win32RemoveTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    // A link to a folder is removed itself: RemoveTree does not enter it.
                    Win32RemoveTree(child);
                } else {
                    if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    }
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
    }
    RemoveDirectoryW(path.c_str());
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}
