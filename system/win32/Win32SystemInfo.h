// ISystemInfo on the running Windows.
#pragma once

#include "system/SystemInfo.h"

class Win32SystemInfo : public ISystemInfo {
public:
    bool IsX64Windows() override;
};
