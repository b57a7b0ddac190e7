// The first page: product title, installer version, language choice and the button captions.
#pragma once

#include <string>

#include "wizard/MyPropertyPage.h"

class CWelcomePage : public CMyPropertyPage {
public:
    CWelcomePage();

    IComboBox* languageCombo = nullptr;
    int currentLanguage = 1;

    void BindControls() override;
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void OnCommand(int controlId, int code) override;

    // Asks for the language as the process's preferred UI language and ends the wizard with WizardRestart.
    void SetLocalization(const std::wstring& languageCode);
};
