// IResources on the resources of a loaded module: the running executable, or a file loaded as data.
#include "system/win32/Win32Resources.h"

#include <windows.h>

#undef LoadString

Win32Resources::Win32Resources(void* module) : module_(module ? module : GetModuleHandleW(nullptr)) {}

PayloadView Win32Resources::FindPayload(const std::wstring& type, uint16_t id)
{
    PayloadView view;
    HMODULE module = static_cast<HMODULE>(module_);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type.c_str());
    if (!resource) return view;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return view;
    const void* data = LockResource(loaded);
    if (!data) return view;
    view.data = data;
    view.size = SizeofResource(module, resource);
    view.found = true;
    return view;
}

std::wstring Win32Resources::LoadString(uint32_t id)
{
    // With a buffer size of 0 LoadStringW hands out a pointer to the text inside the resource (not terminated).
    const wchar_t* text = nullptr;
    const int length = LoadStringW(static_cast<HMODULE>(module_), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}
