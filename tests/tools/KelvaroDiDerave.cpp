// Stands in for the running desktop client in tests: holds the semaphore "KvDiDeraveRunning", owns a hidden
// top-level window and quits when the registered message "TermKvDiDeraveReq" arrives, or after a time limit.
// Usage: KelvaroDiDerave [PIDFILE [SECONDS]]   PIDFILE receives the process id once everything is set up;
//                                              SECONDS (default 120) is the latest end.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

UINT g_termMessage = 0;
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != 0 && message == g_termMessage) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WritePidFile(const wchar_t* path)
{
    FILE* file = _wfopen(path, L"wb");
    if (!file) return;
    std::fprintf(file, "%lu\n", GetCurrentProcessId());
    std::fclose(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const unsigned seconds = argc > 2 ? static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)) : 120;
    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, L"KvDiDeraveRunning");
    g_termMessage = RegisterWindowMessageW(L"TermKvDiDeraveReq");

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KelvaroDiDeraveTestWindow";
    RegisterClassW(&windowClass);
    // Never shown; a broadcast of the registered message still reaches it. Without a window (no display)
    // the program still runs until its time limit.
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"KelvaroDiDerave", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    // A thread timer: it works with or without the window.
    SetTimer(nullptr, kLifetimeTimer, (seconds ? seconds : 1) * 1000, nullptr);

    std::printf("window: %d\n", window != nullptr);
    std::fflush(stdout);
    if (argc > 1) WritePidFile(argv[1]);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == WM_TIMER) break;
        if (message.hwnd == nullptr && message.message != 0 && message.message == g_termMessage) break;
        DispatchMessageW(&message);
    }
    if (window) DestroyWindow(window);
    if (semaphore) CloseHandle(semaphore);
    return 0;
}
