// IRegistry on the Windows registry: machine-wide keys in the 64-bit view.
#pragma once

#include "system/Registry.h"

// kRegLocalMachine and kRegClassesRoot stand for HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT; every other RegKey
// is an HKEY opened by this class.
class Win32Registry : public IRegistry {
public:
    uint32_t OpenKey(RegKey parent, const std::wstring& path, bool write, RegKey& key) override;
    uint32_t CreateKey(RegKey parent, const std::wstring& path, RegKey& key) override;
    uint32_t EnumKey(RegKey key, uint32_t index, uint32_t bufferChars, std::wstring& name) override;
    uint32_t QueryValueSize(RegKey key, const std::wstring& name, uint32_t& type, uint32_t& size) override;
    uint32_t QueryValue(RegKey key, const std::wstring& name, uint32_t bufferBytes, uint32_t& type,
                        std::vector<uint8_t>& data) override;
    uint32_t SetValue(RegKey key, const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data) override;
    void CloseKey(RegKey key) override;
};
