// The setup run: creates the controller, runs the clean-up tool or decides an unattended run,
// or hands over to the wizard; writes the last log line and gives the process exit code.
#pragma once

#include <cstdint>
#include <string>

#include "app/AdminRuns.h"
#include "app/SetupOptions.h"
#include "engine/CommandLineValues.h"
#include "engine/InstallController.h"

// Exit codes beyond the results of the install actions.
constexpr uint32_t kExitSuccess = 0;
constexpr uint32_t kExitUserCancelled = 1602;      // ERROR_INSTALL_USEREXIT
constexpr uint32_t kExitNothingInstalled = 1605;   // ERROR_UNKNOWN_PRODUCT
constexpr uint32_t kExitDowngradeRefused = 1638;   // ERROR_PRODUCT_VERSION
constexpr uint32_t kExitRebootInitiated = 1641;    // ERROR_SUCCESS_REBOOT_INITIATED

// The interactive branch of the setup run.
class IWizardRun {
public:
    virtual ~IWizardRun() = default;
    // Shows the wizard for the controller's state until it ends; returns the process exit code.
    virtual uint32_t Run(CInstallController& controller) = 0;
    // Instead of the wizard: tells the user in a message box, in the user's language, that Setup could not write
    // its files (the Windows error `error`).
    virtual void ShowSetupError(uint32_t error) = 0;
};

// The progress window of a /passive run: the product's name, the current job description and a marquee bar, with
// no buttons and no input. Shown while the actions of an unattended run run on the calling thread.
class IProgressDisplay {
public:
    virtual ~IProgressDisplay() = default;
    // Shows the window for the controller's actions (it reads CurrentJobDescription itself) and returns at once.
    virtual void Show(CInstallController& controller) = 0;
    // Closes the window; returns when it is gone. Does nothing when it is not shown.
    virtual void Close() = 0;
};

// Whether an unattended run shows the progress window: /passive without /quiet, /q or another q-switch.
bool ShowsPassiveProgress(const SetupOptions& options);

// The log line of an install state: "Not installed" (also for an unreadable package), "Lower version installed",
// "Same version installed", "Higher version installed".
const wchar_t* InstallStateLine(InstallState state);

// The exit code after the queue ran: the failing action's result, else 3010 when an action asked
// for a reboot, else 0.
uint32_t QueueExitCode(const CInstallController& controller);

// Performs the whole setup run; wizard may be null (a run that is not unattended then only ends), and so may
// progress (a /passive run then shows nothing) and admin (the usage text is then not shown, and /layout copies
// no Setup.exe).
uint32_t RunSetup(EngineServices& services, const SetupOptions& options, const std::wstring& executableFolder,
                  IWizardRun* wizard, IProgressDisplay* progress = nullptr, IAdminHost* admin = nullptr);

// Whether the options ask for a run without the wizard.
bool IsUnattended(const SetupOptions& options);

// Checks the options whose values go into command lines and gives the feature lists with the blanks around their
// commas dropped. False when a value is refused: `refused` is then the argument as "NAME=value" or "/flags".
bool CheckCommandLineValues(const SetupOptions& options, std::wstring& addLocal, std::wstring& remove,
                            std::wstring& refused);
