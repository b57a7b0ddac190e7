// File operations of the payload extractor and the install actions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kErrorAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
constexpr uint32_t kErrorFileExists = 80;      // ERROR_FILE_EXISTS

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // The user's temporary folder as GetTempPathW gives it (ending with a backslash).
    virtual std::wstring TempFolder() = 0;
    // The Windows system folder (e.g. C:\Windows\system32), without a trailing backslash.
    virtual std::wstring SystemDirectory() = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Opens a folder without following links, creating it first when `create` is set, and holds it for the rest
    // of the process so that it cannot be swapped for a link. False when it is a link (junction, symbolic link,
    // mount point), is not a folder or cannot be opened.
    virtual bool OpenFolderSafely(const std::wstring& path, bool create) = 0;
    // Creates a folder that only SYSTEM and the Administrators can use: its protected DACL is given with the
    // creation. 0, or the Windows error; kErrorAlreadyExists when the name is taken.
    virtual uint32_t CreatePrivateFolder(const std::wstring& path) = 0;
    // A new random GUID in registry form, e.g. {6B29FC40-CA47-1067-B31D-00DD010662DA}.
    virtual std::wstring NewGuid() = 0;
    // Creates a new file (never opens an existing one: kErrorFileExists) and writes size bytes from data to it.
    // The bytes are written from where they are (a mapped resource), never copied. Returns 0, or the Windows
    // error; a file that was not written completely is deleted again.
    virtual uint32_t WriteNewFile(const std::wstring& path, const void* data, size_t size) = 0;
    // Whether a file may be written by name: it does not exist, or it is a plain file (no link of any kind, no
    // second name) that is not a folder.
    virtual bool IsMissingOrPlainFile(const std::wstring& path) = 0;
    virtual bool DeleteFile(const std::wstring& path) = 0;
    // Deletes a folder with everything in it, without following links inside it. True when it is gone.
    virtual bool RemoveTree(const std::wstring& path) = 0;
};
