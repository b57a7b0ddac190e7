// One step of an installation and the exact command lines it runs.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Prerequisites.h"

class CBinaryResourceExtractor;
class CInstallController;

enum InstallActionKind : uint32_t {
    UninstallRelatedProductViaMsiExec = 1,
    UninstallProductCommandLine = 2,
    RepairInstalledProductViaMsiExec = 3,
    ModifyInstalledProductViaMsiExec = 4,
    InstallProductViaMsiExec = 5,
    DownloadAndInstallPrerequisite = 6,
    LaunchCleanTool = 7,
    StartServiceAction = 8,
};

// The options of an msiexec run that come from the action record.
struct MsiExecOptions {
    std::wstring addLocal;
    std::wstring remove;
    std::wstring customConfigFiles;
    bool runAfterInstall = false;
    bool noRestart = false;
    bool quiet = false;
    std::wstring quietFlags;
};

// The UI level, the restart switch and the properties: "/qn /promptrestart ADDLOCAL=... RUNAFTERINSTALL=1".
std::wstring MsiExecOptionText(const MsiExecOptions& options);

// "<msiexec> <operation> "<target>" <options> /lvoicewarmupx "<log file>" " (with the final blank).
std::wstring MsiExecCommandLine(const std::wstring& msiexecPath, const std::wstring& operation,
                                const std::wstring& target, const std::wstring& optionText,
                                const std::wstring& logFilePath);

// A prerequisite installer's command line: the quoted path, a blank, the switches and a trailing blank.
std::wstring PrerequisiteCommandLine(const std::wstring& installerPath, const std::wstring& switches);

class CInstallAction {
public:
    CInstallAction(InstallActionKind kind, CBinaryResourceExtractor* extractor, CInstallController* controller)
        : kind(kind), extractor(extractor), controller(controller)
    {
    }

    // Runs the step; downloadErrorText receives the text of a failed prerequisite download.
    // Returns 0 on success, 3010 on success with a reboot needed, anything else on failure.
    uint32_t Execute(std::wstring& downloadErrorText);

    // Runs msiexec on a product code or package path with an operation switch ("/i", "/x", "/faumsv")
    // and writes its log into the bootstrapper's log folder under logFileName.
    uint32_t RunMsiExec(const std::wstring& target, const std::wstring& operation, const std::wstring& logFileName);

    // Starts a process from a command line alone and waits for it without a time limit.
    uint32_t RunProcess(const std::wstring& commandLine);

    InstallActionKind kind;
    std::wstring productCode;
    std::wstring msiPath;
    std::wstring customConfigFiles;
    std::wstring addLocal;
    std::wstring remove;
    std::wstring displayName;
    std::wstring downloadUrl;
    std::wstring fileName;
    std::wstring switches;
    std::wstring uninstallCommand;
    std::wstring serviceName;
    std::wstring exePath;
    bool start = false;
    bool runAfterInstall = false;
    bool noRestart = false;
    bool quiet = false;
    std::wstring quietFlags;
    PrerequisiteKind prerequisiteKind = NoPrerequisite;
    bool downloadFailed = false;
    CBinaryResourceExtractor* extractor;
    CInstallController* controller;

private:
    uint32_t InstallPrerequisite(std::wstring& downloadErrorText);
};
