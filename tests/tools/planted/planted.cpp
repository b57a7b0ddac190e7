// A DLL that records that it was loaded: planted beside Setup.exe under the name of a system DLL, it appends
// "<its own path>" to C:\planted-loads.txt when a process loads it. Every export it offers is Planted, which
// does nothing and fails, so that a program importing functions of that name still starts.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    HANDLE file = CreateFileW(L"C:\\planted-loads.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char line[MAX_PATH * 3 + 2] = {};
        int size = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), line, MAX_PATH * 3, nullptr, nullptr);
        line[size++] = '\r';
        line[size++] = '\n';
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}

// Stands in for every function of the DLL it replaces: returns ERROR_FUNCTION_FAILED (1627), which reads as a
// failure to the callers of both the Windows Installer functions and URLDownloadToFileW.
extern "C" unsigned long Planted() { return 1627; }
