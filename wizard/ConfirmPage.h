// The confirmation page: what is about to happen in the install mode and the mode's verb on Next; Next builds the
// queue (the legacy removals and prerequisites the pages before recorded, then the product action), asks a
// running client to quit and ends what remains of it.
#pragma once

#include "system/Processes.h"
#include "wizard/MyPropertyPage.h"

class CConfirmPage : public CMyPropertyPage {
public:
    CConfirmPage();

    bool OnSetActive() override;
    int OnWizardBack() override;
    int OnWizardNext() override;
    // Asks a running client to quit and waits up to ten seconds for it (see the free function).
    void TerminateDiDerave();

private:
    // Replaces the queue with the chosen actions in their order: legacy-Ghostscript removals, prerequisites, the
    // product action of the mode. So every way back and forward again ends with each action queued once.
    void AssembleInstallActionQueue(CInstallController& controller);
};

// The polite shut-down of the running client: when its semaphore exists, broadcasts the quit request and waits in
// steps of one second, at most ten, until no "KelvaroDiDerave.exe" runs. Reports on the debugger channel only.
void TerminateDiDerave(IWizardSystem& system, IProcessList& processes);
