// The prerequisites page: the missing prerequisites that will be installed, why the fax ones are needed, and
// their installation recorded on Next for the confirmation page, which queues it.
#pragma once

#include "wizard/MyPropertyPage.h"

class CPrerequisites : public CMyPropertyPage {
public:
    CPrerequisites();

    void BindControls() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;

    IListBox* prerequisiteList = nullptr;
};
