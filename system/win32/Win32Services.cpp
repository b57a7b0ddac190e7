// IServiceApi on the service control manager.
#include "system/win32/Win32Services.h"

#include <windows.h>

// The interface's names, not the ANSI/Unicode macros of <windows.h>.
#undef OpenService

namespace {

// Standard rights, query configuration and status, start, stop, pause and continue.
constexpr DWORD kServiceAccess = 0xF0075;

SC_HANDLE ToHandle(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ServiceHandle FromHandle(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle>(handle); }

}  // namespace

uint32_t Win32Services::OpenManager(ServiceHandle& manager)
{
    SC_HANDLE handle = OpenSCManagerW(nullptr, nullptr, GENERIC_READ);
    if (!handle) return GetLastError();
    manager = FromHandle(handle);
    return 0;
}

uint32_t Win32Services::OpenService(ServiceHandle manager, const std::wstring& name, ServiceHandle& service)
{
    SC_HANDLE handle = OpenServiceW(ToHandle(manager), name.c_str(), kServiceAccess);
    if (!handle) return GetLastError();
    service = FromHandle(handle);
    return 0;
}

uint32_t Win32Services::Start(ServiceHandle service)
{
    return StartServiceW(ToHandle(service), 0, nullptr) ? 0 : GetLastError();
}

uint32_t Win32Services::Stop(ServiceHandle service)
{
    SERVICE_STATUS status = {};
    return ControlService(ToHandle(service), SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
}

void Win32Services::Close(ServiceHandle handle)
{
    if (handle != 0) CloseServiceHandle(ToHandle(handle));
}
