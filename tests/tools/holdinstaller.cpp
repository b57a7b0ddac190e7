// Stands in for a prerequisite installer that takes its time: copied under an installer's file name, it appends
// "<its file name>|<its command line>" to C:\prereq-calls.log and "<its file name>|<its current folder>" to
// C:\prereq-folders.log, then waits until C:\prereq-release.txt exists and
// exits with the number written in it (0 when it holds none). Gives up after five minutes with exit code 1460
// (ERROR_TIMEOUT).
#include <windows.h>

#include <cstdio>
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

void AppendLine(const std::wstring& line)
{
    FILE* file = _wfopen(L"C:\\prereq-calls.log", L"ab");
    if (!file) return;
    std::fprintf(file, "%ls\r\n", line.c_str());
    std::fclose(file);
}

}  // namespace

int wmain()
{
    AppendLine(OwnFileName() + L"|" + GetCommandLineW());
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    if (FILE* file = _wfopen(L"C:\\prereq-folders.log", L"ab")) {
        std::fprintf(file, "%ls|%ls\r\n", OwnFileName().c_str(), folder);
        std::fclose(file);
    }
    for (int i = 0; i < 3000; ++i) {
        if (FILE* release = _wfopen(L"C:\\prereq-release.txt", L"r")) {
            unsigned long code = 0;
            if (std::fscanf(release, "%lu", &code) != 1) code = 0;
            std::fclose(release);
            return static_cast<int>(code);
        }
        Sleep(100);
    }
    return 1460;
}
