// The administrators' runs: the usage text, the packages written out for a distribution tool, and an offline
// installation point with every prerequisite installer.
#include "app/AdminRuns.h"

#include "app/CommandLineParser.h"
#include "engine/InstallController.h"
#include "engine/Prerequisites.h"
#include "log/Log.h"
#include "resource.h"

namespace {

const wchar_t* const kTag = L"BootStrapper";
const wchar_t* const kLayoutTag = L"Layout";
constexpr uint32_t kErrorPathNotFound = 3;  // ERROR_PATH_NOT_FOUND

std::wstring WithoutTrailingBackslash(std::wstring folder)
{
    // "C:\" keeps its backslash: "C:" alone would mean the drive's current folder.
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// Makes room for a new file of that name: a plain file there is deleted; a link, a folder or a file that cannot
// be deleted is not touched. 0, or the Windows error to report.
uint32_t ClearFileName(IFileSystem& files, const std::wstring& path)
{
    if (!files.FileExists(path)) return 0;
    if (!files.IsMissingOrPlainFile(path) || !files.DeleteFile(path)) return kErrorFileExists;
    return 0;
}

// Every prerequisite installer that Setup.exe may run on a supported Windows, 32 or 64 bit.
std::vector<PrerequisiteInfo> EveryPrerequisite()
{
    return {DotNetPrerequisite(),
            GhostscriptPrerequisite(true),
            GhostscriptPrerequisite(false),
            EDocPrintProPrerequisite(true, std::wstring()),
            EDocPrintProPrerequisite(false, std::wstring())};
}

// Brings one prerequisite installer into the layout's redist folder. 0 when it is there and verified.
uint32_t LayoutPrerequisite(EngineServices& services, CBinaryResourceExtractor& extractor,
                            const PrerequisiteInfo& prerequisite, const std::wstring& redist)
{
    IFileSystem& files = services.files;
    const std::wstring target = Join(redist, prerequisite.fileName);
    if (files.FileExists(target)) {
        VerifiedFile present;
        if (services.verifier.Verify(target, prerequisite.fileName, present) == 0) {
            LogFormat(kLayoutTag, L"Kept: %s", target);
            return 0;
        }
    }

    std::wstring source, errorText;
    VerifiedFile installer;
    const uint32_t result = extractor.ObtainPayload(source, errorText, prerequisite.downloadUrl, prerequisite.fileName,
                                                    prerequisite.displayName, installer);
    if (result != 0) return result;
    // REDISTDIR may be the layout's own redist folder: its file is the one that failed above, and the source
    // is then a download.
    if (const uint32_t error = ClearFileName(files, target); error != 0) return error;
    // The source is held open while it is copied, so the copy is of the verified bytes; the copy is verified
    // again all the same, as the installer a later run will start.
    uint32_t error = files.CopyNewFile(installer.ResolvedPath().empty() ? source : installer.ResolvedPath(), target);
    installer.Close();
    if (error != 0) return error;
    VerifiedFile copy;
    error = services.verifier.Verify(target, prerequisite.fileName, copy);
    if (error != 0) {
        copy.Close();
        files.DeleteFile(target);
        return error;
    }
    LogFormat(kLayoutTag, L"Copied: %s", target);
    return 0;
}

}  // namespace

uint32_t RunShowUsage(EngineServices& services, IAdminHost& host)
{
    LogMessage(kTag, L"Show usage");
    host.ShowUsage(services.resources.LoadString(IDS_PRODUCT_NAME), services.resources.LoadString(IDS_USAGE));
    return 0;
}

uint32_t RunExtract(EngineServices& services, const std::wstring& folderGiven)
{
    IFileSystem& files = services.files;
    const std::wstring folder = WithoutTrailingBackslash(folderGiven);
    if (!OpenFolderPath(files, folder)) {
        LogFormat(kTag, L"Folder cannot be created or is a link: %s", folder);
        return kErrorPathNotFound;
    }
    for (const PayloadFile& payload : PayloadFiles()) {
        const std::wstring path = Join(folder, payload.name);
        LogFormat(L"ResourceExtractor", L"Extract: %s", path);
        uint32_t error = ClearFileName(files, path);
        if (error == 0) {
            const PayloadView view = services.resources.FindPayload(L"BIN", payload.id);
            const bool found = view.found && view.data != nullptr;
            error = files.WriteNewFile(path, found ? view.data : nullptr, found ? view.size : 0);
        }
        if (error != 0) {
            LogFormat(L"ResourceExtractor", L"Extract failed: %x", error);
            return error;
        }
    }
    return 0;
}

uint32_t RunLayout(EngineServices& services, IAdminHost& host, const std::wstring& folderGiven,
                   const std::wstring& redistFolder)
{
    IFileSystem& files = services.files;
    const std::wstring folder = WithoutTrailingBackslash(folderGiven);
    const std::wstring redist = Join(folder, L"redist");
    if (!OpenFolderPath(files, folder) || !OpenFolderPath(files, redist)) {
        LogFormat(kTag, L"Folder cannot be created or is a link: %s", redist);
        return kErrorPathNotFound;
    }

    uint32_t firstFailure = 0;
    // Setup.exe itself; started from the layout folder it is already there.
    const std::wstring setupTarget = Join(folder, L"Setup.exe");
    const std::wstring setupSource = host.ExecutablePath();
    if (EqualsIgnoringAsciiCase(setupSource, setupTarget)) {
        LogFormat(kLayoutTag, L"Kept: %s", setupTarget);
    } else {
        uint32_t error = ClearFileName(files, setupTarget);
        if (error == 0) error = files.CopyNewFile(setupSource, setupTarget);
        if (error == 0) {
            LogFormat(kLayoutTag, L"Copied: %s", setupTarget);
        } else {
            LogFormat(kLayoutTag, L"Failed: %s (%x)", setupTarget, error);
            firstFailure = error;
        }
    }

    // Downloads go through this run's working folder, as in an installation.
    CBinaryResourceExtractor extractor(services.resources, services.files, services.downloader, services.verifier);
    extractor.localRedistFolder = redistFolder;
    LogFormat(kLayoutTag, L"LocalRedistPath: %s", redistFolder);
    for (const PrerequisiteInfo& prerequisite : EveryPrerequisite()) {
        const uint32_t result = LayoutPrerequisite(services, extractor, prerequisite, redist);
        if (result == 0) continue;
        LogFormat(kLayoutTag, L"Failed: %s (%x)", Join(redist, prerequisite.fileName), result);
        if (firstFailure == 0) firstFailure = result;
    }
    return firstFailure;
}
