// IServiceApi on the service control manager.
#pragma once

#include "system/Services.h"

class Win32Services : public IServiceApi {
public:
    uint32_t OpenManager(ServiceHandle& manager) override;
    uint32_t OpenService(ServiceHandle manager, const std::wstring& name, ServiceHandle& service) override;
    uint32_t Start(ServiceHandle service) override;
    uint32_t Stop(ServiceHandle service) override;
    void Close(ServiceHandle handle) override;
};
