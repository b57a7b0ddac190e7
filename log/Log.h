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

// Opens every folder of `folder` from its root down ("C:\a" then "C:\a\b"; "\\server\share" is the root of a UNC
// path), creating missing ones, each without following links and held open by the process. False when one of them
// is a link, is not a folder or cannot be created, and for a relative path. Files: anything with
// OpenFolderSafely(path, create).
template <class Files>
bool OpenFolderPath(Files& files, const std::wstring& folder)
{
    size_t start = 0;
    if (folder.size() >= 2 && folder[1] == L':') {
        if (folder.size() > 2 && folder[2] != L'\\') return false;  // "C:a" is relative to the drive's current folder
        start = 3;
    } else if (folder.rfind(L"\\\\", 0) == 0) {
        const size_t server = folder.find(L'\\', 2);
        if (server == std::wstring::npos) return false;
        const size_t share = folder.find(L'\\', server + 1);
        if (share == std::wstring::npos) return true;  // the share itself
        start = share + 1;
    } else {
        return false;
    }
    size_t end = start;
    while (end < folder.size()) {
        size_t next = folder.find(L'\\', end);
        if (next == std::wstring::npos) next = folder.size();
        if (next > end && !files.OpenFolderSafely(folder.substr(0, next), true)) return false;
        end = next + 1;
    }
    return true;
}

// Makes a file of the administrator's choice (a full path) the log instead of the usual Setup.log: lines are
// appended to it, without daily backups. Its folders are created and held as OpenFolderPath does. False, with the
// reason as a log line in `whyNot`, when the folder or the file cannot be used; the log is then not initialised.
bool LogInitializeFile(const std::wstring& path, std::wstring& whyNot);

// The folder of the file given to LogInitializeFile (without a trailing backslash); empty when the log is in its
// usual place.
std::wstring LogChosenFolder();

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
