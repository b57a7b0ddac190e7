// IResources on the resources of a loaded module: the running executable, or a file loaded as data.
#include "system/win32/Win32Resources.h"

#include "system/win32/LanguageResources.h"

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
    return CLanguageResources(static_cast<HMODULE>(module_), language_).LoadString(id);
}
