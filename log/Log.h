// The bootstrapper's log file: one process-wide file with daily backups and one recursive lock.
#pragma once

#include <string>

#include "log/DebugTrace.h"
#include "log/LogPlatform.h"
#include "log/TextFormat.h"

// Number of characters of the formatting buffer of LogFormat, terminator included.
constexpr size_t kLogFormatBuffer = 512;
// Backups kept in the log's "bak" folder.
constexpr size_t kLogBackupsKept = 5;

// Installs the clock and file operations the log uses. Must happen before LogInitialize.
void LogSetPlatform(ILogFiles* files, IClock* clock);

// Told when a line has been written to a log file that is new to it: the first line after LogInitialize and the
// first after the file was moved into the backups. A holder of an open handle to the log file opens it again.
class ILogFileObserver {
public:
    virtual ~ILogFileObserver() = default;
    // Called with the log's lock held; must not wait for another thread that logs.
    virtual void LogFileWritten(const std::wstring& path) = 0;
};
void LogSetFileObserver(ILogFileObserver* observer);

// Builds "<temp>\KELVARO GmbH\<name>\logs" once; later calls do nothing.
void LogInitialize(const std::wstring& name);

// Creates or opens "<temp>\KELVARO GmbH\<name>\logs" one folder at a time, each without following links and
// held open by the process, and returns its path. Empty when the temporary folder cannot be had or any folder
// from the temporary folder down is a link (junction, symbolic link, mount point), is not a folder or cannot be
// created: nothing may then be written, moved or deleted through it. Files: anything with TempFolder() (ending
// with a backslash) and OpenFolderSafely(path, create).
template <class Files>
std::wstring CreateLogFolder(Files& files, const std::wstring& name)
{
    std::wstring folder = files.TempFolder();
    if (folder.empty()) return std::wstring();
    // "C:\" stays as it is; any other folder loses its backslash.
    if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    if (!files.OpenFolderSafely(folder, false)) return std::wstring();
    if (folder.back() != L'\\') folder += L'\\';
    folder += L"KELVARO GmbH";
    for (const std::wstring& part : {std::wstring(), L"\\" + name, std::wstring(L"\\logs")}) {
        folder += part;
        if (!files.OpenFolderSafely(folder, true)) return std::wstring();
    }
    return folder;
}

// Writes one line: "MM-DD hh:mm:ss", a blank, the tag padded to 20 characters, a blank, the text.
// Does nothing before LogInitialize. Never fails its caller; a line that cannot be written is lost.
void LogMessage(const std::wstring& tag, const std::wstring& text);

// Formats into a buffer of 512 characters (a longer text is cut to 511) and writes it with LogMessage.
// A null format writes nothing.
void LogFormatArgs(const std::wstring& tag, const wchar_t* format, FormatArgs args);

template <class... Args>
void LogFormat(const std::wstring& tag, const wchar_t* format, const Args&... args)
{
    LogFormatArgs(tag, format, {FormatArg(args)...});
}

// The path of the active log file (empty before LogInitialize).
std::wstring LogFilePath();

// Forgets paths and state, so that a test can initialise the log again.
void LogResetForTesting();
