// Windows side of the administrators' runs: the usage text on the console or in a message box.
#include "app/win32/Win32AdminHost.h"

#include <windows.h>

namespace {

// Writes the text to the console of the parent process, or to where its output is redirected. False when
// Setup.exe, a GUI program, was not started from a console.
bool WriteToParentConsole(const std::wstring& text)
{
    // ERROR_ACCESS_DENIED: the process has a console already (Wine hands a GUI child its parent's console).
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (!attached && GetLastError() != ERROR_ACCESS_DENIED) return false;
    const std::wstring lines = L"\r\n" + text + L"\r\n";
    bool written = false;
    // Output redirected to a file or pipe ("Setup.exe /? > usage.txt") is written in the console's code page.
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_CHAR) {
        const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : CP_OEMCP;
        const int length = static_cast<int>(lines.size());
        const int size = WideCharToMultiByte(codePage, 0, lines.data(), length, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            std::string bytes(static_cast<size_t>(size), '\0');
            WideCharToMultiByte(codePage, 0, lines.data(), length, &bytes[0], size, nullptr, nullptr);
            DWORD done = 0;
            written = WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) != FALSE;
        }
    }
    if (!written) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            written = WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &done, nullptr) != FALSE;
            CloseHandle(console);
        }
    }
    if (attached) FreeConsole();
    return written;
}

}  // namespace

void Win32AdminHost::ShowUsage(const std::wstring& caption, const std::wstring& text)
{
    if (WriteToParentConsole(text)) return;
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

std::wstring Win32AdminHost::ExecutablePath()
{
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(buffer, length) : std::wstring();
}
