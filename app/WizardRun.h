// The wizard run: passes of the wizard in the chosen language until it ends without a language change,
// and the exit code of the process after it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/SetupRun.h"
#include "wizard/MyPropertySheet.h"

// What the wizard run needs from the platform.
class IWizardHost {
public:
    virtual ~IWizardHost() = default;
    // A string of the string table of that language; languageId 0 means the current user-interface language as
    // the platform resolves it. Empty when missing.
    virtual std::wstring LoadString(uint16_t languageId, uint32_t id) = 0;
    // Shows the sheet modally with the dialogs and strings of that language (0: as the platform resolves them)
    // and returns the wizard's result.
    virtual int ShowSheet(CMyPropertySheet& sheet, uint16_t languageId) = 0;
};

class CWizardRun : public IWizardRun {
public:
    explicit CWizardRun(IWizardHost& host) : host_(host) {}

    // Shows the wizard for the controller's install state, again after every language change. Returns 1602 when
    // the wizard was cancelled or closed, else the exit code of the queue it ran.
    uint32_t Run(CInstallController& controller) override;

    // The language of the next pass: 0 until the user chooses one, then that language's Windows id.
    uint16_t languageId = 0;
    // Whether the last pass ended with Finish while an installer asked for a reboot.
    bool rebootDecision = false;
    // Asks Windows to reboot; called after "Trigger reboot" when the decision is true. Unset: no reboot.
    std::function<bool()> triggerReboot;

private:
    // One pass: builds the sheet for the controller's state and shows it; returns the wizard's result.
    int Pass(CInstallController& controller);

    IWizardHost& host_;
};
