// The wizard's four user-interface languages.
#include "wizard/WizardLanguages.h"

const WizardLanguage kWizardLanguages[kWizardLanguageCount] = {
    {L"Deutsch", L"de-DE", 1031},
    {L"English", L"en-US", 1033},
    {L"Fran\u00e7ais", L"fr-FR", 1036},
    {L"Nederlands", L"nl-NL", 1043},
};

int LanguageIndexOfCode(const std::wstring& code)
{
    static const struct {
        const wchar_t* code;
        int index;
    } kOrder[] = {{L"en-US", 1}, {L"de-DE", 0}, {L"fr-FR", 2}, {L"nl-NL", 3}};
    for (const auto& entry : kOrder) {
        if (code == entry.code) return entry.index;
    }
    return kEnglishIndex;
}

std::wstring LanguageCodeOfIndex(int index)
{
    switch (index) {
    case 1: return L"en-US";
    case 2: return L"fr-FR";
    case 3: return L"nl-NL";
    default: return L"de-DE";
    }
}

std::wstring LanguageTransformOfCode(const std::wstring& code)
{
    if (code == L"de-DE") return L"1031";
    if (code == L"fr-FR") return L"1036";
    if (code == L"nl-NL") return L"1043";
    return std::wstring();
}

uint16_t LanguageIdOfCode(const std::wstring& code)
{
    for (const WizardLanguage& language : kWizardLanguages) {
        if (code == language.code) return language.languageId;
    }
    return 0;
}
