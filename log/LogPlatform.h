// What the log facility needs from the system: the local clock and a few file operations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A local calendar time, as shown in log lines.
struct LocalTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool SameDay(const LocalTime& other) const
    {
        return year == other.year && month == other.month && day == other.day;
    }
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual LocalTime Now() = 0;  // current local time
};

// One file found in a folder listing, with its times as 64-bit file-time values.
struct FileEntry {
    std::wstring name;
    uint64_t creationTime = 0;
    uint64_t lastWriteTime = 0;
};

// File operations of the log. Every operation reports failure by its result and never throws.
class ILogFiles {
public:
    virtual ~ILogFiles() = default;
    // The user's temporary folder, ending with a backslash.
    virtual std::wstring TempFolder() = 0;
    // Opens one folder without following links, creating it first when `create` is set, and holds it for the rest
    // of the process so that it cannot be swapped for a link. False when it is a link (junction, symbolic link,
    // mount point), is not a folder or cannot be opened.
    virtual bool OpenFolderSafely(const std::wstring& path, bool create) = 0;
    // Converts a line to 8-bit text in the system's default code page. Characters the code page
    // cannot represent become '?': the conversion never fails.
    virtual std::string ToNarrow(const std::wstring& text) = 0;
    // The file operations below work on plain files only: a name that is a link of any kind, a folder, or a file
    // with a second name (hard link) is refused, checked through the handle they open.
    // Appends bytes to a file, creating it when missing; the file is closed again before returning.
    virtual bool Append(const std::wstring& path, const std::string& bytes) = 0;
    // The local date and time on which the file was created.
    virtual bool CreationTime(const std::wstring& path, LocalTime& created) = 0;
    // Sets the file's creation time to now (a file created right after another of the same name
    // was moved away may otherwise inherit that file's creation time).
    virtual bool StampCreationTime(const std::wstring& path) = 0;
    virtual bool Move(const std::wstring& from, const std::wstring& to) = 0;
    // Lists the plain files (no folders, no links) that match a pattern such as "C:\dir\*.log"; false when the
    // listing fails.
    virtual bool List(const std::wstring& pattern, std::vector<FileEntry>& entries) = 0;
    virtual bool Delete(const std::wstring& path) = 0;
};
