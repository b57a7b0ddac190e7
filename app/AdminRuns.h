// The administrators' runs: the usage text, the packages written out for a distribution tool, and an offline
// installation point with every prerequisite installer.
#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineServices.h"

// What the administrators' runs need beyond the engine's services.
class IAdminHost {
public:
    virtual ~IAdminHost() = default;
    // Shows the usage text: on the console Setup.exe was started from, else in a message box with the caption.
    virtual void ShowUsage(const std::wstring& caption, const std::wstring& text) = 0;
    // Full path of the running executable.
    virtual std::wstring ExecutablePath() = 0;
};

// Shows the usage text in the user-interface language. Returns the exit code, 0.
uint32_t RunShowUsage(EngineServices& services, IAdminHost& host);

// Writes both packages and the clean-up tool, under their usual names, into folder (created when missing; a
// file of that name is replaced). Nothing is detected, run or installed. 0, or the Windows error of the first
// file that could not be written (a partial file is removed).
uint32_t RunExtract(EngineServices& services, const std::wstring& folder);

// Copies Setup.exe into folder and obtains every prerequisite installer any supported Windows may need into
// folder\redist, each from redistFolder or by download and verified. A verified file already there is kept. Every
// file is attempted; 0, or the result of the first that could not be obtained.
uint32_t RunLayout(EngineServices& services, IAdminHost& host, const std::wstring& folder,
                   const std::wstring& redistFolder);
