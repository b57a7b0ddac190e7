// The legacy-Ghostscript page: lists the older installed versions, checked, and queues the removal of the
// checked ones on Next; Back empties the queue.
#include "wizard/GhostscriptPage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

bool PrerequisitePagesActIn(uint32_t installMode)
{
    return installMode >= InstallNewProduct && installMode <= ModifyExistingProduct;
}

CGhostscript::CGhostscript() : CMyPropertyPage(IDD_GHOSTSCRIPT) {}

void CGhostscript::BindControls()
{
    CMyPropertyPage::BindControls();
    legacyList = Controls().BindCheckListBox(IDC_GHOSTSCRIPT_LIST);
}

bool CGhostscript::OnSetActive()
{
    LogMessage(L"CGhostscript", L"OnSetActive");
    CInstallController* controller = Controller();
    if (!controller || !legacyList) return true;
    legacyList->ResetContent();
    if (PrerequisitePagesActIn(controller->installMode)) {
        // Rebuilt on every activation: every older version is checked again.
        for (LegacyGhostscriptEntry& entry : controller->legacyGhostscripts) {
            if (!entry.isOlder) continue;
            entry.listIndex = legacyList->AddString(entry.displayName);
            legacyList->SetCheck(entry.listIndex, 1);
        }
    }
    SetItemText(IDC_GHOSTSCRIPT_TEXT, LoadString(IDS_LEGACY_GHOSTSCRIPT_HINT));
    return true;
}

int CGhostscript::OnWizardNext()
{
    CInstallController* controller = Controller();
    if (!controller) return kStayOnPage;
    if (PrerequisitePagesActIn(controller->installMode) && legacyList) {
        for (const LegacyGhostscriptEntry& entry : controller->legacyGhostscripts) {
            if (!entry.isOlder || legacyList->GetCheck(entry.listIndex) != 1) continue;
            if (!entry.productCode.empty()) {
                controller->EnqueueUninstallViaMsiExec(entry.displayName, entry.productCode);
            } else {
                controller->EnqueueUninstallCommandLine(entry.displayName, entry.uninstallCommand);
            }
        }
    }
    const bool anyMissing = controller->needDotNet || controller->needGhostscript || controller->needEDocPrintPro;
    return anyMissing ? IDD_PREREQUISITES : IDD_CONFIRM;
}

int CGhostscript::OnWizardBack()
{
    CInstallController* controller = Controller();
    if (!controller) return kStayOnPage;
    controller->ClearInstallActionQueue();
    return controller->installMode == RepairExistingProduct ? IDD_REPAIR : kDefaultNeighbour;
}
