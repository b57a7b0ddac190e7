// The setup run: creates the controller, runs the clean-up tool or decides an unattended run,
// or hands over to the wizard; writes the last log line and gives the process exit code.
#include "app/SetupRun.h"

#include <memory>

#include "log/Log.h"

namespace {

const wchar_t* const kTag = L"BootStrapper";

void RunSequence(CInstallController& controller, InstallMode mode, IProgressDisplay* progress)
{
    controller.SetInstallMode(mode);
    if (mode == UnInstallExistingProduct) {
        controller.EnqueueUninstallRelatedProducts();
    } else {
        controller.EnqueueLegacyGhostscriptRemoval();
        controller.EnqueuePrerequisites();
        if (mode == RepairExistingProduct) controller.EnqueueRepairProduct();
        else if (mode == ModifyExistingProduct) controller.EnqueueModifyProduct();
        else controller.EnqueueInstallProduct();
    }
    if (progress) progress->Show(controller);
    controller.RunInstallActions();
    if (progress) progress->Close();
}

// Decides and runs an unattended request. Returns the exit code; lastLine is the refusal text when refused.
uint32_t UnattendedDecision(CInstallController& controller, const SetupOptions& options, bool featureListsGiven,
                            std::wstring& lastLine, IProgressDisplay* progress)
{
    if (!ShowsPassiveProgress(options)) progress = nullptr;
    LogMessage(kTag, L"Unattended setup");
    controller.runAfterInstall = options.runAfterSetup;
    controller.noRestart = options.noReboot;
    controller.quiet = options.quiet;
    controller.quietFlags = options.quietFlags;

    const InstallState state = controller.installState;
    LogMessage(kTag, InstallStateLine(state));
    const bool installed =
        state == LowerVersionInstalled || state == SameVersionInstalled || state == HigherVersionInstalled;

    if (options.uninstall) {
        if (!installed) {
            lastLine = L"Uninstall requested, nothing installed";
            return kExitNothingInstalled;
        }
        LogMessage(kTag, L"Uninstall requested");
        RunSequence(controller, UnInstallExistingProduct, progress);
    } else if (state == HigherVersionInstalled) {
        lastLine = L"Install requested, downgrade not supported";
        return kExitDowngradeRefused;
    } else if (state == SameVersionInstalled && featureListsGiven) {
        LogMessage(kTag, L"Modify requested");
        RunSequence(controller, ModifyExistingProduct, progress);
    } else if (state == SameVersionInstalled) {
        LogMessage(kTag, L"Repair");
        RunSequence(controller, RepairExistingProduct, progress);
    } else {
        LogMessage(kTag, L"Install requested");
        RunSequence(controller, InstallNewProduct, progress);
    }
    return QueueExitCode(controller);
}

}  // namespace

const wchar_t* InstallStateLine(InstallState state)
{
    switch (state) {
    case LowerVersionInstalled: return L"Lower version installed";
    case SameVersionInstalled: return L"Same version installed";
    case HigherVersionInstalled: return L"Higher version installed";
    default: return L"Not installed";
    }
}

uint32_t QueueExitCode(const CInstallController& controller)
{
    if (controller.lastResult != 0) return controller.lastResult;
    return controller.rebootRequired ? kRebootRequired : kExitSuccess;
}

bool CheckCommandLineValues(const SetupOptions& options, std::wstring& addLocal, std::wstring& remove,
                            std::wstring& refused)
{
    if (!NormalizeFeatureList(options.addLocalFeatures, addLocal)) {
        refused = L"ADDLOCAL=" + options.addLocalFeatures;
    } else if (!NormalizeFeatureList(options.removeFeatures, remove)) {
        refused = L"REMOVE=" + options.removeFeatures;
    } else if (!IsValidQuietFlags(options.quietFlags)) {
        refused = L"/" + options.quietFlags;
    } else if (!IsValidQuotedFolder(options.customConfigFilesPath)) {
        refused = L"CUSTOMCONFIGFILES=" + options.customConfigFilesPath;
    } else if (!IsValidQuotedFolder(options.localRedistPath)) {
        refused = L"REDISTDIR=" + options.localRedistPath;
    } else {
        return true;
    }
    return false;
}

bool ShowsPassiveProgress(const SetupOptions& options)
{
    return options.passive && !options.quiet && options.quietFlags.empty();
}

bool IsUnattended(const SetupOptions& options)
{
    return !options.addLocalFeatures.empty() || !options.removeFeatures.empty() || options.install ||
           options.uninstall || options.passive || options.quiet || !options.quietFlags.empty();
}

uint32_t RunSetup(EngineServices& services, const SetupOptions& options, const std::wstring& executableFolder,
                  IWizardRun* wizard, IProgressDisplay* progress, IAdminHost* admin)
{
    // The administrators' runs come before everything else and do nothing else: the usage text, then a switch
    // without its path, then /extract, then /layout.
    if (options.showUsage) {
        const uint32_t code = admin ? RunShowUsage(services, *admin) : kExitSuccess;
        LogMessage(kTag, L"Done");
        return code;
    }
    if (!options.switchWithoutPath.empty()) {
        LogFormat(kTag, L"Invalid command line: %s", options.switchWithoutPath);
        return kErrorInvalidCommandLine;
    }
    if (!options.extractFolder.empty() || !options.layoutFolder.empty()) {
        uint32_t code = kExitSuccess;
        if (!options.extractFolder.empty()) {
            code = RunExtract(services, options.extractFolder);
        } else if (!IsValidQuotedFolder(options.localRedistPath)) {
            LogFormat(kTag, L"Invalid command line: REDISTDIR=%s", options.localRedistPath);
            return kErrorInvalidCommandLine;
        } else {
            const std::wstring redist =
                options.localRedistPath.empty() ? executableFolder + L"redist" : options.localRedistPath;
            code = admin ? RunLayout(services, *admin, options.layoutFolder, redist) : kEFail;
        }
        LogMessage(kTag, code == kExitSuccess ? std::wstring(L"Done") : FormatText(L"Setup failed: %x", {code}));
        return code;
    }

    // Values that would reach a command line are checked before anything is extracted, run or installed.
    std::wstring addLocal, remove, refused;
    if (!options.clean && !CheckCommandLineValues(options, addLocal, remove, refused)) {
        LogFormat(kTag, L"Invalid command line: %s", refused);
        return kErrorInvalidCommandLine;
    }

    auto controller = std::make_unique<CInstallController>(services);
    uint32_t exitCode = kExitSuccess;
    std::wstring lastLine = L"Done";

    if (controller->setupError != 0) {
        // The payloads are not all there: nothing is detected, shown or run. A run that would show the wizard
        // tells the user why instead.
        exitCode = controller->setupError;
        lastLine = FormatText(L"Setup failed: %x", {exitCode});
        if (wizard && !options.clean && !IsUnattended(options)) wizard->ShowSetupError(exitCode);
    } else if (options.clean) {
        LogMessage(kTag, L"Launch clean tool");
        controller->EnqueueCleanTool();
        controller->RunInstallActions();
        exitCode = QueueExitCode(*controller);
    } else {
        const std::wstring configFolder = options.customConfigFilesPath.empty()
                                              ? executableFolder + L"CustomConfigFiles"
                                              : options.customConfigFilesPath;
        LogFormat(L"InstallController", L"CustomConfigPath: %s", configFolder);
        controller->customConfigFiles = configFolder;
        LogFormat(kTag, L"CustomConfigFilesPath: %s", controller->customConfigFiles);

        const std::wstring redistFolder =
            options.localRedistPath.empty() ? executableFolder + L"redist" : options.localRedistPath;
        LogFormat(L"InstallController", L"LocalRedistPath: %s", redistFolder);
        controller->extractor.localRedistFolder = redistFolder;
        LogFormat(kTag, L"LocalRedistPath: %s", redistFolder);

        const bool featureListsGiven = !addLocal.empty() || !remove.empty();
        if (featureListsGiven) controller->SetFeatureLists(addLocal, remove);
        controller->runAfterInstall = true;

        if (IsUnattended(options))
            exitCode = UnattendedDecision(*controller, options, featureListsGiven, lastLine, progress);
        else if (wizard) exitCode = wizard->Run(*controller);
    }

    LogMessage(kTag, lastLine);
    controller.reset();
    return exitCode;
}
