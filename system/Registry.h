// Registry access behind an interface of our own. Machine-wide keys are used in the 64-bit view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using RegKey = uintptr_t;  // 0 = no key

// Predefined roots, usable as the parent of OpenKey and CreateKey.
constexpr RegKey kRegLocalMachine = 1;  // HKEY_LOCAL_MACHINE
constexpr RegKey kRegClassesRoot = 2;   // HKEY_CLASSES_ROOT

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMoreItems = 259;

// Every operation returns 0 on success and a Windows error code otherwise.
class IRegistry {
public:
    virtual ~IRegistry() = default;
    // RegOpenKeyExW with KEY_READ | KEY_WOW64_64KEY, or KEY_ALL_ACCESS | KEY_WOW64_64KEY when write is set.
    virtual uint32_t OpenKey(RegKey parent, const std::wstring& path, bool write, RegKey& key) = 0;
    // RegCreateKeyExW (non-volatile, default security) with KEY_ALL_ACCESS | KEY_WOW64_64KEY.
    virtual uint32_t CreateKey(RegKey parent, const std::wstring& path, RegKey& key) = 0;
    // RegEnumKeyW: the subkey name at index into a buffer of bufferChars characters; kErrorNoMoreItems at the end.
    virtual uint32_t EnumKey(RegKey key, uint32_t index, uint32_t bufferChars, std::wstring& name) = 0;
    // RegQueryValueExW without a buffer: the value's type and size in bytes.
    virtual uint32_t QueryValueSize(RegKey key, const std::wstring& name, uint32_t& type, uint32_t& size) = 0;
    // RegQueryValueExW into a buffer of bufferBytes bytes: the bytes stored (kErrorMoreData when they do not fit).
    virtual uint32_t QueryValue(RegKey key, const std::wstring& name, uint32_t bufferBytes, uint32_t& type,
                                std::vector<uint8_t>& data) = 0;
    // RegSetValueExA: stores 8-bit bytes as they are.
    virtual uint32_t SetValue(RegKey key, const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data) = 0;
    virtual void CloseKey(RegKey key) = 0;
};

// Closes a key at the end of its scope.
class ScopedKey {
public:
    explicit ScopedKey(IRegistry& registry) : registry_(registry) {}
    ~ScopedKey()
    {
        if (key != 0) registry_.CloseKey(key);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    RegKey key = 0;

private:
    IRegistry& registry_;
};
