// Windows implementation of the start-up services of the application object.
#include "app/win32/Win32AppSystem.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include "platform/win32/CommonControls.h"

void Win32AppSystem::InitializeOle() { OleInitialize(nullptr); }

void Win32AppSystem::InitializeCommonControls()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
    comctl::InitCommonControlsEx(&icc);
}

uint32_t Win32AppSystem::RegisterForRestart(const std::wstring& arguments)
{
    return static_cast<uint32_t>(RegisterApplicationRestart(arguments.c_str(), 0));
}

std::vector<std::wstring> Win32AppSystem::Arguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

std::wstring Win32AppSystem::ModulePath()
{
    wchar_t buffer[520] = {};
    DWORD length = GetModuleFileNameW(nullptr, buffer, 520);
    return std::wstring(buffer, length < 520 ? length : 519);
}

std::wstring Win32AppSystem::FullPath(const std::wstring& path)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}
