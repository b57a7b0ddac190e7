// The application object: the start-up sequence of the bootstrapper and the end of the process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/AppSystem.h"
#include "app/SetupOptions.h"

// The version of the bootstrapper and of the packages it carries.
extern const wchar_t* const kBootstrapperVersion;

class CBootStrapperApp {
public:
    // The setup run: given the options and the executable's folder, does the work and returns the exit code.
    using SetupRunner = std::function<uint32_t(const SetupOptions&, const std::wstring&)>;

    CBootStrapperApp(IAppSystem& system, SetupRunner setupRun) : system_(system), setupRun_(std::move(setupRun)) {}

    // Does the whole work of the process; returns false in every outcome, so that no message loop follows.
    bool StartUp();

    // The process exit code after StartUp.
    uint32_t ShutDown() const { return exitCode_; }

    const SetupOptions& Options() const { return options_; }
    const std::wstring& ExecutablePath() const { return executablePath_; }
    const std::wstring& ExecutableFolder() const { return executableFolder_; }

private:
    IAppSystem& system_;
    SetupRunner setupRun_;
    SetupOptions options_;
    std::wstring executablePath_;
    std::wstring executableFolder_;
    uint32_t exitCode_ = 0;
};

// The arguments after the program, each quoted so that the platform's rules of splitting a command line give them
// back unchanged, joined by blanks: the command line a restarted run gets.
std::wstring RestartArguments(const std::vector<std::wstring>& arguments);

// The folder of a path up to and including its last backslash; empty without a backslash.
std::wstring FolderOfPath(const std::wstring& path);
