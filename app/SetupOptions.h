// The parsed command line of the bootstrapper.
#pragma once

#include <string>

struct SetupOptions {
    bool clean = false;           // "clean": run only the clean-up tool
    bool install = false;         // "i"
    bool uninstall = false;       // "x"
    bool runAfterSetup = false;   // "runaftersetup"
    bool removeLegacyGS = false;  // "removeLegacyGS": recorded and logged only
    bool noReboot = false;        // "noreboot"
    bool passive = false;         // "passive"
    bool quiet = false;           // "quiet", "q"
    std::wstring quietFlags;      // any other switch beginning with q, without its slash (e.g. "qn+")
    std::wstring customConfigFilesPath;  // CUSTOMCONFIGFILES=
    std::wstring localRedistPath;        // REDISTDIR=
    std::wstring addLocalFeatures;       // ADDLOCAL=
    std::wstring removeFeatures;         // REMOVE=
};
