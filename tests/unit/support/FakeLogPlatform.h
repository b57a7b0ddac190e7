// An in-memory clock and file system for the log, and a fixture that reads back the lines written.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "log/Log.h"

class FakeClock : public IClock {
public:
    LocalTime now{2026, 3, 5, 14, 7, 9};
    LocalTime Now() override { return now; }
};

// Files keyed by full path. New files get the clock's time as creation time.
class FakeLogFiles : public ILogFiles {
public:
    struct File {
        std::string content;
        LocalTime created;
        uint64_t creationTime = 0;
        uint64_t lastWriteTime = 0;
    };

    explicit FakeLogFiles(FakeClock& clock) : clock_(clock) {}

    std::wstring temp = L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp\\";
    // Folders created, besides the temporary folder, which always exists.
    std::set<std::wstring> folders;
    std::map<std::wstring, File> files;
    bool failFolders = false;
    // Links to folders (junctions, symbolic links) and files where a folder is expected: OpenFolderSafely refuses
    // them. A file named in unsafeFiles is a link or has a second name: the file operations refuse it.
    std::set<std::wstring> links;
    std::set<std::wstring> notFolders;
    std::set<std::wstring> unsafeFiles;
    std::vector<std::wstring> stamped;
    std::vector<std::wstring> opened;  // every OpenFolderSafely, in order
    std::vector<std::wstring> moves;   // every Move that happened, as "from -> to"
    std::vector<std::wstring> deletes; // every Delete that happened

    static uint64_t Ticks(const LocalTime& t)
    {
        return ((((static_cast<uint64_t>(t.year) * 13 + t.month) * 32 + t.day) * 24 + t.hour) * 60 + t.minute) * 60 +
               t.second;
    }

    void AddFile(const std::wstring& path, const LocalTime& created, const std::string& content = "old\r\n")
    {
        File f;
        f.content = content;
        f.created = created;
        f.creationTime = f.lastWriteTime = Ticks(created);
        files[path] = f;
    }

    std::wstring TempFolder() override { return temp; }
    bool OpenFolderSafely(const std::wstring& path, bool create) override
    {
        opened.push_back(path);
        if (failFolders || links.count(path) || notFolders.count(path)) return false;
        if (path + L"\\" == temp) return true;
        if (!folders.count(path) && !create) return false;
        folders.insert(path);
        return true;
    }
    std::string ToNarrow(const std::wstring& text) override
    {
        std::string out;
        for (wchar_t c : text) out.push_back(static_cast<unsigned>(c) < 0x100 ? static_cast<char>(c) : '?');
        return out;
    }
    bool Append(const std::wstring& path, const std::string& bytes) override
    {
        if (!folders.count(Parent(path)) || unsafeFiles.count(path)) return false;
        auto it = files.find(path);
        if (it == files.end()) {
            AddFile(path, clock_.now, "");
            it = files.find(path);
        }
        it->second.content += bytes;
        it->second.lastWriteTime = Ticks(clock_.now);
        return true;
    }
    bool CreationTime(const std::wstring& path, LocalTime& created) override
    {
        if (unsafeFiles.count(path)) return false;
        auto it = files.find(path);
        if (it == files.end()) return false;
        created = it->second.created;
        return true;
    }
    bool StampCreationTime(const std::wstring& path) override
    {
        stamped.push_back(path);
        auto it = files.find(path);
        if (it == files.end()) return false;
        it->second.created = clock_.now;
        it->second.creationTime = Ticks(clock_.now);
        return true;
    }
    bool Move(const std::wstring& from, const std::wstring& to) override
    {
        if (!files.count(from) || unsafeFiles.count(from) || files.count(to) || !folders.count(Parent(to))) return false;
        files[to] = files[from];
        files.erase(from);
        moves.push_back(from + L" -> " + to);
        return true;
    }
    bool List(const std::wstring& pattern, std::vector<FileEntry>& entries) override
    {
        const std::wstring folder = Parent(pattern);
        if (!folders.count(folder)) return false;
        for (const auto& [path, file] : files) {
            if (Parent(path) != folder || path.size() < 4 || path.compare(path.size() - 4, 4, L".log") != 0) continue;
            if (unsafeFiles.count(path)) continue;  // a link is not listed as a plain file
            entries.push_back({path.substr(folder.size() + 1), file.creationTime, file.lastWriteTime});
        }
        return true;
    }
    bool Delete(const std::wstring& path) override
    {
        if (unsafeFiles.count(path) || files.erase(path) != 1) return false;
        deletes.push_back(path);
        return true;
    }

    static std::wstring Parent(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

private:
    FakeClock& clock_;
};

// One parsed log line.
struct LogEntry {
    std::string stamp;
    std::string tag;
    std::string text;
    bool operator==(const LogEntry& o) const { return tag == o.tag && text == o.text; }
};

inline std::vector<std::string> SplitLines(const std::string& content)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Installs the fakes and initialises the log as the application does; resets it afterwards.
class LogFixture {
public:
    FakeClock clock;
    FakeLogFiles files{clock};

    LogFixture()
    {
        LogResetForTesting();
        LogSetPlatform(&files, &clock);
    }
    ~LogFixture()
    {
        LogResetForTesting();
        LogSetPlatform(nullptr, nullptr);
    }

    void Initialize(const std::wstring& name = L"Setup") { LogInitialize(name); }

    std::string Content() const
    {
        auto it = files.files.find(LogFilePath());
        return it == files.files.end() ? std::string() : it->second.content;
    }

    std::vector<std::string> RawLines() const { return SplitLines(Content()); }

    // The lines as (tag, text); the time stamp is kept in `stamp`.
    std::vector<LogEntry> Entries() const
    {
        std::vector<LogEntry> entries;
        for (const std::string& line : RawLines()) {
            LogEntry e;
            e.stamp = line.substr(0, 14);
            const size_t tagEnd = line.find(' ', 15);
            e.tag = line.substr(15, tagEnd == std::string::npos ? std::string::npos : tagEnd - 15);
            const size_t textStart = 15 + (e.tag.size() < 20 ? 20 : e.tag.size()) + 1;
            e.text = textStart < line.size() ? line.substr(textStart) : std::string();
            entries.push_back(e);
        }
        return entries;
    }

    // The texts of the lines with the given tag, in order.
    std::vector<std::string> Texts(const std::string& tag) const
    {
        std::vector<std::string> texts;
        for (const LogEntry& e : Entries()) {
            if (e.tag == tag) texts.push_back(e.text);
        }
        return texts;
    }
};

// Records the debugger output channel.
class DebugRecorder : public IDebugOutput {
public:
    std::vector<std::string> lines;
    DebugRecorder() { SetDebugOutput(this); }
    ~DebugRecorder() override { SetDebugOutput(nullptr); }
    void Write(const std::string& text) override { lines.push_back(text); }
    void Write(const std::wstring& text) override
    {
        std::string narrow;
        for (wchar_t c : text) narrow.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
        lines.push_back(narrow);
    }
};
