// The confirmation page: texts and Next verbs per install mode, the queue built on Next from the choices the
// pages recorded, and the shut-down of a running client before the installation starts.
#include "wizard/ConfirmPage.h"

#include "engine/InstallController.h"
#include "log/DebugTrace.h"
#include "log/Log.h"
#include "resource.h"
#include "system/ProcessControl.h"
#include "wizard/GhostscriptPage.h"

namespace {

const wchar_t* const kTag = L"CConfirmPage";
constexpr uint32_t kClientWaitStepMs = 1000;
constexpr int kClientWaitSteps = 10;

struct ModeTexts {
    uint32_t mode;
    const wchar_t* logText;
    uint32_t confirmation;
    uint32_t nextCaption;
};

const ModeTexts kModeTexts[] = {
    {InstallNewProduct, L"InstallNewProduct", IDS_CONFIRM_INSTALL, IDS_INSTALL},
    {UpdateExistingProduct, L"UpdateExistingProduct", IDS_CONFIRM_UPDATE, IDS_UPDATE},
    {RepairExistingProduct, L"RepairExistingProduct", IDS_CONFIRM_REPAIR, IDS_REPAIR},
    {ModifyExistingProduct, L"ModifyExistingProduct", IDS_CONFIRM_MODIFY, IDS_MODIFY},
    {UnInstallExistingProduct, L"UnInstallExistingProduct", IDS_CONFIRM_REMOVE, IDS_REMOVE},
};

}  // namespace

void TerminateDiDerave(IWizardSystem& system, IProcessList& processes)
{
    DebugTrace("TerminateDiDerave");
    uint32_t lastError = 0;
    const uintptr_t semaphore = system.CreateNamedSemaphore(L"KvDiDeraveRunning", 0, 1, lastError);
    // The client holds the semaphore while it runs; a creation that fails counts as a running client too.
    if (lastError != 0) {
        DebugTrace("Terminate running instance");
        system.BroadcastRegisteredMessage(L"TermKvDiDeraveReq");
        for (int step = 0; step < kClientWaitSteps; ++step) {
            system.Sleep(kClientWaitStepMs);
            uint32_t processId = 0;
            if (!FindProcessByName(processes, "KelvaroDiDerave.exe", processId)) break;
        }
    } else {
        DebugTrace("No running instance found -> ok");
    }
    if (semaphore != 0) system.CloseHandle(semaphore);
    DebugTrace("TerminateDiDerave done");
}

CConfirmPage::CConfirmPage() : CMyPropertyPage(IDD_CONFIRM) {}

bool CConfirmPage::OnSetActive()
{
    LogMessage(kTag, L"OnSetActive");
    CInstallController* controller = Controller();
    if (!controller) return false;
    for (const ModeTexts& texts : kModeTexts) {
        if (texts.mode != controller->installMode) continue;
        LogMessage(kTag, texts.logText);
        SetConfirmationText(texts.confirmation);
        if (sheet) sheet->SetButtonText(kIdWizNext, texts.nextCaption);
    }
    return true;
}

int CConfirmPage::OnWizardBack()
{
    if (sheet) sheet->SetButtonText(kIdWizNext, IDS_NEXT);
    CInstallController* controller = Controller();
    if (!controller) return kStayOnPage;
    const bool anyMissing = controller->needDotNet || controller->needGhostscript || controller->needEDocPrintPro;
    int target = kDefaultNeighbour;
    switch (controller->installMode) {
    case InstallNewProduct:
    case UpdateExistingProduct:
    case ModifyExistingProduct:
        target = anyMissing ? IDD_PREREQUISITES : IDD_FEATURES;
        break;
    case RepairExistingProduct:
        target = IDD_REPAIR;
        break;
    default:
        switch (controller->installState) {
        case LowerVersionInstalled: target = IDD_UPDATE; break;
        case SameVersionInstalled: target = IDD_REPAIR; break;
        case HigherVersionInstalled: target = IDD_DOWNGRADE; break;
        default: break;
        }
    }
    // The pages the user goes back to or over record their choices again when they are passed forward; back on
    // the prerequisites page, the legacy removals before it stay chosen.
    if (target == IDD_PREREQUISITES) sheet->queueChoices.prerequisites = false;
    else sheet->queueChoices.Forget();
    return target;
}

int CConfirmPage::OnWizardNext()
{
    CInstallController* controller = Controller();
    if (!controller) return kStayOnPage;
    AssembleInstallActionQueue(*controller);
    TerminateDiDerave();
    TerminateClientProcesses(controller->Services().processes);
    return controller->IsOutlookRunning() ? kDefaultNeighbour : IDD_PROGRESS;
}

void CConfirmPage::AssembleInstallActionQueue(CInstallController& controller)
{
    // Empty unless the user came back here from the running-applications page.
    if (!controller.actionQueue.empty()) controller.ClearInstallActionQueue();
    const QueueChoices& choices = sheet->queueChoices;
    if (PrerequisitePagesActIn(controller.installMode)) {
        for (const LegacyGhostscriptEntry& entry : choices.legacyRemovals) {
            if (!entry.productCode.empty()) controller.EnqueueUninstallViaMsiExec(entry.displayName, entry.productCode);
            else controller.EnqueueUninstallCommandLine(entry.displayName, entry.uninstallCommand);
        }
        if (choices.prerequisites) controller.EnqueuePrerequisites();
    }
    switch (controller.installMode) {
    case InstallNewProduct:
    case UpdateExistingProduct: controller.EnqueueInstallProduct(); break;
    case RepairExistingProduct: controller.EnqueueRepairProduct(); break;
    case ModifyExistingProduct: controller.EnqueueModifyProduct(); break;
    case UnInstallExistingProduct: controller.EnqueueUninstallRelatedProducts(); break;
    default: break;
    }
}

void CConfirmPage::TerminateDiDerave()
{
    CInstallController* controller = Controller();
    ISheetWindow* window = sheet ? sheet->Window() : nullptr;
    if (!controller || !window) return;
    ::TerminateDiDerave(window->System(), controller->Services().processes);
}
