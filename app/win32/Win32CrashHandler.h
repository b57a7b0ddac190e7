// The process's unhandled-exception filter: one last log line, a minidump next to the log, and the exception code
// as the exit code.
#pragma once

#include <string>

#include "log/Log.h"

class Win32CrashHandler : public ILogFileObserver {
public:
    // Installs the filter, loads dbghelp.dll from the system folder and reserves what the filter needs. Done once,
    // first thing in wWinMain; later calls return the same object.
    static Win32CrashHandler& Install();

    // Opens the log file (and once its folder) ahead for the filter and prunes old minidumps there.
    void LogFileWritten(const std::wstring& path) override;

private:
    Win32CrashHandler() = default;
};
