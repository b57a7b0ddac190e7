// The maintenance choice when the same version is installed: repair, modify or remove.
#include "wizard/RepairPage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

CRepairPage::CRepairPage() : CMyPropertyPage(IDD_REPAIR) {}

bool CRepairPage::OnInitDialog()
{
    CMyPropertyPage::OnInitDialog();
    Controls().SetCheck(IDC_REPAIR_RADIO, kButtonChecked);
    return true;
}

bool CRepairPage::OnSetActive()
{
    LogMessage(L"CRepairPage", L"OnSetActive");
    EnableWizardButtons(true, true);
    return true;
}

int CRepairPage::OnWizardNext()
{
    const bool repair = (Controls().GetButtonState(IDC_REPAIR_RADIO) & kButtonChecked) != 0;
    const bool remove = (Controls().GetButtonState(IDC_REPAIR_REMOVE_RADIO) & kButtonChecked) != 0;
    CInstallController* controller = Controller();
    if (repair) {
        if (!controller) return kStayOnPage;
        controller->SetInstallMode(RepairExistingProduct);
        const bool prerequisiteMissing =
            controller->needDotNet || controller->needGhostscript || controller->needEDocPrintPro;
        return prerequisiteMissing ? IDD_PREREQUISITES : IDD_CONFIRM;
    }
    if (!remove) {  // Modify is what remains
        if (controller) controller->SetInstallMode(ModifyExistingProduct);
        return kDefaultNeighbour;
    }
    if (controller) controller->SetInstallMode(UnInstallExistingProduct);
    return IDD_CONFIRM;
}
