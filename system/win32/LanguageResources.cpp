// Strings and dialog templates of the executable in one chosen language.
#include "system/win32/LanguageResources.h"

const void* CLanguageResources::Find(LPCWSTR type, UINT id) const
{
    HRSRC resource = nullptr;
    if (language_ != 0) resource = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), language_);
    if (!resource) resource = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (!resource) return nullptr;
    HGLOBAL data = LoadResource(module_, resource);
    return data ? LockResource(data) : nullptr;
}

std::wstring CLanguageResources::LoadString(UINT id) const
{
    if (language_ == 0) {
        const wchar_t* text = nullptr;
        // With a buffer size of 0 LoadStringW hands out a pointer into the resource (not terminated).
        const int length = LoadStringW(module_, id, reinterpret_cast<LPWSTR>(&text), 0);
        return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
    }
    // A string table block holds 16 counted strings; string n lies in block n / 16 + 1.
    auto entry = static_cast<const WCHAR*>(Find(RT_STRING, id / 16 + 1));
    if (!entry) return std::wstring();
    for (UINT i = 0; i < id % 16; ++i) entry += 1 + *entry;
    return std::wstring(entry + 1, *entry);
}

const DLGTEMPLATE* CLanguageResources::Dialog(UINT id) const
{
    return static_cast<const DLGTEMPLATE*>(Find(RT_DIALOG, id));
}
