// The service control manager.
#pragma once

#include <cstdint>
#include <string>

using ServiceHandle = uintptr_t;  // 0 = none

constexpr uint32_t kErrorServiceRequestTimeout = 1053;
constexpr uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr uint32_t kErrorServiceDoesNotExist = 1060;
constexpr uint32_t kErrorServiceNotActive = 1062;

// Every operation returns 0 on success and a Windows error code otherwise.
class IServiceApi {
public:
    virtual ~IServiceApi() = default;
    // OpenSCManagerW on the local machine's default database with GENERIC_READ.
    virtual uint32_t OpenManager(ServiceHandle& manager) = 0;
    // OpenServiceW with 0xF0075 (query, start, stop, pause and continue).
    virtual uint32_t OpenService(ServiceHandle manager, const std::wstring& name, ServiceHandle& service) = 0;
    // StartServiceW without arguments.
    virtual uint32_t Start(ServiceHandle service) = 0;
    // ControlService with SERVICE_CONTROL_STOP.
    virtual uint32_t Stop(ServiceHandle service) = 0;
    virtual void Close(ServiceHandle handle) = 0;
};
