// Entry point of Setup.exe: wires the Windows implementations to the application object.
#include <windows.h>

#include "app/BootStrapperApp.h"
#include "app/win32/Win32AppSystem.h"
#include "log/Log.h"
#include "log/win32/Win32Log.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    static Win32Clock clock;
    static Win32LogFiles logFiles;
    static Win32DebugOutput debugOutput;
    LogSetPlatform(&logFiles, &clock);
    SetDebugOutput(&debugOutput);

    Win32AppSystem system;
    CBootStrapperApp app(system);
    app.StartUp();
    return static_cast<int>(app.ShutDown());
}
