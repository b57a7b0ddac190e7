// The prerequisite installers the client may need: .NET Framework, Ghostscript and eDocPrintPro.
#pragma once

#include <cstdint>
#include <string>

enum PrerequisiteKind : uint32_t {
    NoPrerequisite = 0,
    DotNetFramework = 1,
    Ghostscript = 2,
    EDocPrintPro = 3,
};

struct PrerequisiteInfo {
    std::wstring displayName;
    std::wstring downloadUrl;
    std::wstring fileName;  // name in the local redistributables folder and in the cache
    std::wstring switches;
    PrerequisiteKind prerequisiteKind = NoPrerequisite;
};

// The download address of a prerequisite's file on the download server.
std::wstring PrerequisiteDownloadUrl(const std::wstring& downloadFileName);

PrerequisiteInfo DotNetPrerequisite();
PrerequisiteInfo GhostscriptPrerequisite(bool isX64Windows);
PrerequisiteInfo EDocPrintProPrerequisite(bool isX64Windows, const std::wstring& switches);

extern const wchar_t* const kEDocPrintProQuietSwitches;  // "/exenoui /exenoupdates /norestart /quiet"
extern const wchar_t* const kEDocPrintProBasicSwitches;  // "/exebasicui /exenoupdates /norestart /passive"

// Required versions by Windows: eDocPrintPro as a packed version, Ghostscript as its release text.
uint32_t RequiredEDocPrintProVersion(bool isX64Windows);
std::wstring RequiredGhostscriptVersion(bool isX64Windows);

// .NET Framework 4.7.2: the "Release" value of the NDP v4 Full key must reach this.
constexpr int32_t kDotNetReleaseRequired = 461808;
