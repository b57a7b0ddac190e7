// The working folders of runs and the removal of those left behind by runs that have ended.
#include "system/EarlierRuns.h"

const wchar_t* const kWorkFolderPrefix = L"KELVARO Setup ";
const wchar_t* const kRunMarkerName = L"Setup.running";

namespace {

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
bool IsRegistryGuid(const std::wstring& text)
{
    static const size_t kDashes[] = {9, 14, 19, 24};
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3];
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
