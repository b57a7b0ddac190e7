// The wizard run of Setup.exe on the common-controls property sheet, and the reboot request.
#include "app/win32/Win32WizardRun.h"

#include <windows.h>
#undef LoadString

#include "system/win32/LanguageResources.h"
#include "wizard/win32/Win32WizardSheet.h"
#include "wizard/win32/Win32WizardSystem.h"

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
    std::wstring SystemErrorText(uint32_t code) override { return Win32WizardSystem().SystemErrorText(code); }
    void ShowMessage(const std::wstring& caption, const std::wstring& text) override
    {
        MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
};

class Win32WizardRun::Shutdown : public IShutdownApi {
public:
    uint32_t OpenProcessToken(uintptr_t& token) override
    {
        HANDLE handle = nullptr;
        if (!::OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &handle)) {
            return GetLastError();
        }
        token = reinterpret_cast<uintptr_t>(handle);
        return 0;
    }
    uint32_t EnablePrivilege(uintptr_t token, const std::wstring& privilege) override
    {
        TOKEN_PRIVILEGES privileges = {};
        LookupPrivilegeValueW(nullptr, privilege.c_str(), &privileges.Privileges[0].Luid);
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0, nullptr, nullptr);
        return GetLastError();
    }
    void CloseToken(uintptr_t token) override { CloseHandle(reinterpret_cast<HANDLE>(token)); }
    uint32_t RequestShutdown(uint32_t flags, uint32_t reason) override
    {
        return ExitWindowsEx(flags, reason) ? 0 : GetLastError();
    }
};

Win32WizardRun::Win32WizardRun(EngineServices& services)
    : services_(services), host_(std::make_unique<Host>()), shutdown_(std::make_unique<Shutdown>()), run_(*host_)
{
    run_.triggerReboot = [this] { return TriggerReboot(*shutdown_); };
}

Win32WizardRun::~Win32WizardRun() = default;

uint32_t Win32WizardRun::Run(CInstallController& controller) { return run_.Run(controller); }

void Win32WizardRun::ShowSetupError(uint32_t error) { run_.ShowSetupError(error); }
