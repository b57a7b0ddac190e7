// Writes embedded payloads into a private working folder inside the temporary folder, finds or downloads
// prerequisite installers and verifies them, and removes every file it wrote or reused and the folder when it
// is destroyed.
#include "system/PayloadExtractor.h"

#include "log/Log.h"
#include "system/EarlierRuns.h"
#include "resource.h"

#ifndef SETUP_DOWNLOAD_BASE_URL
#define SETUP_DOWNLOAD_BASE_URL L"https://download.kelvaro.com/kelvaro/clients/"
#endif

const wchar_t* const DownloadBaseUrl = SETUP_DOWNLOAD_BASE_URL;

namespace {

const wchar_t* const kTag = L"ResourceExtractor";
constexpr int kDownloadAttempts = 3;
// Names of the working folder tried before giving up; a taken name is a clash of random GUIDs or a name
// someone put there on purpose.
constexpr int kWorkFolderAttempts = 10;
constexpr uint32_t kErrorPathNotFound = 3;  // ERROR_PATH_NOT_FOUND

// The URL with a line break after every occurrence of the download server's prefix, so that an error
// text shows the server and the file's path on lines of their own.
std::wstring BreakAfterBaseUrl(const std::wstring& url)
{
    const std::wstring base = DownloadBaseUrl;
    std::wstring broken = url;
    if (base.empty()) return broken;
    size_t pos = 0;
    while ((pos = broken.find(base, pos)) != std::wstring::npos) {
        pos += base.size();
        broken.insert(pos, L"\r\n");
        pos += 2;
    }
    return broken;
}

}  // namespace

CBinaryResourceExtractor::CBinaryResourceExtractor(IResources& resources, IFileSystem& files, IDownloader& downloader,
                                                   CInstallerVerifier& verifier)
    : resources_(resources), files_(files), downloader_(downloader), verifier_(verifier)
{
    tempFolder = files_.TempFolder();
    LogFormat(kTag, L"Temp path: %s", tempFolder);
    try {
        RemoveFoldersOfEndedRuns(files_, tempFolder);
    } catch (...) {
        // What is left stays for a later start; this run goes on.
    }
    CreateWorkFolder();
}

void CBinaryResourceExtractor::CreateWorkFolder()
{
    // Without the temporary folder the name would be relative to whatever the current folder is.
    uint32_t error = kErrorPathNotFound;
    for (int attempt = 0; attempt < kWorkFolderAttempts && !tempFolder.empty(); ++attempt) {
        const std::wstring guid = files_.NewGuid();
        if (guid.empty()) {
            error = kEFail;
            break;
        }
        const std::wstring candidate = tempFolder + kWorkFolderPrefix + guid;
        error = files_.CreatePrivateFolder(candidate);
        if (error == 0) {
            workFolder = candidate;
            LogFormat(kTag, L"Working folder: %s", workFolder);
            // Held while this run lives, so that another start leaves the folder alone. Without it the folder
            // is left alone as well (a folder without a marker is never taken for an ended run's).
            files_.HoldMarker(workFolder + L"\\" + kRunMarkerName);
            return;
        }
        if (error != kErrorAlreadyExists) break;
    }
    extractError = error;
    LogFormat(kTag, L"Working folder failed: %x", error);
}

CBinaryResourceExtractor::~CBinaryResourceExtractor()
{
    for (const std::wstring& path : filesToDelete) {
        try {
            LogFormat(kTag, L"Delete: %s", path);
            files_.DeleteFile(path);  // a file that is gone already (or locked) stays as it is
        } catch (...) {
        }
    }
    if (workFolder.empty()) return;
    try {
        // Whatever else is in it (a partial download, an installer's leftovers) goes with the folder, the
        // marker too once it is no longer held.
        LogFormat(kTag, L"Delete: %s", workFolder);
        files_.ReleaseMarker();
        // Something may still hold the folder or a file in it (a process started from it that outlives its
        // installer, such as a crash reporter of a dying msiexec): then the next start removes it.
        if (!RemoveWorkFolder(files_, workFolder)) LogFormat(kTag, L"Working folder not removed: %s", workFolder);
    } catch (...) {
    }
}

std::wstring CBinaryResourceExtractor::ExtractResource(const std::wstring& type, uint16_t id,
                                                       const std::wstring& fileName)
{
    try {
        if (workFolder.empty()) return std::wstring();
        // The view points into the mapped executable: the bytes go to the file from there, without a copy.
        const PayloadView payload = resources_.FindPayload(type, id);
        const std::wstring path = workFolder + L"\\" + fileName;
        LogFormat(kTag, L"Extract: %s", path);
        const bool found = payload.found && payload.data != nullptr;
        // A missing payload leaves an empty file.
        const uint32_t error = files_.WriteNewFile(path, found ? payload.data : nullptr, found ? payload.size : 0);
        if (error != 0) {
            LogFormat(kTag, L"Extract failed: %x", error);
            if (extractError == 0) extractError = error;
            return std::wstring();
        }
        filesToDelete.push_back(path);
        return path;
    } catch (...) {
        if (extractError == 0) extractError = kEFail;
        return std::wstring();
    }
}

uint32_t CBinaryResourceExtractor::ObtainPayload(std::wstring& resultPath, std::wstring& errorText,
                                                 const std::wstring& url, const std::wstring& fileName,
                                                 const std::wstring& displayName, VerifiedFile& installer)
{
    try {
        installer.Close();
        // Without a configured folder there is no local source (a bare "\name" would search the drive's root).
        if (!localRedistFolder.empty()) {
            std::wstring localPath = localRedistFolder;
            if (localPath.back() != L'\\') localPath += L'\\';
            localPath += fileName;
            if (files_.FileExists(localPath)) {
                LogFormat(kTag, L"Local redist: %s", localPath);
                // The administrator's file stays where it is whatever the verification says.
                if (verifier_.Verify(localPath, fileName, installer) == 0) {
                    resultPath = localPath;
                    return 0;
                }
            }
        }

        // The working folder is the cache: only this run can have put a file there.
        if (workFolder.empty()) return extractError != 0 ? extractError : kEFail;
        const std::wstring cachePath = workFolder + L"\\" + fileName;
        uint32_t hr = kEFail;
        bool obtained = false;
        for (int attempt = 1; attempt <= kDownloadAttempts && !obtained; ++attempt) {
            if (files_.FileExists(cachePath)) {
                LogFormat(kTag, L"Already in cache: %s", cachePath);
                hr = verifier_.Verify(cachePath, fileName, installer);
            } else {
                LogFormat(kTag, L"Download: %s", url);
                DownloadReport report;
                hr = downloader_.Download(url, cachePath, parentWindow, report);
                if (report.stalled) LogFormat(kTag, L"Download stalled: no data for %u s", kDownloadStallSeconds);
                if (report.redirectLoop)
                    LogFormat(kTag, L"Download redirected more than %u times", kDownloadMaxRedirects);
                // A body shorter (or longer) than the server announced is a broken transfer, whatever the result
                // says: the connection closed early, and what arrived is not the installer.
                if (hr == 0 && report.announcedBytes != 0 && report.receivedBytes != report.announcedBytes) {
                    LogFormat(kTag, L"Download broken: %u bytes received, %u announced", report.receivedBytes,
                              report.announcedBytes);
                    hr = kInetEDownloadFailure;
                }
                if (hr == 0 && !files_.FileExists(cachePath)) {
                    LogFormat(kTag, L"Download failed: %s", cachePath);
                    hr = kEFail;
                } else if (hr == 0) {
                    hr = verifier_.Verify(cachePath, fileName, installer);
                }
            }
            if (hr == 0) {
                obtained = true;
                break;
            }
            LogFormat(kTag, L"Download failed: %x", hr);
            // A failed transfer may leave part of the file behind, and a copy that failed verification must not
            // run: neither may count as the cached installer in the next attempt nor stay in the working folder.
            DiscardCachedFile(cachePath);
        }

        if (!obtained) {
            const std::wstring brokenUrl = BreakAfterBaseUrl(url);
            LogFormat(kTag, L"Download failed: %x", hr);
            const std::wstring format = resources_.LoadString(IDS_DOWNLOAD_FAILED);
            errorText = FormatText(format.c_str(), {displayName, brokenUrl});
            return hr;
        }

        filesToDelete.push_back(cachePath);
        resultPath = cachePath;
        LogFormat(kTag, L"Local cached file: %s", cachePath);
        return 0;
    } catch (...) {
        installer.Close();
        return kEFail;
    }
}

void CBinaryResourceExtractor::DiscardCachedFile(const std::wstring& path)
{
    if (!files_.FileExists(path)) return;
    // A file that cannot be deleted now (another process holds it) is deleted with the others at the end.
    if (files_.DeleteFile(path)) return;
    for (const std::wstring& recorded : filesToDelete) {
        if (recorded == path) return;
    }
    filesToDelete.push_back(path);
}
