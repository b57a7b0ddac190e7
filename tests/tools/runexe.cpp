// Starts a program, waits for it and prints its whole 32-bit exit code ("exit code: N"),
// which a Linux shell running Wine would see only modulo 256.
// Usage: runexe PROGRAM [ARGUMENT...]   each argument is quoted for the child as needed
//        runexe --raw COMMANDLINE        the command line is passed unchanged
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring Quote(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

}  // namespace

int wmain()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        std::fprintf(stderr, "usage: runexe PROGRAM [ARGUMENT...] | runexe --raw COMMANDLINE\n");
        return 2;
    }
    std::wstring child;
    if (std::wstring(argv[1]) == L"--raw" && argc == 3) {
        child = argv[2];
    } else {
        for (int i = 1; i < argc; ++i) {
            if (i > 1) child += L' ';
            child += Quote(argv[i]);
        }
    }
    LocalFree(argv);

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &child[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("create process failed: %lu\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("exit code: %lu\n", code);
    std::fflush(stdout);
    return 0;
}
