// The page shown when a higher version is installed: only its removal is offered.
#pragma once

#include "wizard/MyPropertyPage.h"

class CDownGradePage : public CMyPropertyPage {
    static constexpr int kRemoveExistingCheck = 1001;  // "Remove existing product"

public:
    CDownGradePage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void OnCommand(int controlId, int code) override;

private:
    bool RemoveChecked() { return (Controls().GetCheck(kRemoveExistingCheck) & kButtonChecked) != 0; }
};
