// The bootstrapper's log file: one process-wide file with daily backups and one recursive lock.
#include "log/Log.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace {

struct LogState {
    std::recursive_mutex lock;
    std::atomic<bool> initialised{false};
    ILogFiles* files = nullptr;
    IClock* clock = nullptr;
    std::wstring logFilePath;
    std::wstring backupFolder;
    std::wstring chosenFolder;
    LocalTime lastLine;
    bool checkPending = true;
    bool stampAfterMove = false;
    ILogFileObserver* observer = nullptr;
    bool tellObserver = true;
};

LogState& State()
{
    static LogState state;
    return state;
}

std::wstring TimeStamp(const LocalTime& t)
{
    return FormatText(L"%02d-%02d %02d:%02d:%02d", {t.month, t.day, t.hour, t.minute, t.second}, 20);
}

// Answers whether the active file was created on another day than `now`. Called with the lock held.
bool RotateLogIfNewDay(LogState& s, const LocalTime& now)
{
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (!s.checkPending && s.lastLine.SameDay(now)) return false;
    LocalTime created;
    if (!s.files->CreationTime(s.logFilePath, created)) return false;
    return !created.SameDay(now);
}

bool OlderBackup(const FileEntry& a, const FileEntry& b)
{
    if (a.creationTime != b.creationTime) return a.creationTime < b.creationTime;
    if (a.name != b.name) return a.name < b.name;  // code unit by code unit, a prefix first
    return a.lastWriteTime < b.lastWriteTime;
}

void PruneLogBackups(LogState& s)
{
    std::vector<FileEntry> entries;
    if (!s.files->List(s.backupFolder + L"\\*.log", entries)) return;
    if (entries.size() <= kLogBackupsKept) return;
    std::sort(entries.begin(), entries.end(), OlderBackup);
    const size_t surplus = entries.size() - kLogBackupsKept;
    for (size_t i = 0; i < surplus; ++i) s.files->Delete(s.backupFolder + L"\\" + entries[i].name);
}

}  // namespace

void LogSetPlatform(ILogFiles* files, IClock* clock)
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.files = files;
    s.clock = clock;
}

void LogSetFileObserver(ILogFileObserver* observer)
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.observer = observer;
    s.tellObserver = true;
}

void LogInitialize(const std::wstring& name)
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.initialised || !s.files || !s.clock) return;
    // A log folder that is not safe to use leaves both paths empty: every line is then lost.
    const std::wstring folder = CreateLogFolder(*s.files, name);
    if (!folder.empty()) {
        s.backupFolder = folder + L"\\bak";
        s.logFilePath = folder + L"\\" + name + L".log";
    }
    s.initialised = true;
}

bool LogInitializeFile(const std::wstring& path, std::wstring& whyNot)
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.initialised || !s.files || !s.clock) return false;
    const size_t slash = path.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (slash == std::wstring::npos || slash + 1 == path.size() || !OpenFolderPath(*s.files, folder)) {
        whyNot = FormatText(L"Log file not used, its folder cannot be created or is a link: %s", {path},
                            kLogFormatBuffer - 1);
        return false;
    }
    if (!s.files->Append(path, std::string())) {
        whyNot = FormatText(L"Log file not used, it cannot be written: %s", {path}, kLogFormatBuffer - 1);
        return false;
    }
    s.logFilePath = path;
    s.chosenFolder = folder;
    s.backupFolder.clear();
    s.initialised = true;
    return true;
}

std::wstring LogChosenFolder()
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    return s.chosenFolder;
}

void LogMessage(const std::wstring& tag, const std::wstring& text)
{
    LogState& s = State();
    if (!s.initialised) return;
    const LocalTime now = s.clock->Now();

    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.logFilePath.empty()) return;
    // Nothing is moved into, or deleted from, a backup folder that is not safe to use.
    // A file of the administrator's choice is only appended to.
    if (!s.backupFolder.empty() && RotateLogIfNewDay(s, now) && s.files->OpenFolderSafely(s.backupFolder, true)) {
        const std::wstring backup = s.backupFolder + FormatText(L"\\%04d%02d%02d.log", {now.year, now.month, now.day});
        if (s.files->Move(s.logFilePath, backup)) s.stampAfterMove = s.tellObserver = true;
        PruneLogBackups(s);
    }
    s.lastLine = now;
    s.checkPending = false;

    std::wstring paddedTag = tag;
    if (paddedTag.size() < 20) paddedTag.resize(20, L' ');
    const std::wstring line = TimeStamp(now) + L" " + paddedTag + L" " + text + L"\r\n";
    if (!s.files->Append(s.logFilePath, s.files->ToNarrow(line))) return;
    if (s.stampAfterMove) {
        s.files->StampCreationTime(s.logFilePath);
        s.stampAfterMove = false;
    }
    if (s.tellObserver && s.observer) {
        s.tellObserver = false;
        s.observer->LogFileWritten(s.logFilePath);
    }
}

void LogFormatArgs(const std::wstring& tag, const wchar_t* format, FormatArgs args)
{
    if (!format) return;
    LogMessage(tag, FormatText(format, args, kLogFormatBuffer - 1));
}

std::wstring LogFilePath()
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    return s.logFilePath;
}

void LogResetForTesting()
{
    LogState& s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.initialised = false;
    s.logFilePath.clear();
    s.backupFolder.clear();
    s.chosenFolder.clear();
    s.lastLine = LocalTime();
    s.checkPending = true;
    s.stampAfterMove = false;
    s.tellObserver = true;
}
