// File operations of the payload extractor and the install actions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kErrorAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
constexpr uint32_t kErrorFileExists = 80;      // ERROR_FILE_EXISTS

// What came of trying to delete the marker file of another run's working folder (system/EarlierRuns.h).
enum class MarkerDeletion {
    Deleted,  // nobody held it: its run has ended
    InUse,    // its run holds it open: the run is still going
    Missing,  // no marker: a run between creating its folder and its marker, or another start removing it
    Failed,   // any other failure: nothing is known
};

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
    // Copies a file to a new name (never over an existing one: kErrorFileExists). Returns 0, or the Windows error;
    // a copy that was not completed is deleted again.
    virtual uint32_t CopyNewFile(const std::wstring& from, const std::wstring& to) = 0;
    // Whether a file may be written by name: it does not exist, or it is a plain file (no link of any kind, no
    // second name) that is not a folder.
    virtual bool IsMissingOrPlainFile(const std::wstring& path) = 0;
    virtual bool DeleteFile(const std::wstring& path) = 0;
    // Deletes a folder with everything in it, without following links inside it. True when it is gone.
    virtual bool RemoveTree(const std::wstring& path) = 0;
    // The plain folders in a folder (no links, no "." or ".."), by name as written; empty when it cannot be listed.
    virtual std::vector<std::wstring> ListFolders(const std::wstring& folder) = 0;
    // Whether a folder, looked at without following links, is a plain folder that only SYSTEM, the Administrators
    // and the user this process runs as can change: its owner is one of them and its DACL lets nobody else write
    // in it, rename it or delete it. Such a folder cannot be swapped for a link by anyone else, nor can anything
    // in it that was put there by one of them.
    virtual bool IsPrivateFolder(const std::wstring& path) = 0;
    // Creates the marker file of this run's working folder (never opens an existing one) and holds it open,
    // without delete sharing, until ReleaseMarker or the end of the process. False when it cannot be created.
    virtual bool HoldMarker(const std::wstring& path) = 0;
    virtual void ReleaseMarker() = 0;
    // Deletes the marker file of another run's working folder. A link in its place is deleted itself.
    virtual MarkerDeletion DeleteMarker(const std::wstring& path) = 0;
};
