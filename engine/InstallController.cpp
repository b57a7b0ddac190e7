// The one install controller: install mode, queue operations, the run loop and the feature lists.
#include "engine/InstallController.h"

#include <algorithm>

#include "log/Log.h"
#include "resource.h"
#include "system/DriverStore.h"
#include "system/ProcessControl.h"

namespace {
const wchar_t* const kTag = L"InstallController";
}

void CInstallController::SetInstallMode(uint32_t mode)
{
    installMode = mode;
    static const wchar_t* const kNames[] = {nullptr,
                                            L"Set install mode: InstallNewProduct",
                                            L"Set install mode: UpdateExistingProduct",
                                            L"Set install mode: RepairExistingProduct",
                                            L"Set install mode: ModifyExistingProduct",
                                            L"Set install mode: UnInstallExistingProduct"};
    if (mode >= InstallNewProduct && mode <= UnInstallExistingProduct) LogMessage(L"CInstallController", kNames[mode]);
    else LogFormat(L"CInstallController", L"Set install mode: %x", mode);
}

CInstallAction CInstallController::NewProductAction(InstallActionKind kind)
{
    CInstallAction action = NewAction(kind);
    action.msiPath = msiPath;
    action.customConfigFiles = customConfigFiles;
    action.addLocal = addLocal;
    action.remove = remove;
    action.runAfterInstall = runAfterInstall;
    action.noRestart = noRestart;
    action.quiet = quiet;
    action.quietFlags = quietFlags;
    action.displayName = productDisplayName;
    return action;
}

void CInstallController::EnqueueUninstallRelatedProducts()
{
    for (const std::wstring& code : relatedProductCodes) {
        CInstallAction action = NewAction(UninstallRelatedProductViaMsiExec);
        action.productCode = code;
        action.displayName = productDisplayName;
        action.noRestart = noRestart;
        action.quiet = quiet;
        action.quietFlags = quietFlags;
        Enqueue(action);
        LogFormat(kTag, L"Enqueue uninstallation of related product: %s", code);
    }
}

void CInstallController::EnqueueRepairProduct()
{
    Enqueue(NewProductAction(RepairInstalledProductViaMsiExec));
    LogFormat(kTag, L"Enqueue repair of related product: %s", msiPath);
}

void CInstallController::EnqueueModifyProduct()
{
    Enqueue(NewProductAction(ModifyInstalledProductViaMsiExec));
    LogFormat(kTag, L"Enqueue modify of related product: %s", msiPath);
}

void CInstallController::EnqueueInstallProduct()
{
    Enqueue(NewProductAction(InstallProductViaMsiExec));
    LogFormat(kTag, L"Enqueue installation of embedded msi file: %s", msiPath);
}

void CInstallController::EnqueueUninstallViaMsiExec(const std::wstring& displayName, const std::wstring& productCode)
{
    CInstallAction action = NewAction(UninstallRelatedProductViaMsiExec);
    action.displayName = displayName;
    action.productCode = productCode;
    action.noRestart = true;
    action.quiet = true;
    action.quietFlags = quietFlags;
    Enqueue(action);
    LogFormat(kTag, L"Enqueue uninstallation of related product: %s", productCode);
}

void CInstallController::EnqueueUninstallCommandLine(const std::wstring& displayName,
                                                     const std::wstring& uninstallCommand)
{
    CInstallAction action = NewAction(UninstallProductCommandLine);
    action.displayName = displayName;
    action.uninstallCommand = uninstallCommand;
    action.noRestart = noRestart;
    action.quiet = quiet;
    action.quietFlags = quietFlags;
    Enqueue(action);
    LogFormat(kTag, L"Enqueue uninstallation of related product: %s", uninstallCommand);
}

void CInstallController::EnqueuePrerequisite(const PrerequisiteInfo& prerequisite)
{
    CInstallAction action = NewAction(DownloadAndInstallPrerequisite);
    action.displayName = prerequisite.displayName;
    action.downloadUrl = prerequisite.downloadUrl;
    action.fileName = prerequisite.fileName;
    action.switches = prerequisite.switches;
    action.prerequisiteKind = prerequisite.prerequisiteKind;
    Enqueue(action);
    LogFormat(kTag, L"Enqueue installation of prerequisite: %s", prerequisite.displayName);
}

void CInstallController::EnqueueServiceAction(const std::wstring& displayName, const std::wstring& serviceName,
                                              bool start)
{
    CInstallAction action = NewAction(StartServiceAction);
    action.displayName = displayName;
    action.serviceName = serviceName;
    action.start = start;
    Enqueue(action);
    LogFormat(kTag, L"Enqueue start service: %s, start: %d", serviceName, start ? 1 : 0);
}

void CInstallController::EnqueueCleanTool()
{
    CInstallAction action = NewAction(LaunchCleanTool);
    action.displayName = L"CleanupTool";
    action.exePath = cleanToolPath;
    Enqueue(action);
    LogFormat(kTag, L"Enqueue clean tool: %s", cleanToolPath);
}

void CInstallController::ClearInstallActionQueue()
{
    LogMessage(kTag, L"ClearInstallActionQueue");
    actionQueue.clear();
}

void CInstallController::SetCurrentJobDescription(uint32_t stringId, const std::wstring& displayName)
{
    const std::wstring format = services_.resources.LoadString(stringId);
    const std::wstring text = FormatText(format.c_str(), {displayName});
    std::lock_guard<std::mutex> guard(jobLock);
    LogFormat(kTag, L"SetCurrentJobDescription: %s", text);
    currentJobDescription = text;
}

std::wstring CInstallController::CurrentJobDescription()
{
    std::lock_guard<std::mutex> guard(jobLock);
    return currentJobDescription;
}

uint32_t CInstallController::RunAction(CInstallAction action)
{
    const bool productAction = action.kind == RepairInstalledProductViaMsiExec ||
                               action.kind == ModifyInstalledProductViaMsiExec ||
                               action.kind == InstallProductViaMsiExec;
    // The client is not started while a reboot is pending.
    if (rebootRequired && productAction) action.runAfterInstall = false;
    LogFormat(kTag, L"Run: %s", action.displayName);
    uint32_t result = action.Execute(downloadErrorText);
    if (result == kRebootRequired) {
        LogMessage(kTag, L"Component was installed, but reboot is required");
        rebootRequired = true;
        result = 0;
    }
    if (action.downloadFailed) {
        downloadFailed = true;
        failedPrerequisite = action.prerequisiteKind;
    }
    LogFormat(kTag, L"Result of %s: %x", action.displayName, result);
    return result;
}

void CInstallController::RunInstallActions()
{
    // Services that this run stopped and has not started again.
    std::vector<std::wstring> stoppedServices;
    while (!actionQueue.empty()) {
        const CInstallAction action = actionQueue.front();
        lastResult = RunAction(action);
        if (action.kind == StartServiceAction) {
            auto found = std::find(stoppedServices.begin(), stoppedServices.end(), action.serviceName);
            if (!action.start) stoppedServices.push_back(action.serviceName);
            else if (found != stoppedServices.end()) stoppedServices.erase(found);
        }
        actionQueue.pop_front();
        if (lastResult != 0) {
            StartStoppedServices(stoppedServices);
            break;
        }
    }
    running = false;
}

void CInstallController::StartStoppedServices(std::vector<std::wstring>& stoppedServices)
{
    // A failed eDocPrintPro installer must not leave the Print Spooler stopped: the queued start of each stopped
    // service runs as it would have, and the failure stays the run's result. The other records stay unrun.
    for (auto record = actionQueue.begin(); record != actionQueue.end() && !stoppedServices.empty();) {
        auto stopped = std::find(stoppedServices.begin(), stoppedServices.end(), record->serviceName);
        if (record->kind != StartServiceAction || !record->start || stopped == stoppedServices.end()) {
            ++record;
            continue;
        }
        stoppedServices.erase(stopped);
        const CInstallAction start = *record;
        record = actionQueue.erase(record);
        RunAction(start);
    }
}

uint32_t CInstallController::InstallWorkerThread(void* parameter)
{
    CInstallController* controller = static_cast<CInstallController*>(parameter);
    LogMessage(kTag, L"Worker thread started");
    controller->RunInstallActions();
    LogMessage(kTag, L"Worker thread done");
    return 0;
}

bool CInstallController::IsOutlookRunning()
{
    uint32_t processId = 0;
    return FindProcessByName(services_.processes, "outlook.exe", processId);
}

void CInstallController::ReadFeatures(const std::wstring& transform)
{
    IMsiApi& msi = services_.msi;
    features.clear();
    {
        MsiHandleGuard database(msi);
        if (msi.OpenDatabase(msiPath, database.Receive()) == kMsiSuccess) {
            // A package without that transform is read in its base language.
            if (!transform.empty()) msi.ApplyTransform(database.get(), L":" + transform);
            GetFeatures(msi, database.get(), features);
        }
    }
    for (const std::wstring& product : relatedProductCodes) {
        if (msi.QueryFeatureState(product, L"FeatureSnomD7") == kMsiInstallStateLocal) snomD7Installed = true;
        for (FeatureInfo& feature : features) {
            if (msi.QueryFeatureState(product, feature.Feature) == kMsiInstallStateLocal) {
                LogFormat(kTag, L"Installed feature: %s", feature.Feature);
                feature.installed = true;
            }
        }
    }
    bool lyncIntegration = false;
    {
        ScopedKey lync(services_.registry);
        lyncIntegration =
            services_.registry.OpenKey(kRegClassesRoot, L"Lync.UCOfficeIntegration", false, lync.key) == kErrorSuccess;
    }
    if (lyncIntegration) {
        LogMessage(kTag, L"UnifiedCommunicationApi is installed");
        for (auto it = features.begin(); it != features.end(); ++it) {
            if (it->Feature == L"FeatureUnifiedCollaborationApi") {
                if (!it->installed) features.erase(it);
                break;
            }
        }
    }
}

void CInstallController::SetFeatureLists(const std::wstring& addLocalList, const std::wstring& removeList)
{
    addLocal = addLocalList;
    remove = removeList;
    const bool fax = addLocal.find(L"FeatureFax") != std::wstring::npos;
    needGhostscript = fax && !ghostscriptInstalled;
    offerLegacyGhostscriptRemoval = fax && legacyGhostscriptFound;
    needEDocPrintPro = fax && !eDocPrintProInstalled;
    LogFormat(kTag, L"addlocal: %s, remove: %s", addLocal, remove);
}

void CInstallController::UseLanguage(uint16_t languageId)
{
    services_.resources.SetLanguage(languageId);
    const std::wstring name = services_.resources.LoadString(IDS_PRODUCT_NAME);
    if (!name.empty()) productDisplayName = name;
}

void CInstallController::RepairSnomD7DriverStore() { ::RepairSnomD7DriverStore(services_.registry, snomD7Installed); }
