// Stands in for Microsoft Outlook in the wizard tests: a process named "outlook.exe" that runs until it is
// ended (or after a time limit, so that a failed test leaves nothing behind).
// Usage: outlook [SECONDS]   (default 300)
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    const unsigned seconds = argc > 1 ? static_cast<unsigned>(std::wcstoul(argv[1], nullptr, 10)) : 300;
    std::printf("outlook: %lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    Sleep((seconds ? seconds : 1) * 1000);
    return 0;
}
