// The running-applications page: Next only while Outlook is closed, Retry checks again and moves on.
#include "wizard/RunningAppsPage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

namespace {
const wchar_t* const kTag = L"CRunningAppsPage";
}  // namespace

CRunningAppsPage::CRunningAppsPage() : CMyPropertyPage(IDD_RUNNINGAPPS) {}

bool CRunningAppsPage::OnSetActive()
{
    LogMessage(kTag, L"OnSetActive");
    CInstallController* controller = Controller();
    EnableWizardButtons(true, !(controller && controller->IsOutlookRunning()));
    return true;
}

void CRunningAppsPage::OnCommand(int controlId, int code)
{
    if (controlId == IDC_RETRY_BUTTON && code == kBnClicked) OnButtonCheckRunningApps();
}

void CRunningAppsPage::OnButtonCheckRunningApps()
{
    LogMessage(kTag, L"OnButtonCheckRunningApps");
    CInstallController* controller = Controller();
    const bool running = controller && controller->IsOutlookRunning();
    EnableWizardButtons(true, !running);
    if (running) return;
    LogMessage(kTag, L"Proceed");
    // The progress page follows; this page's Next is not asked.
    if (sheet) sheet->MoveToNextPage();
}
