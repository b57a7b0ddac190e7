// One step of an installation and the exact command lines it runs.
#include "engine/InstallAction.h"

#include "engine/CommandLineValues.h"
#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "system/PayloadExtractor.h"
#include "system/ProcessControl.h"

namespace {

const wchar_t* const kTag = L"CInstallAction";

bool EndsWithExe(const std::wstring& name)
{
    if (name.size() < 4) return false;
    std::wstring tail = name.substr(name.size() - 4);
    for (wchar_t& c : tail) c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    return tail == L".exe";
}

bool HasFolder(const std::wstring& name) { return name.find_first_of(L"\\/:") != std::wstring::npos; }

}  // namespace

std::wstring UninstallProgram(const std::wstring& commandLine, IFileSystem& files)
{
    auto existing = [&files](std::wstring name) -> std::wstring {
        if (name.empty()) return std::wstring();
        if (!EndsWithExe(name)) name += L".exe";
        // A bare name is taken from the system folder: the folders Windows would search first (the program's
        // own and the current one) are where a user could have put a file of that name.
        if (!HasFolder(name)) {
            const std::wstring system = files.SystemDirectory();
            if (system.empty()) return std::wstring();
            name = system + L"\\" + name;
        }
        return files.FileExists(name) ? name : std::wstring();
    };
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const size_t close = commandLine.find(L'"', 1);
        if (close == std::wstring::npos) return std::wstring();
        return existing(commandLine.substr(1, close - 1));
    }
    for (size_t end = commandLine.find(L' '); ; end = commandLine.find(L' ', end + 1)) {
        const std::wstring found = existing(commandLine.substr(0, end));
        if (!found.empty() || end == std::wstring::npos) return found;
    }
}

std::wstring RefusedMsiExecValue(const MsiExecOptions& o)
{
    std::wstring normalized;
    if (!NormalizeFeatureList(o.addLocal, normalized) || normalized != o.addLocal) return L"ADDLOCAL=" + o.addLocal;
    if (!NormalizeFeatureList(o.remove, normalized) || normalized != o.remove) return L"REMOVE=" + o.remove;
    if (!IsValidQuietFlags(o.quietFlags)) return L"/" + o.quietFlags;
    if (!IsValidQuotedFolder(o.customConfigFiles)) return L"CUSTOMCONFIGFILES=" + o.customConfigFiles;
    return std::wstring();
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
        return RunProcess(UninstallProgram(uninstallCommand, controller->Services().files), uninstallCommand);
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
        return RunProcess(exePath, L"\"" + exePath + L"\"");
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
    // The quoted path must end where its quote does: a local folder with a quote in it is refused.
    if (!IsValidQuotedFolder(installerPath)) {
        LogFormat(kTag, L"Invalid command line: %s", installerPath);
        return kErrorInvalidCommandLine;
    }
    // The program started is the file held open, where it really is; the command line names it as it was found.
    const uint32_t exitCode =
        RunProcess(installer.ResolvedPath(), PrerequisiteCommandLine(installerPath, switches));
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

    const std::wstring refused = RefusedMsiExecValue(options);
    if (!refused.empty() || !IsValidQuotedFolder(target)) {
        LogFormat(kTag, L"Invalid command line: %s", refused.empty() ? target : refused);
        return kErrorInvalidCommandLine;
    }

    // msiexec writes its log with full rights: through a link in the log folder's place, or into a file that is
    // a link, it would write anywhere. Then the log goes into the run's own working folder instead. A log file of
    // the administrator's choice takes the msiexec logs beside it.
    std::wstring logFolder = LogChosenFolder();
    if (logFolder.empty()) logFolder = CreateLogFolder(files, L"Setup");
    if (logFolder.empty() || !files.IsMissingOrPlainFile(logFolder + L"\\" + logFileName)) {
        logFolder = extractor->workFolder;
    }

    return RunProcess(msiexec, MsiExecCommandLine(msiexec, operation, target, MsiExecOptionText(options),
                                                  logFolder + L"\\" + logFileName));
}

uint32_t CInstallAction::RunProcess(const std::wstring& application, const std::wstring& commandLine)
{
    IProcessLauncher& launcher = controller->Services().launcher;
    LogMessage(kTag, commandLine);
    LogMessage(kTag, L"Create process");
    ProcessHandle process = 0;
    const uint32_t error = application.empty()
                               ? kErrorFileNotFound  // as CreateProcessW answers for a missing program
                               : launcher.Start(application, commandLine, extractor->workFolder, process);
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
