// What the application object needs from the system at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IAppSystem {
public:
    virtual ~IAppSystem() = default;
    // Initialises OLE for the process; the result is not looked at.
    virtual void InitializeOle() = 0;
    // Registers the common-control window classes (all classes).
    virtual void InitializeCommonControls() = 0;
    // Registers the process with the Restart Manager for restart (no recovery) with these arguments (the command
    // line without the program). Returns the HRESULT of RegisterApplicationRestart.
    virtual uint32_t RegisterForRestart(const std::wstring& arguments) = 0;
    // The process's command line split by the platform's rules; element 0 is the program.
    virtual std::vector<std::wstring> Arguments() = 0;
    // Full path of the running executable.
    virtual std::wstring ModulePath() = 0;
    // A path given on the command line made full: a relative one is taken from the current folder.
    virtual std::wstring FullPath(const std::wstring& path) = 0;
};
