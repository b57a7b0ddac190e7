// The progress page: locks the wizard, repairs the Snom D7 driver-store registration, runs the queue on the
// worker thread and polls it once a second; moves on to the finish page when the worker is done.
#pragma once

#include <cstdint>

#include "wizard/MyPropertyPage.h"

// The polling timer of the progress page.
constexpr uintptr_t kProgressTimerId = 42;
constexpr uint32_t kProgressTimerPeriodMs = 1000;
// The result recorded when the worker thread could not be created and Windows named no error.
constexpr uint32_t kWorkerNotStarted = 1627;  // ERROR_FUNCTION_FAILED

class CProgressPage : public CMyPropertyPage {
public:
    CProgressPage();

    void BindControls() override;
    bool OnSetActive() override;
    void OnTimer(uintptr_t timerId) override;

    IProgressBar* progressBar = nullptr;
    uintptr_t timerId = 0;

private:
    // Sets the controller running and starts the worker thread on it.
    void StartProcessingInstallActions();
};
