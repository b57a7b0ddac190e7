// Writes embedded payloads into a private working folder of this run inside the temporary folder, finds or
// downloads prerequisite installers, and removes every file it wrote or reused and the working folder when
// it is destroyed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/Downloader.h"
#include "system/FileSystem.h"
#include "system/Resources.h"

// Prefix of every prerequisite download address, e.g. "https://download.kelvaro.com/kelvaro/clients/".
// Set by the build (SETUP_DOWNLOAD_BASE_URL).
extern const wchar_t* const DownloadBaseUrl;

constexpr uint32_t kEFail = 0x80004005;  // E_FAIL

class CBinaryResourceExtractor {
public:
    CBinaryResourceExtractor(IResources& resources, IFileSystem& files, IDownloader& downloader);
    virtual ~CBinaryResourceExtractor();
    CBinaryResourceExtractor(const CBinaryResourceExtractor&) = delete;
    CBinaryResourceExtractor& operator=(const CBinaryResourceExtractor&) = delete;

    // Writes the resource of that type and id as a new file into the working folder and records it for deletion.
    // A missing resource gives an empty file. Returns the path; empty when the file could not be written
    // completely (extractError then holds the Windows error, and nothing of the file is left).
    std::wstring ExtractResource(const std::wstring& type, uint16_t id, const std::wstring& fileName);

    // Finds an installer in localRedistFolder, in the working folder, or downloads it there (three attempts).
    // Returns 0 and resultPath, or the HRESULT of the last attempt and errorText (string 170).
    uint32_t ObtainPayload(std::wstring& resultPath, std::wstring& errorText, const std::wstring& url,
                           const std::wstring& fileName, const std::wstring& displayName);

    std::wstring tempFolder;
    // "<tempFolder>KELVARO Setup {GUID}", created by this run for its files; empty when it could not be created.
    std::wstring workFolder;
    // The Windows error of the working folder's creation or of the first extraction that failed; 0 while none did.
    uint32_t extractError = 0;
    std::wstring localRedistFolder;
    std::vector<std::wstring> filesToDelete;
    uintptr_t parentWindow = 0;

private:
    void CreateWorkFolder();

    IResources& resources_;
    IFileSystem& files_;
    IDownloader& downloader_;
};
