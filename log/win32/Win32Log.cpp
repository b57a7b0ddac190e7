// Windows implementations of the log's clock, file operations and debugger output.
#include "log/win32/Win32Log.h"

#include <windows.h>

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

std::wstring Win32TempFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

bool Win32CreateFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

std::wstring Win32LogFiles::TempFolder() { return Win32TempFolder(); }

bool Win32LogFiles::CreateFolder(const std::wstring& path) { return Win32CreateFolder(path); }

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
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool Win32LogFiles::CreationTime(const std::wstring& path, LocalTime& created)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    BOOL ok = SetFileTime(file, &now, nullptr, nullptr);
    CloseHandle(file);
    return ok != FALSE;
}

bool Win32LogFiles::Move(const std::wstring& from, const std::wstring& to)
{
    return MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

bool Win32LogFiles::List(const std::wstring& pattern, std::vector<FileEntry>& entries)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        FileEntry entry;
        entry.name = data.cFileName;
        entry.creationTime = ToUInt64(data.ftCreationTime);
        entry.lastWriteTime = ToUInt64(data.ftLastWriteTime);
        entries.push_back(entry);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

bool Win32LogFiles::Delete(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

void Win32DebugOutput::Write(const std::string& text) { OutputDebugStringA(text.c_str()); }

void Win32DebugOutput::Write(const std::wstring& text) { OutputDebugStringW(text.c_str()); }
