// One step of an installation and the exact command lines it runs.
#include "engine/InstallAction.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "system/PayloadExtractor.h"
#include "system/ProcessControl.h"

namespace {
const wchar_t* const kTag = L"CInstallAction";
}

std::wstring MsiExecOptionText(const MsiExecOptions& o)
{
    std::wstring text;
    if (!o.quietFlags.empty()) text = L"/" + o.quietFlags;
    else if (o.quiet) text = L"/quiet";
    else text = L"/qn";
    text += o.noRestart ? L" /norestart" : L" /promptrestart";
    if (!o.addLocal.empty()) text += L" ADDLOCAL=" + o.addLocal;
    if (!o.remove.empty()) text += L" REMOVE=" + o.remove;
    if (!o.customConfigFiles.empty()) text += L" CUSTOMCONFIGFILES=\"" + o.customConfigFiles + L"\"";
    if (o.runAfterInstall) text += L" RUNAFTERINSTALL=1";
    return text;
}

std::wstring MsiExecCommandLine(const std::wstring& msiexecPath, const std::wstring& operation,
                                const std::wstring& target, const std::wstring& optionText,
                                const std::wstring& logFilePath)
{
    return msiexecPath + L" " + operation + L" \"" + target + L"\" " + optionText + L" /lvoicewarmupx \"" +
           logFilePath + L"\" ";
}

std::wstring PrerequisiteCommandLine(const std::wstring& installerPath, const std::wstring& switches)
{
    return L"\"" + installerPath + L"\" " + switches + L" ";
}

uint32_t CInstallAction::Execute(std::wstring& downloadErrorText)
{
    switch (kind) {
    case UninstallRelatedProductViaMsiExec:
        LogFormat(kTag, L"UninstallRelatedProductViaMsiExec: %s", productCode);
        controller->SetCurrentJobDescription(IDS_JOB_REMOVING, displayName);
        return RunMsiExec(productCode, L"/x", L"DiDeraveUnInstall.log");
    case UninstallProductCommandLine:
        LogFormat(kTag, L"UninstallProductCommandLine: %s", uninstallCommand);
        controller->SetCurrentJobDescription(IDS_JOB_REMOVING, displayName);
        return RunProcess(uninstallCommand);
    case RepairInstalledProductViaMsiExec:
        LogFormat(kTag, L"RepairInstalledProductViaMsiExec: %s", msiPath);
        controller->SetCurrentJobDescription(IDS_JOB_REPAIRING, displayName);
        return RunMsiExec(msiPath, L"/faumsv", L"DiDeraveRepair.log");
    case ModifyInstalledProductViaMsiExec:
        LogFormat(kTag, L"ModifyInstalledProductViaMsiExec: %s", msiPath);
        controller->SetCurrentJobDescription(IDS_JOB_MODIFYING, displayName);
        return RunMsiExec(msiPath, L"/i", L"DiDeraveModify.log");
    case InstallProductViaMsiExec:
        LogFormat(kTag, L"InstallProductViaMsiExec: %s", msiPath);
        controller->SetCurrentJobDescription(IDS_JOB_INSTALLING, displayName);
        return RunMsiExec(msiPath, L"/i", L"DiDeraveInstall.log");
    case DownloadAndInstallPrerequisite:
        return InstallPrerequisite(downloadErrorText);
    case LaunchCleanTool:
        return RunProcess(L"\"" + exePath + L"\"");
    case StartServiceAction:
        LogFormat(kTag, L"StartServiceAction: %s, start: %d", serviceName, start ? 1 : 0);
        controller->SetCurrentJobDescription(start ? IDS_JOB_STARTING_SERVICE : IDS_JOB_STOPPING_SERVICE,
                                             displayName);
        StartStopService(controller->Services().services, serviceName, start);
        return 0;
    }
    return 0;
}

uint32_t CInstallAction::InstallPrerequisite(std::wstring& downloadErrorText)
{
    LogFormat(kTag, L"DownloadAndInstallPrerequisite: %s", displayName);
    controller->SetCurrentJobDescription(IDS_JOB_DOWNLOADING, displayName);
    std::wstring installerPath;
    // Held open, shared for reading only, until the installer has exited: the verified file is the one that runs.
    VerifiedFile installer;
    const uint32_t result =
        extractor->ObtainPayload(installerPath, downloadErrorText, downloadUrl, fileName, displayName, installer);
    if (result != 0) {
        downloadFailed = true;
        return result;
    }
    controller->SetCurrentJobDescription(IDS_JOB_INSTALLING, displayName);
    const uint32_t exitCode = RunProcess(PrerequisiteCommandLine(installerPath, switches));
    installer.Close();
    return exitCode;
}

uint32_t CInstallAction::RunMsiExec(const std::wstring& target, const std::wstring& operation,
                                    const std::wstring& logFileName)
{
    IFileSystem& files = controller->Services().files;
    const std::wstring msiexec = files.SystemDirectory() + L"\\msiexec.exe";

    MsiExecOptions options;
    options.addLocal = addLocal;
    options.remove = remove;
    options.customConfigFiles = customConfigFiles;
    options.runAfterInstall = runAfterInstall;
    options.noRestart = noRestart;
    options.quiet = quiet;
    options.quietFlags = quietFlags;

    const std::wstring logFolder = CreateLogFolder(files, L"Setup");

    return RunProcess(MsiExecCommandLine(msiexec, operation, target, MsiExecOptionText(options),
                                         logFolder + L"\\" + logFileName));
}

uint32_t CInstallAction::RunProcess(const std::wstring& commandLine)
{
    IProcessLauncher& launcher = controller->Services().launcher;
    LogMessage(kTag, commandLine);
    LogMessage(kTag, L"Create process");
    ProcessHandle process = 0;
    const uint32_t error = launcher.Start(commandLine, process);
    if (error != 0) {
        LogFormat(kTag, L"Create process failed: %x", error);
        return error;
    }
    LogMessage(kTag, L"Wait for process");
    launcher.WaitForExit(process);
    LogMessage(kTag, L"Process done");
    uint32_t exitCode = 0;
    const uint32_t exitError = launcher.ExitCode(process, exitCode);
    if (exitError != 0) exitCode = 0;
    LogFormat(kTag, L"Process exit code: %x", exitCode);
    launcher.Close(process);
    if (exitError != 0) {
        LogFormat(kTag, L"Could not get process exit code: %x", exitError);
        return exitError;
    }
    if (exitCode == kStillActive) {
        LogMessage(kTag, L"Process is still active");
        return 0;
    }
    return exitCode;
}
