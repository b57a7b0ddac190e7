// The legacy-Ghostscript page: the installed Ghostscript versions older than the required one, each checked for
// removal; Next records the checked ones for the confirmation page, which queues their removal.
#pragma once

#include "wizard/MyPropertyPage.h"

class CGhostscript : public CMyPropertyPage {
public:
    CGhostscript();

    void BindControls() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;

    ICheckListBox* legacyList = nullptr;
};

// Whether the pages of the prerequisites act in this install mode (install, update, repair, modify).
bool PrerequisitePagesActIn(uint32_t installMode);
