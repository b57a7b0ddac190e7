// The wizard run of Setup.exe on the common-controls property sheet.
#include "app/win32/Win32WizardRun.h"

#include <windows.h>
#undef LoadString

#include "wizard/win32/LanguageResources.h"
#include "wizard/win32/Win32WizardSheet.h"

class Win32WizardRun::Host : public IWizardHost {
public:
    std::wstring LoadString(uint16_t languageId, uint32_t id) override
    {
        return CLanguageResources(GetModuleHandleW(nullptr), languageId).LoadString(id);
    }
    int ShowSheet(CMyPropertySheet& sheet, uint16_t languageId) override
    {
        const CLanguageResources resources(GetModuleHandleW(nullptr), languageId);
        Win32WizardSheet window(sheet, resources);
        return window.ShowModal();
    }
};

Win32WizardRun::Win32WizardRun(EngineServices& services)
    : services_(services), host_(std::make_unique<Host>()), run_(*host_)
{
}

Win32WizardRun::~Win32WizardRun() = default;

uint32_t Win32WizardRun::Run(CInstallController& controller) { return run_.Run(controller); }
