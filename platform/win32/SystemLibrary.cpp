// DLLs from the system folder only.
#include "platform/win32/SystemLibrary.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "log/Log.h"

namespace {

const wchar_t* const kTag = L"SystemLibrary";

struct Loaded {
    std::mutex lock;
    std::map<std::wstring, std::pair<HMODULE, DWORD>> modules;                  // by DLL name: module or error
    std::map<std::pair<std::wstring, std::string>, std::pair<FARPROC, DWORD>> functions;
};

Loaded& State()
{
    static Loaded loaded;
    return loaded;
}

HMODULE LoadFromSystemFolder(const wchar_t* dll, DWORD& error)
{
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;
    error = GetLastError();
    // Windows 7 without update KB2533623 does not know the flag. The full path then names the DLL, and its
    // dependencies are searched in its own folder first.
    if (error != ERROR_INVALID_PARAMETER) return nullptr;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + dll;
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) error = GetLastError();
    return module;
}

}  // namespace

void RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    SetDllDirectoryW(L"");
}

FARPROC SystemFunction(const wchar_t* dll, const char* name, DWORD& error)
{
    Loaded& loaded = State();
    std::lock_guard<std::mutex> guard(loaded.lock);
    const auto key = std::make_pair(std::wstring(dll), std::string(name));
    auto known = loaded.functions.find(key);
    if (known != loaded.functions.end()) {
        error = known->second.second;
        return known->second.first;
    }

    auto module = loaded.modules.find(key.first);
    if (module == loaded.modules.end()) {
        DWORD loadError = ERROR_SUCCESS;
        HMODULE handle = LoadFromSystemFolder(dll, loadError);
        if (!handle) LogFormat(kTag, L"Load library failed: %s (%x)", key.first, loadError);
        module = loaded.modules.emplace(key.first, std::make_pair(handle, loadError)).first;
    }

    FARPROC function = nullptr;
    error = module->second.second;
    if (module->second.first) {
        function = GetProcAddress(module->second.first, name);
        if (!function) {
            error = GetLastError();
            LogFormat(kTag, L"Get function failed: %s %s (%x)", key.first, name, error);
        }
    }
    loaded.functions[key] = std::make_pair(function, function ? ERROR_SUCCESS : error);
    return function;
}
