// IRegistry on the Windows registry: machine-wide keys in the 64-bit view.
#include "system/win32/Win32Registry.h"

#include <windows.h>

namespace {

HKEY ToHkey(RegKey key)
{
    if (key == kRegLocalMachine) return HKEY_LOCAL_MACHINE;
    if (key == kRegClassesRoot) return HKEY_CLASSES_ROOT;
    return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

// RegSetValueExA takes an ANSI value name.
std::string ToAnsi(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, &out[0], size, nullptr, nullptr);
    return out;
}

}  // namespace

uint32_t Win32Registry::OpenKey(RegKey parent, const std::wstring& path, bool write, RegKey& key)
{
    HKEY opened = nullptr;
    const REGSAM access = (write ? KEY_ALL_ACCESS : KEY_READ) | KEY_WOW64_64KEY;
    const LONG result = RegOpenKeyExW(ToHkey(parent), path.c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) key = FromHkey(opened);
    return static_cast<uint32_t>(result);
}

uint32_t Win32Registry::CreateKey(RegKey parent, const std::wstring& path, RegKey& key)
{
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExW(ToHkey(parent), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &created, nullptr);
    if (result == ERROR_SUCCESS) key = FromHkey(created);
    return static_cast<uint32_t>(result);
}

uint32_t Win32Registry::EnumKey(RegKey key, uint32_t index, uint32_t bufferChars, std::wstring& name)
{
    name.clear();
    if (bufferChars == 0) return ERROR_MORE_DATA;
    std::wstring buffer(bufferChars, L'\0');
    const LONG result = RegEnumKeyW(ToHkey(key), index, &buffer[0], bufferChars);
    if (result == ERROR_SUCCESS) name.assign(buffer.c_str());
    return static_cast<uint32_t>(result);
}

uint32_t Win32Registry::QueryValueSize(RegKey key, const std::wstring& name, uint32_t& type, uint32_t& size)
{
    DWORD valueType = 0;
    DWORD valueSize = 0;
    const LONG result = RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &valueType, nullptr, &valueSize);
    if (result == ERROR_SUCCESS) {
        type = valueType;
        size = valueSize;
    }
    return static_cast<uint32_t>(result);
}

uint32_t Win32Registry::QueryValue(RegKey key, const std::wstring& name, uint32_t bufferBytes, uint32_t& type,
                                   std::vector<uint8_t>& data)
{
    data.assign(bufferBytes, 0);
    DWORD valueType = 0;
    DWORD size = bufferBytes;
    const LONG result =
        RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &valueType, bufferBytes ? data.data() : nullptr, &size);
    type = valueType;
    if (result == ERROR_SUCCESS) {
        data.resize(size < bufferBytes ? size : bufferBytes);
    } else {
        data.clear();  // the buffer's content is undefined after ERROR_MORE_DATA
    }
    return static_cast<uint32_t>(result);
}

uint32_t Win32Registry::SetValue(RegKey key, const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data)
{
    const std::string ansiName = ToAnsi(name);
    return static_cast<uint32_t>(RegSetValueExA(ToHkey(key), ansiName.c_str(), 0, type, data.data(),
                                                static_cast<DWORD>(data.size())));
}

void Win32Registry::CloseKey(RegKey key)
{
    if (key == 0 || key == kRegLocalMachine || key == kRegClassesRoot) return;
    RegCloseKey(ToHkey(key));
}
