// The feature tree: which features to install, their descriptions, the run-after-install choice, and the
// ADDLOCAL and REMOVE lists built on Next.
#pragma once

#include <map>
#include <string>

#include "wizard/MyPropertyPage.h"

class CFeatureSelectionPage : public CMyPropertyPage {
public:
    CFeatureSelectionPage();

    std::map<TreeItem, std::wstring> itemDescriptions;
    ITreeView* featureTree = nullptr;

    void BindControls() override;
    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void OnCommand(int controlId, int code) override;
    intptr_t OnNotify(const ControlNotification& notification, bool& handled) override;

    // Fills the tree from the controller's features with the initial checks.
    void BuildFeatureTree();

private:
    void ShowDescription(TreeItem item);
};
