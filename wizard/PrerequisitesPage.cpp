// The prerequisites page: lists the missing prerequisites by the names of their installers for this Windows,
// records on Next that they are to be installed and empties the queue on Back.
#include "wizard/PrerequisitesPage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "wizard/GhostscriptPage.h"

namespace {
const wchar_t* const kTag = L"CPrerequisites";
}  // namespace

CPrerequisites::CPrerequisites() : CMyPropertyPage(IDD_PREREQUISITES) {}

void CPrerequisites::BindControls()
{
    CMyPropertyPage::BindControls();
    prerequisiteList = Controls().BindListBox(IDC_PREREQUISITES_LIST);
}

bool CPrerequisites::OnSetActive()
{
    LogMessage(kTag, L"OnSetActive");
    CInstallController* controller = Controller();
    if (!controller || !prerequisiteList) return true;
    prerequisiteList->ResetContent();
    bool hint = false;
    if (PrerequisitePagesActIn(controller->installMode)) {
        auto list = [this](const std::wstring& name) {
            LogFormat(kTag, L"Missing: %s", name);
            prerequisiteList->AddString(name);
        };
        // The same names as the installers' display names.
        if (controller->needDotNet) list(DotNetPrerequisite().displayName);
        if (controller->needGhostscript) {
            list(GhostscriptPrerequisite(controller->isX64Windows).displayName);
            hint = true;
        }
        if (controller->needEDocPrintPro) {
            list(EDocPrintProPrerequisite(controller->isX64Windows, std::wstring()).displayName);
            hint = true;
        }
    }
    const std::wstring hintText = hint ? LoadString(IDS_PREREQUISITES_HINT) : std::wstring();
    LogFormat(kTag, L"Hint: %s", hintText);
    SetItemText(IDC_PREREQUISITES_HINT, hintText);
    return true;
}

int CPrerequisites::OnWizardNext()
{
    CInstallController* controller = Controller();
    if (!controller) return kStayOnPage;
    // The confirmation page queues them, after the legacy removals.
    sheet->queueChoices.prerequisites = PrerequisitePagesActIn(controller->installMode);
    return kDefaultNeighbour;
}

int CPrerequisites::OnWizardBack()
{
    CInstallController* controller = Controller();
    if (!controller) return kStayOnPage;
    controller->ClearInstallActionQueue();
    sheet->queueChoices.Forget();
    if (controller->offerLegacyGhostscriptRemoval) return IDD_GHOSTSCRIPT;
    if (controller->installMode == RepairExistingProduct) return IDD_REPAIR;
    return IDD_FEATURES;
}
