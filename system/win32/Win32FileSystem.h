// IFileSystem on the Windows file functions.
#pragma once

#include "system/FileSystem.h"

class Win32FileSystem : public IFileSystem {
public:
    std::wstring TempFolder() override;
    std::wstring SystemDirectory() override;
    bool FileExists(const std::wstring& path) override;
    bool CreateFolder(const std::wstring& path) override;
    bool WriteFile(const std::wstring& path, const void* data, size_t size) override;
    bool DeleteFile(const std::wstring& path) override;
};
