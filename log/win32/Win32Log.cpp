// Windows implementations of the log's clock, file operations and debugger output.
#include "log/win32/Win32Log.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/SafeFolders.h"

namespace {

uint64_t ToUInt64(const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

LocalTime FromSystemTime(const SYSTEMTIME& st)
{
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    return t;
}

}  // namespace

LocalTime Win32Clock::Now()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FromSystemTime(st);
}

std::wstring Win32LogFiles::TempFolder() { return Win32TempFolder(); }

bool Win32LogFiles::OpenFolderSafely(const std::wstring& path, bool create)
{
    return Win32OpenFolderSafely(path, create);
}

std::string Win32LogFiles::ToNarrow(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    // Characters without an exact representation in the ANSI code page become the default character
    // '?' (no best-fit look-alikes: a path must not turn into another path). A UTF-8 ANSI code page
    // refuses these options but represents every character.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = "?";
    int size = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, defaultChar, nullptr);
    if (size <= 0) {
        flags = 0;
        defaultChar = nullptr;
        size = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, defaultChar, nullptr);
    }
    if (size <= 0) return std::string(text.size(), '?');
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, text.data(), length, &out[0], size, defaultChar, nullptr);
    return out;
}

bool Win32LogFiles::Append(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = Win32OpenPlainFile(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool Win32LogFiles::CreationTime(const std::wstring& path, LocalTime& created)
{
    HANDLE file = Win32OpenPlainFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME creation;
    SYSTEMTIME utc, local;
    bool ok = GetFileTime(file, &creation, nullptr, nullptr) && FileTimeToSystemTime(&creation, &utc) &&
              SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    CloseHandle(file);
    if (ok) created = FromSystemTime(local);
    return ok;
}

bool Win32LogFiles::StampCreationTime(const std::wstring& path)
{
    HANDLE file = Win32OpenPlainFile(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    BOOL ok = SetFileTime(file, &now, nullptr, nullptr);
    CloseHandle(file);
    return ok != FALSE;
}

// The checked file itself is moved, through its handle: no other file can take its name in between.
bool Win32LogFiles::Move(const std::wstring& from, const std::wstring& to)
{
    HANDLE file = Win32OpenPlainFile(from, DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    const size_t nameBytes = to.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    memcpy(rename->FileName, to.c_str(), nameBytes);
    const BOOL ok = SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
    CloseHandle(file);
    return ok != FALSE;
}

bool Win32LogFiles::List(const std::wstring& pattern, std::vector<FileEntry>& entries)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        FileEntry entry;
        entry.name = data.cFileName;
        entry.creationTime = ToUInt64(data.ftCreationTime);
        entry.lastWriteTime = ToUInt64(data.ftLastWriteTime);
        entries.push_back(entry);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

// The checked file itself is deleted, through its handle.
bool Win32LogFiles::Delete(const std::wstring& path)
{
    HANDLE file = Win32OpenPlainFile(path, DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    const BOOL ok = SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(file);
    return ok != FALSE;
}

void Win32DebugOutput::Write(const std::string& text) { OutputDebugStringA(text.c_str()); }

void Win32DebugOutput::Write(const std::wstring& text) { OutputDebugStringW(text.c_str()); }
