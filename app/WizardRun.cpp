// The wizard run: passes of the wizard in the chosen language until it ends without a language change.
#include "app/WizardRun.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "wizard/WizardLanguages.h"
#include "wizard/WizardPages.h"

namespace {

const wchar_t* const kTag = L"BootStrapper";

const wchar_t* InstallStateLine(InstallState state)
{
    switch (state) {
    case LowerVersionInstalled: return L"Lower version installed";
    case SameVersionInstalled: return L"Same version installed";
    case HigherVersionInstalled: return L"Higher version installed";
    default: return L"Not installed";
    }
}

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

    LogMessage(kTag, L"Show wizard");
    // Once the language is known, dialogs and strings are loaded for it explicitly.
    const int result = host_.ShowSheet(sheet, languageId != 0 ? languageId : LanguageIdOfCode(code));
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
        rebootDecision = result == kIdWizFinish && controller.rebootRequired;
    } while (result == kWizardRestart);

    if (rebootDecision && triggerReboot) {
        LogMessage(kTag, L"Trigger reboot");
        triggerReboot();
    }
    if (result != kIdWizFinish) return kExitUserCancelled;
    return QueueExitCode(controller);
}
