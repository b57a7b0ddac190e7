// Stand-in for a prerequisite installer or uninstaller in the integration tests. Copied under the
// real installer's file name, it appends "<its file name>|<its command line>" to C:\prereq-calls.log
// and "<its file name>|<its current folder>" to C:\prereq-folders.log, and exits with the code that
// C:\prereq-exitcodes.txt gives for its file name ("<name> <code>" lines,
// names compared ignoring case); 0 when none is given.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring OwnFileName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

void AppendUtf8(const wchar_t* path, const std::wstring& line)
{
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::wstring text = line + L"\r\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size() - 1), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain()
{
    const std::wstring name = OwnFileName();
    AppendUtf8(L"C:\\prereq-calls.log", name + L"|" + GetCommandLineW());
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    AppendUtf8(L"C:\\prereq-folders.log", name + L"|" + folder);

    int code = 0;
    if (FILE* codes = _wfopen(L"C:\\prereq-exitcodes.txt", L"r")) {
        wchar_t entry[MAX_PATH] = {};
        unsigned long value = 0;
        while (fwscanf(codes, L"%259ls %lu", entry, &value) == 2) {
            if (_wcsicmp(entry, name.c_str()) == 0) code = static_cast<int>(value);
        }
        fclose(codes);
    }
    return code;
}
