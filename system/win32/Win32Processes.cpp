// IProcessLauncher and IProcessList on the Windows process functions.
#include "system/win32/Win32Processes.h"

#include <windows.h>
#include <psapi.h>

#include <vector>

namespace {

constexpr DWORD kMaxProcessIds = 1024;
constexpr DWORD kImagePathChars = 32768;  // the longest path Windows knows

HANDLE ToHandle(ProcessHandle process) { return reinterpret_cast<HANDLE>(process); }
ProcessHandle FromHandle(HANDLE handle) { return reinterpret_cast<ProcessHandle>(handle); }

}  // namespace

uint32_t Win32ProcessLauncher::Start(const std::wstring& application, const std::wstring& commandLine,
                                     const std::wstring& currentFolder, ProcessHandle& process)
{
    std::wstring mutableLine = commandLine;  // CreateProcessW may write into its command line
    mutableLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(application.c_str(), &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info))
        return GetLastError();
    CloseHandle(info.hThread);
    process = FromHandle(info.hProcess);
    return 0;
}

void Win32ProcessLauncher::WaitForExit(ProcessHandle process) { WaitForSingleObject(ToHandle(process), INFINITE); }

uint32_t Win32ProcessLauncher::ExitCode(ProcessHandle process, uint32_t& code)
{
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(ToHandle(process), &exitCode)) return GetLastError();
    code = exitCode;
    return 0;
}

void Win32ProcessLauncher::Close(ProcessHandle process)
{
    if (process != 0) CloseHandle(ToHandle(process));
}

bool Win32ProcessList::EnumerateIds(std::vector<uint32_t>& ids)
{
    DWORD table[kMaxProcessIds] = {};
    DWORD bytes = 0;
    if (!EnumProcesses(table, sizeof table, &bytes)) return false;
    const DWORD count = bytes / sizeof(DWORD);
    ids.assign(table, table + (count < kMaxProcessIds ? count : kMaxProcessIds));
    return true;
}

ProcessHandle Win32ProcessList::OpenForQuery(uint32_t id)
{
    return FromHandle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
}

bool Win32ProcessList::ImageFileName(ProcessHandle process, std::wstring& path)
{
    // Unlike the module list, the image name is readable from a 32-bit process for a 64-bit one.
    std::vector<wchar_t> buffer(kImagePathChars);
    DWORD size = kImagePathChars;
    if (!QueryFullProcessImageNameW(ToHandle(process), 0, buffer.data(), &size)) return false;
    path.assign(buffer.data(), size < kImagePathChars ? size : kImagePathChars - 1);
    return true;
}

ProcessHandle Win32ProcessList::OpenForTermination(uint32_t id)
{
    return FromHandle(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
}

void Win32ProcessList::EnableDebugPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    if (LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
    CloseHandle(token);
}

uint32_t Win32ProcessList::Terminate(ProcessHandle process, uint32_t exitCode)
{
    return TerminateProcess(ToHandle(process), exitCode) ? 0 : GetLastError();
}

bool Win32ProcessList::WaitForExit(ProcessHandle process, uint32_t milliseconds)
{
    return WaitForSingleObject(ToHandle(process), milliseconds) != WAIT_TIMEOUT;
}

void Win32ProcessList::Close(ProcessHandle process)
{
    if (process != 0) CloseHandle(ToHandle(process));
}
