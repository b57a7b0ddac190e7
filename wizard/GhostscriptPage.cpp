// The legacy-Ghostscript page: lists the older installed versions, checked, and records the checked ones for
// removal on Next; Back empties the queue and forgets what the pages recorded.
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
    // The confirmation page queues the removals: queued here, they would be queued again each time the user
    // comes forward through this page.
    std::vector<LegacyGhostscriptEntry>& removals = sheet->queueChoices.legacyRemovals;
    removals.clear();
    if (PrerequisitePagesActIn(controller->installMode) && legacyList) {
        for (const LegacyGhostscriptEntry& entry : controller->legacyGhostscripts) {
            if (entry.isOlder && legacyList->GetCheck(entry.listIndex) == 1) removals.push_back(entry);
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
    sheet->queueChoices.Forget();
    return controller->installMode == RepairExistingProduct ? IDD_REPAIR : kDefaultNeighbour;
}
