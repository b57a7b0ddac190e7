// Strings and dialog templates of the executable in one chosen language, found by their language id, so that
// the wizard's language does not depend on how the platform resolves resources.
#pragma once

#include <windows.h>
#undef LoadString

#include <string>

class CLanguageResources {
public:
    // language 0: the platform's resolution for the current user-interface language.
    CLanguageResources(HMODULE module, LANGID language) : module_(module), language_(language) {}

    // The string of that language; when the language has no such string table block, the platform's choice.
    // Empty when the string is missing.
    std::wstring LoadString(UINT id) const;
    // The dialog template of that language, else the platform's choice; null when there is none.
    const DLGTEMPLATE* Dialog(UINT id) const;

    LANGID Language() const { return language_; }
    HMODULE Module() const { return module_; }

private:
    const void* Find(LPCWSTR type, UINT id) const;

    HMODULE module_;
    LANGID language_;
};
