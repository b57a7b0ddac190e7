// File operations of the payload extractor and the install actions.
#pragma once

#include <cstddef>
#include <string>

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // The user's temporary folder as GetTempPathW gives it (ending with a backslash).
    virtual std::wstring TempFolder() = 0;
    // The Windows system folder (e.g. C:\Windows\system32), without a trailing backslash.
    virtual std::wstring SystemDirectory() = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Creates one folder; false also when it exists.
    virtual bool CreateFolder(const std::wstring& path) = 0;
    // Writes size bytes from data to path, replacing an existing file. The bytes are written from where
    // they are (a mapped resource), never copied.
    virtual bool WriteFile(const std::wstring& path, const void* data, size_t size) = 0;
    virtual bool DeleteFile(const std::wstring& path) = 0;
};
