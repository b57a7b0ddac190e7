// The maintenance choice when the same version is installed: repair, modify or remove.
#pragma once

#include "wizard/MyPropertyPage.h"

class CRepairPage : public CMyPropertyPage {
public:
    CRepairPage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
};
