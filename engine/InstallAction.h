// One step of an installation and the exact command lines it runs.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Prerequisites.h"
#include "system/FileSystem.h"

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

// The program that a registered uninstall command line runs, found as Windows finds it from the command line
// alone: a quoted first word is the program; otherwise the shortest blank-separated beginning that, with ".exe"
// added where it does not end so, names an existing file. A name without a folder is looked for in the system
// folder only, never in Setup.exe's folder or the current folder. Empty when nothing exists.
std::wstring UninstallProgram(const std::wstring& commandLine, IFileSystem& files);

// The first value of an action whose command line it would change beyond itself, as "NAME=value" or "/flags";
// empty when every value is safe (see CommandLineValues.h).
std::wstring RefusedMsiExecValue(const MsiExecOptions& options);

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
    // and writes its log into the bootstrapper's log folder under logFileName. A value that would add to the
    // command line is refused with 1639 and nothing runs.
    uint32_t RunMsiExec(const std::wstring& target, const std::wstring& operation, const std::wstring& logFileName);

    // Starts the program at the full path `application` with the command line and waits for it without a time
    // limit. The child's current folder is the run's working folder. An empty application fails with 2
    // (ERROR_FILE_NOT_FOUND), as a missing program does.
    uint32_t RunProcess(const std::wstring& application, const std::wstring& commandLine);

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
