// The one install controller: install mode, options, feature lists, prerequisite plan,
// the queue of install actions and the results of running it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "engine/EngineServices.h"
#include "engine/InstallAction.h"
#include "engine/Prerequisites.h"
#include "package/Features.h"
#include "package/RelatedProducts.h"
#include "system/InstalledSoftware.h"
#include "system/PayloadExtractor.h"

enum InstallMode : uint32_t {
    InstallModeNotSet = 0,
    InstallNewProduct = 1,
    UpdateExistingProduct = 2,
    RepairExistingProduct = 3,
    ModifyExistingProduct = 4,
    UnInstallExistingProduct = 5,
};

// Package and payload names of the bootstrapper.
extern const wchar_t* const kPackageVersion;       // "6.7.3.319"
extern const wchar_t* const kCleanToolFileName;    // "CleanupInstallation.exe"
constexpr uint16_t kPayloadMsiX86 = 130;
constexpr uint16_t kPayloadCleanTool = 131;
constexpr uint16_t kPayloadMsiX64 = 132;
constexpr uint32_t kRebootRequired = 3010;

// Names of the two client packages for this version.
std::wstring PackageFileName(bool x64);

// The payloads Setup.exe carries, in the order they are extracted: the 32-bit package, the 64-bit package and
// the clean-up tool, each with its resource id and the file name it is extracted under.
struct PayloadFile {
    uint16_t id;
    std::wstring name;
};
std::vector<PayloadFile> PayloadFiles();

// Splits "{A};{B}" at every ";": an empty text gives nothing, a ";" at the end adds no empty entry.
std::vector<std::wstring> SplitProductCodes(const std::wstring& text);

class CInstallController {
public:
    // The set-up: extracts the payloads, detects the installed client and plans the prerequisites. When a payload
    // cannot be written, the set-up stops there and setupError holds the Windows error.
    explicit CInstallController(EngineServices& services);
    CInstallController(const CInstallController&) = delete;
    CInstallController& operator=(const CInstallController&) = delete;

    void SetInstallMode(uint32_t mode);

    void EnqueueUninstallRelatedProducts();
    void EnqueueRepairProduct();
    void EnqueueModifyProduct();
    void EnqueueInstallProduct();
    void EnqueuePrerequisites();
    void EnqueueLegacyGhostscriptRemoval();
    void EnqueueUninstallViaMsiExec(const std::wstring& displayName, const std::wstring& productCode);
    void EnqueueUninstallCommandLine(const std::wstring& displayName, const std::wstring& uninstallCommand);
    void EnqueuePrerequisite(const PrerequisiteInfo& prerequisite);
    void EnqueueServiceAction(const std::wstring& displayName, const std::wstring& serviceName, bool start);
    void EnqueueCleanTool();
    void ClearInstallActionQueue();

    // Runs the queue front to back on the calling thread; stops after the first failure, but first starts the
    // services that the run stopped (their queued start actions) so that none is left stopped.
    void RunInstallActions();
    // Thread entry of the wizard's worker: the argument is the controller. Returns 0.
    static uint32_t InstallWorkerThread(void* controller);

    // Formats the string resource with the display name and publishes it under jobLock.
    void SetCurrentJobDescription(uint32_t stringId, const std::wstring& displayName);
    std::wstring CurrentJobDescription();

    bool IsOutlookRunning();

    // Reads the package's features (through an embedded transform such as "1031" when given) and marks
    // the installed ones.
    void ReadFeatures(const std::wstring& transform);
    // Stores the feature lists and derives the fax prerequisites from them.
    void SetFeatureLists(const std::wstring& addLocalList, const std::wstring& removeList);

    // Takes the texts of the actions (job descriptions, product and service names) from the string table of
    // that Windows language id from now on: the wizard's language after the user changed it.
    void UseLanguage(uint16_t languageId);

    // Re-creates missing Snom D7 driver-store registrations when that feature is installed.
    void RepairSnomD7DriverStore();

    EngineServices& Services() { return services_; }

    // The fields, read and written by the setup run and the wizard pages.
    CBinaryResourceExtractor extractor;
    InstallState installState = NotInstalled;
    uint32_t installMode = InstallModeNotSet;
    std::vector<std::wstring> relatedProductCodes;
    std::wstring msiPath;
    std::wstring cleanToolPath;
    std::deque<CInstallAction> actionQueue;
    std::atomic<bool> running{false};
    // Set by the wizard's progress page when it starts the queue: from then on the wizard's exit code is the
    // queue's, however the wizard is closed.
    bool queueStarted = false;
    bool isX64Windows = false;
    uint32_t lastResult = 0;
    std::wstring downloadErrorText;
    bool downloadFailed = false;
    PrerequisiteKind failedPrerequisite = NoPrerequisite;
    std::wstring addLocal;
    std::wstring remove;
    std::wstring customConfigFiles;
    bool runAfterInstall = false;
    bool noRestart = false;
    bool quiet = false;
    std::wstring quietFlags;
    bool snomD7Installed = false;
    std::vector<FeatureInfo> features;
    std::wstring installedVersion;
    std::mutex jobLock;
    std::wstring currentJobDescription;
    std::wstring productDisplayName;
    bool dotNetInstalled = false;
    bool ghostscriptInstalled = false;
    bool eDocPrintProInstalled = false;
    std::vector<LegacyGhostscriptEntry> legacyGhostscripts;
    bool needDotNet = false;
    bool needGhostscript = false;
    bool legacyGhostscriptFound = false;
    bool offerLegacyGhostscriptRemoval = false;
    bool needEDocPrintPro = false;
    bool rebootRequired = false;
    // The Windows error that ended the set-up (working folder or payload not written); 0 after a complete set-up.
    uint32_t setupError = 0;

private:
    CInstallAction NewAction(InstallActionKind kind) { return CInstallAction(kind, &extractor, this); }
    CInstallAction NewProductAction(InstallActionKind kind);
    void Enqueue(const CInstallAction& action) { actionQueue.push_back(action); }
    // Runs one record and logs it; maps 3010 to 0 with rebootRequired and notes a failed download.
    uint32_t RunAction(CInstallAction action);
    void StartStoppedServices(std::vector<std::wstring>& stoppedServices);
    void DetectPrerequisites();
    // Writes both packages and the clean-up tool into the working folder; false at the first that fails.
    bool ExtractPayloads(std::wstring& msiX86, std::wstring& msiX64);

    EngineServices& services_;
};
