// Registry probes for installed software: Ghostscript, eDocPrintPro and uninstall entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/FileSystem.h"
#include "system/Registry.h"

extern const wchar_t* const kUninstallKey;  // "Software\Microsoft\Windows\CurrentVersion\Uninstall"

// One installed Ghostscript release found under the uninstall key.
struct LegacyGhostscriptEntry {
    std::wstring versionText;       // DisplayVersion
    std::wstring displayName;       // DisplayName, with " v" + versionText appended when it lacks it
    std::wstring uninstallCommand;  // UninstallString, with " /Q" (msiexec) or " /S" (uninstgs.exe) appended
    std::wstring productCode;       // the subkey name for a Windows Installer entry, else empty
    bool isOlder = false;           // version < the required release
    float version = 0;              // leading decimal number of versionText; 0 when there is none
    int32_t listIndex = -1;         // line of the entry in the legacy-Ghostscript page's list
};

// "SOFTWARE\GPL Ghostscript\<version>" has a GS_DLL that exists.
bool IsGhostscriptInstalled(IRegistry& registry, IFileSystem& files, const std::wstring& version);

// "SOFTWARE\MAYComputer\eDocPrintPro" names a folder that holds eDocPrintProUtil.exe.
bool IsEDocPrintProInstalled(IRegistry& registry, IFileSystem& files);

// The packed "Version" of the first uninstall entry whose DisplayName equals displayName ignoring case,
// and its "%d.%d.%d" text. Returns whether the packed version is not 0.
bool FindUninstallEntryVersion(IRegistry& registry, const std::wstring& displayName, uint32_t& version,
                               std::wstring& versionText);

// Appends every installed Ghostscript release and sets anyOlder when one is older than required.
// False when the uninstall key cannot be opened.
bool CollectLegacyGhostscript(IRegistry& registry, const std::wstring& required,
                              std::vector<LegacyGhostscriptEntry>& entries, bool& anyOlder);

// How a registry value was taken: as what was asked for, as missing (also a string without characters),
// or as a value of another type or size, which counts as missing too.
enum class RegistryRead { Read, Missing, WrongType };

// A string value (REG_SZ or REG_EXPAND_SZ) read in full, up to its first zero character. type and size give
// what the registry holds; value changes only when it is Read.
RegistryRead ReadRegistryText(IRegistry& registry, RegKey key, const std::wstring& name, std::wstring& value,
                              uint32_t& type, uint32_t& size);

// A string value read in full, up to its first zero character; false when missing, empty or not a string.
bool ReadRegistryString(IRegistry& registry, RegKey key, const std::wstring& name, std::wstring& value);

// A REG_DWORD of exactly 4 bytes; anything else leaves value 0. type and size give what the registry holds.
RegistryRead ReadRegistryNumber(IRegistry& registry, RegKey key, const std::wstring& name, uint32_t& value,
                                uint32_t& type, uint32_t& size);
