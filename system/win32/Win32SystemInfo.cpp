// ISystemInfo on the running Windows.
#include "system/win32/Win32SystemInfo.h"

#include <windows.h>

bool Win32SystemInfo::IsX64Windows()
{
#ifdef _WIN64
    return true;  // a 64-bit program runs only on 64-bit Windows
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}
