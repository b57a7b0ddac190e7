// The wizard's four user-interface languages and the rules that map language codes to indexes,
// transforms and Windows language ids.
#pragma once

#include <cstdint>
#include <string>

struct WizardLanguage {
    const wchar_t* shownAs;  // entry of the language combo box
    const wchar_t* code;     // string 153 of that language's string table
    uint16_t languageId;     // Windows language id
};

// In the order of the combo box: Deutsch, English, Français, Nederlands.
constexpr int kWizardLanguageCount = 4;
extern const WizardLanguage kWizardLanguages[kWizardLanguageCount];
constexpr int kEnglishIndex = 1;

// The combo index of a language code: exact, case-sensitive comparison with "en-US", "de-DE", "fr-FR",
// "nl-NL" in this order; anything else is English (1).
int LanguageIndexOfCode(const std::wstring& code);
// The code for a combo index: 1 "en-US", 2 "fr-FR", 3 "nl-NL", any other index (0 or none) "de-DE".
std::wstring LanguageCodeOfIndex(int index);
// The package's language transform for a code: "1031", "1036", "1043", or empty (English and unknown codes).
std::wstring LanguageTransformOfCode(const std::wstring& code);
// The Windows language id of a code; 0 for an unknown code.
uint16_t LanguageIdOfCode(const std::wstring& code);
