// Windows implementations of the log's clock, file operations and debugger output.
#pragma once

#include "log/DebugTrace.h"
#include "log/LogPlatform.h"

class Win32Clock : public IClock {
public:
    LocalTime Now() override;
};

class Win32LogFiles : public ILogFiles {
public:
    std::wstring TempFolder() override;
    bool OpenFolderSafely(const std::wstring& path, bool create) override;
    std::string ToNarrow(const std::wstring& text) override;
    bool Append(const std::wstring& path, const std::string& bytes) override;
    bool CreationTime(const std::wstring& path, LocalTime& created) override;
    bool StampCreationTime(const std::wstring& path) override;
    bool Move(const std::wstring& from, const std::wstring& to) override;
    bool List(const std::wstring& pattern, std::vector<FileEntry>& entries) override;
    bool Delete(const std::wstring& path) override;
};

class Win32DebugOutput : public IDebugOutput {
public:
    void Write(const std::string& text) override;
    void Write(const std::wstring& text) override;
};
