// The progress page: the start protocol of the worker thread and the poll of the running queue.
#include "wizard/ProgressPage.h"

#include <mutex>

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

namespace {
const wchar_t* const kTag = L"CProgressPage";
constexpr uint32_t kMarqueeIntervalMs = 50;
}  // namespace

CProgressPage::CProgressPage() : CMyPropertyPage(IDD_PROGRESS) {}

void CProgressPage::BindControls()
{
    CMyPropertyPage::BindControls();
    progressBar = Controls().BindProgressBar(IDC_PROGRESS_BAR);
}

bool CProgressPage::OnSetActive()
{
    LogMessage(kTag, L"OnSetActive");
    SetItemText(IDC_JOB_DESCRIPTION, std::wstring());
    CInstallController* controller = Controller();
    if (!controller) return true;
    EnableWizardButtons(false, false);
    // Nothing enables Cancel again: the run cannot be stopped.
    if (sheet && sheet->Window()) sheet->Window()->EnableControl(kIdCancel, false);
    if (progressBar) {
        progressBar->SetRange(0, 100);
        progressBar->SetMarquee(true, kMarqueeIntervalMs);
    }
    controller->RepairSnomD7DriverStore();
    StartProcessingInstallActions();
    timerId = Controls().StartTimer(kProgressTimerId, kProgressTimerPeriodMs);
    return true;
}

void CProgressPage::StartProcessingInstallActions()
{
    CInstallController* controller = Controller();
    LogMessage(L"InstallController", L"StartProcessingInstallActions");
    controller->running = true;
    controller->lastResult = 0;
    controller->queueStarted = true;
    ISheetWindow* window = sheet ? sheet->Window() : nullptr;
    const uint32_t error = window ? window->StartThread(&CInstallController::InstallWorkerThread, controller)
                                  : kWorkerNotStarted;
    if (error == 0) return;
    // Nothing ran: the result is the failed creation, so that the finish page and the exit code report it.
    controller->running = false;
    controller->lastResult = error;
    LogFormat(kTag, L"Worker thread not started. Error: %d", error);
}

void CProgressPage::OnTimer(uintptr_t)
{
    CInstallController* controller = Controller();
    if (!sheet || !controller) return;
    if (controller->running) {
        std::wstring description;
        {
            std::lock_guard<std::mutex> guard(controller->jobLock);
            description = controller->currentJobDescription;
        }
        SetItemText(IDC_JOB_DESCRIPTION, description);
        return;
    }
    Controls().StopTimer(timerId);
    LogMessage(kTag, L"done");
    sheet->MoveToNextPage();
}
