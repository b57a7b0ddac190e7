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
    // The system's text of a Windows error code; empty when there is none.
    virtual std::wstring SystemErrorText(uint32_t code) = 0;
    // Shows a message box with an error icon and an OK button and waits until the user closes it.
    virtual void ShowMessage(const std::wstring& caption, const std::wstring& text) = 0;
};

// The Windows operations of a reboot request.
class IShutdownApi {
public:
    virtual ~IShutdownApi() = default;
    // OpenProcessToken of the own process with TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY: 0 and the token, or the
    // Windows error code.
    virtual uint32_t OpenProcessToken(uintptr_t& token) = 0;
    // LookupPrivilegeValueW(null, privilege) (its result not examined), then AdjustTokenPrivileges enabling that
    // privilege alone, without the previous state. Returns GetLastError() right after AdjustTokenPrivileges, which
    // is ERROR_NOT_ALL_ASSIGNED when the token does not hold the privilege.
    virtual uint32_t EnablePrivilege(uintptr_t token, const std::wstring& privilege) = 0;
    virtual void CloseToken(uintptr_t token) = 0;
    // ExitWindowsEx: 0, or the Windows error code.
    virtual uint32_t RequestShutdown(uint32_t flags, uint32_t reason) = 0;
};

constexpr uint32_t kExitWindowsReboot = 2;                // EWX_REBOOT
constexpr uint32_t kShutdownReasonInstallation = 0x80040002;  // planned, application, installation

// Asks Windows to reboot with the shutdown privilege enabled; logs the outcome and returns true when the request
// was accepted.
bool TriggerReboot(IShutdownApi& shutdown);

class CWizardRun : public IWizardRun {
public:
    explicit CWizardRun(IWizardHost& host) : host_(host) {}

    // Shows the wizard for the controller's install state, again after every language change. Returns 1641 when
    // Finish triggered a reboot, else the exit code of the queue once the queue has run (whether the wizard then
    // ended by Finish or was closed), and 1602 when the wizard was cancelled or closed before, or could not be shown
    // at all (no desktop; the log says why).
    uint32_t Run(CInstallController& controller) override;

    // String 177 in the user-interface language, with the system's text of the error, under the product's name.
    void ShowSetupError(uint32_t error) override;

    // The language of the next pass: 0 until the user chooses one, then that language's Windows id.
    uint16_t languageId = 0;
    // Whether the last pass ended with Finish while an installer asked for a reboot and nothing failed.
    bool rebootDecision = false;
    // Asks Windows to reboot (true when accepted); called after "Trigger reboot" when the decision is true.
    // Unset: no reboot.
    std::function<bool()> triggerReboot;

private:
    // One pass: builds the sheet for the controller's state and shows it; returns the wizard's result.
    int Pass(CInstallController& controller);

    IWizardHost& host_;
};
