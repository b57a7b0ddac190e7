// Processes: starting one and waiting for it, and finding and ending running ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using ProcessHandle = uintptr_t;  // 0 = none

constexpr uint32_t kStillActive = 259;  // STILL_ACTIVE

// Starting a program from a command line and waiting for its exit code.
class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // CreateProcessW(application, commandLine, ...) with no inherited handles, flags 0, the default environment and
    // currentFolder as the child's current folder. The application is the full path of the program, so that
    // nothing is searched for. Returns 0 and the process handle (the thread handle is closed), or the Windows
    // error code.
    virtual uint32_t Start(const std::wstring& application, const std::wstring& commandLine,
                           const std::wstring& currentFolder, ProcessHandle& process) = 0;
    // Waits without a time limit.
    virtual void WaitForExit(ProcessHandle process) = 0;
    // GetExitCodeProcess: 0 and the code, or the Windows error code.
    virtual uint32_t ExitCode(ProcessHandle process, uint32_t& code) = 0;
    virtual void Close(ProcessHandle process) = 0;
};

// The running processes, by id.
class IProcessList {
public:
    virtual ~IProcessList() = default;
    // EnumProcesses into a table of 1024 ids; false when the enumeration fails.
    virtual bool EnumerateIds(std::vector<uint32_t>& ids) = 0;
    // OpenProcess with PROCESS_QUERY_LIMITED_INFORMATION, which a 32-bit process is granted for a 64-bit one as
    // well; 0 on failure.
    virtual ProcessHandle OpenForQuery(uint32_t id) = 0;
    // QueryFullProcessImageNameW (Win32 path form): the full path of the process's executable; false when it cannot
    // be read.
    virtual bool ImageFileName(ProcessHandle process, std::wstring& path) = 0;
    // OpenProcess with PROCESS_TERMINATE | SYNCHRONIZE; 0 on failure (then lastError is set).
    virtual ProcessHandle OpenForTermination(uint32_t id) = 0;
    // Enables "SeDebugPrivilege" in the own process token; the outcome is not reported.
    virtual void EnableDebugPrivilege() = 0;
    // TerminateProcess: 0, or the Windows error code.
    virtual uint32_t Terminate(ProcessHandle process, uint32_t exitCode) = 0;
    // Waits for the process to end; false when the time ran out.
    virtual bool WaitForExit(ProcessHandle process, uint32_t milliseconds) = 0;
    virtual void Close(ProcessHandle process) = 0;
};
