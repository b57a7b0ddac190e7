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
    // Administrators' switches. The three with a path take it from the next argument.
    bool showUsage = false;              // "?", "h", "help": the usage text, nothing else
    std::wstring logFile;                // "log <file>": every line goes to that file
    std::wstring extractFolder;          // "extract <folder>": the packages and the clean-up tool, nothing else
    std::wstring layoutFolder;           // "layout <folder>": Setup.exe and every prerequisite installer
    // A switch of the three above given without its path ("/log" as the last argument): the run is refused.
    std::wstring switchWithoutPath;
};
