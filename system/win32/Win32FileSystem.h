// IFileSystem on the Windows file functions.
#pragma once

#include "system/FileSystem.h"

class Win32FileSystem : public IFileSystem {
public:
    std::wstring TempFolder() override;
    std::wstring SystemDirectory() override;
    bool FileExists(const std::wstring& path) override;
    bool OpenFolderSafely(const std::wstring& path, bool create) override;
    uint32_t CreatePrivateFolder(const std::wstring& path) override;
    std::wstring NewGuid() override;
    uint32_t WriteNewFile(const std::wstring& path, const void* data, size_t size) override;
    bool IsMissingOrPlainFile(const std::wstring& path) override;
    bool DeleteFile(const std::wstring& path) override;
    bool RemoveTree(const std::wstring& path) override;
};
