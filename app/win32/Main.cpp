// Entry point of Setup.exe: wires the Windows implementations to the application object.
#include <windows.h>

#include "app/BootStrapperApp.h"
#include "app/SetupRun.h"
#include "app/win32/Win32AdminHost.h"
#include "app/win32/Win32AppSystem.h"
#include "app/win32/Win32CrashHandler.h"
#include "app/win32/Win32PassiveProgress.h"
#include "app/win32/Win32WizardRun.h"
#include "log/Log.h"
#include "log/win32/Win32Log.h"
#include "package/win32/Win32MsiApi.h"
#include "platform/win32/SystemLibrary.h"
#include "system/win32/Win32Downloader.h"
#include "system/win32/Win32FileSystem.h"
#include "system/win32/Win32InstallerTrust.h"
#include "system/win32/Win32Processes.h"
#include "system/win32/Win32Registry.h"
#include "system/win32/Win32Resources.h"
#include "system/win32/Win32Services.h"
#include "system/win32/Win32SystemInfo.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything can load a DLL: from now on DLLs are loaded by name from the system folder only.
    RestrictDllSearch();
    // Before anything else: a crash from here on leaves a log line and a minidump.
    Win32CrashHandler& crashHandler = Win32CrashHandler::Install();

    static Win32Clock clock;
    static Win32LogFiles logFiles;
    static Win32DebugOutput debugOutput;
    LogSetPlatform(&logFiles, &clock);
    SetDebugOutput(&debugOutput);
    LogSetFileObserver(&crashHandler);

    Win32MsiApi msi;
    Win32Registry registry;
    Win32FileSystem files;
    Win32Resources resources;
    Win32Downloader downloader;
    Win32ProcessLauncher launcher;
    Win32ProcessList processes;
    Win32Services services;
    Win32SystemInfo systemInfo;
    Win32InstallerTrust trust;
    CInstallerVerifier verifier(trust, BuiltInPrerequisiteTrust());
    EngineServices engine{msi, registry, files, resources, downloader, launcher, processes, services, systemInfo,
                          verifier};

    Win32AppSystem system;
    Win32WizardRun wizard(engine);
    Win32PassiveProgress progress;
    Win32AdminHost admin;
    CBootStrapperApp app(system, [&engine, &wizard, &progress, &admin](const SetupOptions& options,
                                                                       const std::wstring& folder) {
        return RunSetup(engine, options, folder, &wizard, &progress, &admin);
    });
    app.StartUp();
    return static_cast<int>(app.ShutDown());
}
