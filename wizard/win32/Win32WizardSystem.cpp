// The Windows services of the wizard pages beyond their windows.
#include "wizard/win32/Win32WizardSystem.h"

#include <windows.h>

namespace {
constexpr DWORD kSecurityAttributesLength = 12;  // the length of the 32-bit structure, on every build
constexpr DWORD kUserDefaultLanguage = 0x400;
constexpr DWORD kMessageBufferUnits = 1000;
}  // namespace

uintptr_t Win32WizardSystem::CreateNamedSemaphore(const std::wstring& name, int32_t initialCount, int32_t maximumCount,
                                             uint32_t& lastError)
{
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = kSecurityAttributesLength;
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE semaphore = CreateSemaphoreW(&attributes, initialCount, maximumCount, name.c_str());
    lastError = GetLastError();
    return reinterpret_cast<uintptr_t>(semaphore);
}

void Win32WizardSystem::CloseHandle(uintptr_t handle) { ::CloseHandle(reinterpret_cast<HANDLE>(handle)); }

void Win32WizardSystem::BroadcastRegisteredMessage(const std::wstring& name)
{
    const UINT message = RegisterWindowMessageW(name.c_str());
    PostMessageW(HWND_BROADCAST, message, 0, 0);
}

void Win32WizardSystem::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

std::wstring Win32WizardSystem::SystemErrorText(uint32_t code)
{
    wchar_t buffer[kMessageBufferUnits] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        kUserDefaultLanguage, buffer, kMessageBufferUnits, nullptr);
    buffer[kMessageBufferUnits - 1] = L'\0';
    return length > 0 ? std::wstring(buffer) : std::wstring();
}
