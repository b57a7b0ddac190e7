// The wizard run: passes of the wizard in the chosen language until it ends without a language change.
#include "app/WizardRun.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "wizard/WizardLanguages.h"
#include "wizard/WizardPages.h"

namespace {

const wchar_t* const kTag = L"BootStrapper";

}  // namespace

int CWizardRun::Pass(CInstallController& controller)
{
    const std::wstring code = host_.LoadString(languageId, IDS_LANGUAGE_CODE);
    const std::wstring transform = LanguageTransformOfCode(code);
    LogFormat(kTag, L"Initialize wizard %s", transform);
    controller.ReadFeatures(transform);

    CWizardPages pages;
    CMyPropertySheet sheet(&controller);
    LogMessage(kTag, InstallStateLine(controller.installState));
    pages.AddTo(sheet, controller.installState);

    // After the user chose a language, the texts of the actions follow it as well.
    if (languageId != 0) controller.UseLanguage(languageId);

    LogMessage(kTag, L"Show wizard");
    // Once the language is known, dialogs and strings are loaded for it explicitly.
    const int result = host_.ShowSheet(sheet, languageId != 0 ? languageId : LanguageIdOfCode(code));
    // Ends the run as a cancellation does; the line tells it from one.
    if (result == kWizardNotShown) LogFormat(kTag, L"Wizard could not be shown: %x", sheet.showError);
    LogMessage(kTag, L"Wizard done");

    if (result == kWizardRestart) {
        const uint16_t chosen = LanguageIdOfCode(sheet.chosenLanguage);
        if (chosen != 0) languageId = chosen;
    }
    return result;
}

uint32_t CWizardRun::Run(CInstallController& controller)
{
    int result = kIdCancel;
    do {
        result = Pass(controller);
        // The reboot follows only a Finish page that asked for it: after a failure that page shows the failure
        // and no reboot request, and restarting the machine unannounced could cost the user unsaved work.
        rebootDecision = result == kIdWizFinish && controller.rebootRequired && controller.lastResult == 0;
    } while (result == kWizardRestart);

    bool rebootTriggered = false;
    if (rebootDecision && triggerReboot) {
        LogMessage(kTag, L"Trigger reboot");
        rebootTriggered = triggerReboot();
    }
    if (rebootTriggered) return kExitRebootInitiated;
    // Once the queue has run, closing the finish page (close box, Escape) reports what the queue did, as Finish
    // does; before that, every way out of the wizard is a cancellation.
    if (result == kIdWizFinish || controller.queueStarted) return QueueExitCode(controller);
    return kExitUserCancelled;
}

void CWizardRun::ShowSetupError(uint32_t error)
{
    std::wstring systemText = host_.SystemErrorText(error);
    while (!systemText.empty() && (systemText.back() == L'\r' || systemText.back() == L'\n' || systemText.back() == L' ')) {
        systemText.pop_back();
    }
    const std::wstring format = host_.LoadString(languageId, IDS_SETUP_FILES_FAILED);
    host_.ShowMessage(host_.LoadString(languageId, IDS_PRODUCT_NAME), FormatText(format.c_str(), {systemText, error, error}));
}

bool TriggerReboot(IShutdownApi& shutdown)
{
    uintptr_t token = 0;
    if (const uint32_t error = shutdown.OpenProcessToken(token); error != 0) {
        LogFormat(kTag, L"Trigger reboot failed, adjusting token privileges not allowed. Error: 0x%x", error);
        return false;
    }
    const uint32_t privilegeError = shutdown.EnablePrivilege(token, L"SeShutdownPrivilege");
    shutdown.CloseToken(token);
    if (privilegeError != 0) {
        LogFormat(kTag, L"Trigger reboot failed, adjusting token privilege failed. Error: 0x%x", privilegeError);
        return false;
    }
    if (const uint32_t error = shutdown.RequestShutdown(kExitWindowsReboot, kShutdownReasonInstallation); error != 0) {
        LogFormat(kTag, L"Trigger reboot failed. Error: 0x%x", error);
        return false;
    }
    LogMessage(kTag, L"Reboot triggered.");
    return true;
}
