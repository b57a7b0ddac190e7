// IProcessLauncher and IProcessList on the Windows process functions.
#pragma once

#include "system/Processes.h"

class Win32ProcessLauncher : public IProcessLauncher {
public:
    uint32_t Start(const std::wstring& application, const std::wstring& commandLine, const std::wstring& currentFolder,
                   ProcessHandle& process) override;
    void WaitForExit(ProcessHandle process) override;
    uint32_t ExitCode(ProcessHandle process, uint32_t& code) override;
    void Close(ProcessHandle process) override;
};

class Win32ProcessList : public IProcessList {
public:
    bool EnumerateIds(std::vector<uint32_t>& ids) override;
    ProcessHandle OpenForQuery(uint32_t id) override;
    // False when the module list cannot be read. When only the name cannot be read, the answer is true and
    // name keeps what it held.
    bool ImageFileName(ProcessHandle process, std::wstring& path) override;
    ProcessHandle OpenForTermination(uint32_t id) override;
    void EnableDebugPrivilege() override;
    uint32_t Terminate(ProcessHandle process, uint32_t exitCode) override;
    bool WaitForExit(ProcessHandle process, uint32_t milliseconds) override;
    void Close(ProcessHandle process) override;
};
