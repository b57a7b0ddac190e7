// The controller's set-up: payloads, install state, installed version and the prerequisite plan.
#include <algorithm>

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

const wchar_t* const kPackageVersion = L"6.7.3.319";
const wchar_t* const kCleanToolFileName = L"CleanupInstallation.exe";

namespace {
const wchar_t* const kTag = L"InstallController";
const wchar_t* const kDotNetKey = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
}  // namespace

std::wstring PackageFileName(bool x64)
{
    return FormatText(x64 ? L"KELVARO_UCC_Client_for_64bit_Windows_v%s.msi" : L"KELVARO_UCC_Client_for_32bit_Windows_v%s.msi",
                      {kPackageVersion});
}

std::vector<PayloadFile> PayloadFiles()
{
    return {
        {kPayloadMsiX86, PackageFileName(false)},
        {kPayloadMsiX64, PackageFileName(true)},
        {kPayloadCleanTool, kCleanToolFileName},
    };
}

std::vector<std::wstring> SplitProductCodes(const std::wstring& text)
{
    std::vector<std::wstring> codes;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(L';', start);
        if (end == std::wstring::npos) {
            codes.push_back(text.substr(start));
            break;
        }
        codes.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return codes;
}

CInstallController::CInstallController(EngineServices& services)
    : extractor(services.resources, services.files, services.downloader, services.verifier), services_(services)
{
    productDisplayName = services_.resources.LoadString(IDS_PRODUCT_NAME);

    // A payload that was not written completely ends the set-up: nothing of it may be used, and the run
    // ends with the error (setupError).
    std::wstring msiX86, msiX64;
    if (!ExtractPayloads(msiX86, msiX64)) {
        setupError = extractor.extractError;
        return;
    }
    LogFormat(kTag, L"Msi x86: %s", msiX86);
    LogFormat(kTag, L"Msi x64: %s", msiX64);
    LogFormat(kTag, L"Clean tool: %s", cleanToolPath);

    isX64Windows = services_.system.IsX64Windows();
    LogFormat(kTag, L"Is x64 windows: %d", isX64Windows ? 1 : 0);

    lastResult = 0;
    runAfterInstall = false;
    noRestart = false;
    snomD7Installed = false;
    msiPath = isX64Windows ? msiX64 : msiX86;

    std::wstring productCodes;
    std::vector<VersionTriple> versions;
    installState = DetectRelatedProducts(services_.msi, msiPath, productCodes, versions);
    installMode = InstallModeNotSet;
    if (!versions.empty()) {
        std::sort(versions.begin(), versions.end());
        installedVersion = FormatInstalledVersion(versions.back());
        LogFormat(kTag, L"Installed version: %s", installedVersion);
    }
    relatedProductCodes = SplitProductCodes(productCodes);

    DetectPrerequisites();
}

bool CInstallController::ExtractPayloads(std::wstring& msiX86, std::wstring& msiX64)
{
    std::wstring* const paths[] = {&msiX86, &msiX64, &cleanToolPath};
    const std::vector<PayloadFile> payloads = PayloadFiles();
    for (size_t i = 0; i < payloads.size(); ++i) {
        *paths[i] = extractor.ExtractResource(L"BIN", payloads[i].id, payloads[i].name);
        if (extractor.extractError != 0) return false;
    }
    return true;
}

void CInstallController::DetectPrerequisites()
{
    const uint32_t requiredEDocPrintPro = RequiredEDocPrintProVersion(isX64Windows);
    const std::wstring requiredGhostscript = RequiredGhostscriptVersion(isX64Windows);

    uint32_t mainVersion = 0;
    std::wstring versionText;
    if (FindUninstallEntryVersion(services_.registry, L"eDocPrintPro", mainVersion, versionText)) {
        LogFormat(kTag, L"eDocPrintPro installed version: %s. Installed %x, required: %x", versionText, mainVersion,
                  requiredEDocPrintPro);
    }
    uint32_t pdfaVersion = 0;
    if (FindUninstallEntryVersion(services_.registry, L"eDocPrintPro PDF/A", pdfaVersion, versionText)) {
        LogFormat(kTag, L"eDocPrintPro PDF/A installed version: %s. Installed %x, required: %x", versionText,
                  pdfaVersion, requiredEDocPrintPro);
    }

    ScopedKey key(services_.registry);
    if (services_.registry.OpenKey(kRegLocalMachine, kDotNetKey, false, key.key) == kErrorSuccess) {
        uint32_t release = 0;
        uint32_t type = 0;
        uint32_t size = 0;
        // Only a 32-bit number counts; anything else reads as 0.
        if (ReadRegistryNumber(services_.registry, key.key, L"Release", release, type, size) == RegistryRead::WrongType)
            LogFormat(kTag, L".NET Release is not a 32-bit number (type %u, %u bytes): taken as 0", type, size);
        LogFormat(kTag, L"Installed .NET version: %x, required: %x", release, kDotNetReleaseRequired);
        dotNetInstalled = static_cast<int32_t>(release) >= kDotNetReleaseRequired;
    } else {
        dotNetInstalled = false;
    }

    // The PDF/A edition is accepted in any version.
    eDocPrintProInstalled = IsEDocPrintProInstalled(services_.registry, services_.files) &&
                            (mainVersion >= requiredEDocPrintPro || pdfaVersion != 0);
    // eDocPrintPro brings its own Ghostscript.
    ghostscriptInstalled =
        eDocPrintProInstalled || IsGhostscriptInstalled(services_.registry, services_.files, requiredGhostscript);

    LogFormat(kTag, L"Is required .NET Framework installed: %d", dotNetInstalled ? 1 : 0);
    LogFormat(kTag, L"Is required eDocPrintPro installed: %d", eDocPrintProInstalled ? 1 : 0);
    LogFormat(kTag, L"Is required GhostScript installed: %d", ghostscriptInstalled ? 1 : 0);

    needDotNet = !dotNetInstalled;
    needGhostscript = needEDocPrintPro = offerLegacyGhostscriptRemoval = false;
    legacyGhostscriptFound = false;
    CollectLegacyGhostscript(services_.registry, requiredGhostscript, legacyGhostscripts, legacyGhostscriptFound);
}

void CInstallController::EnqueuePrerequisites()
{
    if (needDotNet) EnqueuePrerequisite(DotNetPrerequisite());
    if (needGhostscript) EnqueuePrerequisite(GhostscriptPrerequisite(isX64Windows));
    if (needEDocPrintPro) {
        const std::wstring spooler = services_.resources.LoadString(IDS_PRINT_SPOOLER);
        EnqueueServiceAction(spooler, L"Spooler", false);
        const bool quietSet = quiet || quietFlags == L"qn+";
        EnqueuePrerequisite(
            EDocPrintProPrerequisite(isX64Windows, quietSet ? kEDocPrintProQuietSwitches : kEDocPrintProBasicSwitches));
        EnqueueServiceAction(spooler, L"Spooler", true);
    }
}

void CInstallController::EnqueueLegacyGhostscriptRemoval()
{
    for (const LegacyGhostscriptEntry& entry : legacyGhostscripts) {
        if (!entry.isOlder) continue;
        if (entry.productCode.empty()) EnqueueUninstallCommandLine(entry.displayName, entry.uninstallCommand);
        else EnqueueUninstallViaMsiExec(entry.displayName, entry.productCode);
    }
}
