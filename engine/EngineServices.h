// The system services the install engine works through.
#pragma once

#include "package/MsiApi.h"
#include "system/Downloader.h"
#include "system/FileSystem.h"
#include "system/InstallerVerifier.h"
#include "system/Processes.h"
#include "system/Registry.h"
#include "system/Resources.h"
#include "system/Services.h"
#include "system/SystemInfo.h"

struct EngineServices {
    IMsiApi& msi;
    IRegistry& registry;
    IFileSystem& files;
    IResources& resources;
    IDownloader& downloader;
    IProcessLauncher& launcher;
    IProcessList& processes;
    IServiceApi& services;
    ISystemInfo& system;
    CInstallerVerifier& verifier;
};
