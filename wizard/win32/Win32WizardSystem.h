// The Windows services of the wizard pages beyond their windows: semaphores, the broadcast of a registered
// message, waiting, and the system's texts for error codes.
#pragma once

#include "wizard/WizardControls.h"

class Win32WizardSystem : public IWizardSystem {
public:
    uintptr_t CreateNamedSemaphore(const std::wstring& name, int32_t initialCount, int32_t maximumCount,
                              uint32_t& lastError) override;
    void CloseHandle(uintptr_t handle) override;
    void BroadcastRegisteredMessage(const std::wstring& name) override;
    void Sleep(uint32_t milliseconds) override;
    std::wstring SystemErrorText(uint32_t code) override;
};
