// The working folders of runs and the removal of those left behind by runs that have ended.
#include "system/EarlierRuns.h"

#include "log/Log.h"

const wchar_t* const kWorkFolderPrefix = L"KELVARO Setup ";
const wchar_t* const kRunMarkerName = L"Setup.running";

namespace {

const wchar_t* const kTag = L"ResourceExtractor";

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
bool IsRegistryGuid(const std::wstring& text)
{
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !IsHexDigit(text[i])) return false;
    }
    return true;
}

}  // namespace

bool IsWorkFolderName(const std::wstring& name)
{
    const std::wstring prefix = kWorkFolderPrefix;
    return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           IsRegistryGuid(name.substr(prefix.size()));
}

bool BelongsToEndedRun(MarkerDeletion deletion) { return deletion == MarkerDeletion::Deleted; }

bool RemoveWorkFolder(IFileSystem& files, const std::wstring& folder)
{
    if (files.RemoveTree(folder)) return true;
    files.WriteNewFile(folder + L"\\" + kRunMarkerName, nullptr, 0);
    return false;
}

void RemoveFoldersOfEndedRuns(IFileSystem& files, const std::wstring& tempFolder)
{
    if (tempFolder.empty()) return;
    for (const std::wstring& name : files.ListFolders(tempFolder)) {
        if (!IsWorkFolderName(name)) continue;
        const std::wstring folder = tempFolder + name;
        // Nothing is deleted in a folder that someone without elevation could have made or could still change:
        // they could swap a folder in it for a link between the look and the deletion.
        if (!files.IsPrivateFolder(folder)) {
            LogFormat(kTag, L"Not a private folder, left alone: %s", folder);
            continue;
        }
        const std::wstring marker = folder + L"\\" + kRunMarkerName;
        if (!BelongsToEndedRun(files.DeleteMarker(marker))) continue;
        if (RemoveWorkFolder(files, folder)) {
            LogFormat(kTag, L"Removed working folder of an ended run: %s", folder);
            continue;
        }
        LogFormat(kTag, L"Working folder of an ended run not removed: %s", folder);
    }
}
