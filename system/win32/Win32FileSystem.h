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
    uint32_t CopyNewFile(const std::wstring& from, const std::wstring& to) override;
    bool IsMissingOrPlainFile(const std::wstring& path) override;
    bool DeleteFile(const std::wstring& path) override;
    bool RemoveTree(const std::wstring& path) override;
    std::vector<std::wstring> ListFolders(const std::wstring& folder) override;
    bool IsPrivateFolder(const std::wstring& path) override;
    bool HoldMarker(const std::wstring& path) override;
    void ReleaseMarker() override;
    MarkerDeletion DeleteMarker(const std::wstring& path) override;

    Win32FileSystem() = default;
    Win32FileSystem(const Win32FileSystem&) = delete;
    Win32FileSystem& operator=(const Win32FileSystem&) = delete;
    ~Win32FileSystem() override { ReleaseMarker(); }

private:
    void* marker_ = nullptr;  // the handle of this run's marker file, held open
};
