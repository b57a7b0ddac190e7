// The system fakes an install controller runs on, and the EngineServices over them.
#pragma once

#include "engine/EngineServices.h"
#include "FakeMsi.h"
#include "FakeSystem.h"

struct FakeEngineServices {
    FakeMsi msi;
    FakeRegistry registry;
    FakeFileSystem files;
    FakeResources resources;
    FakeDownloader downloader{files};
    FakeProcessLauncher launcher;
    FakeProcessList processes;
    FakeServiceApi services;
    FakeSystemInfo system;
    FakeInstallerTrust trust{files};
    CInstallerVerifier verifier{trust, PrerequisiteTrustPolicy{}};
    EngineServices engine{msi, registry, files, resources, downloader, launcher, processes, services, system, verifier};
};
