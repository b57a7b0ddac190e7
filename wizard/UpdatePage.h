// The maintenance choice when a lower version is installed: update it or remove it.
#pragma once

#include "wizard/MyPropertyPage.h"

class CUpdatePage : public CMyPropertyPage {
public:
    CUpdatePage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
};

// Sets the two version lines of the Update and Downgrade pages: installed version above installer version.
void SetVersionLines(CMyPropertyPage& page, const std::wstring& installedVersion, const std::wstring& installedFormat,
                     const std::wstring& installerFormat);
