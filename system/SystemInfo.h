// Facts about the running Windows.
#pragma once

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    // Whether this Windows is 64-bit: IsWow64Process on the current process for a 32-bit program
    // (false when the call fails); always true for a 64-bit program.
    virtual bool IsX64Windows() = 0;
};
