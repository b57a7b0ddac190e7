// The prerequisite installers the client may need: .NET Framework, Ghostscript and eDocPrintPro.
#include "engine/Prerequisites.h"

#include "system/PayloadExtractor.h"

const wchar_t* const kEDocPrintProQuietSwitches = L"/exenoui /exenoupdates /norestart /quiet";
const wchar_t* const kEDocPrintProBasicSwitches = L"/exebasicui /exenoupdates /norestart /passive";

std::wstring PrerequisiteDownloadUrl(const std::wstring& downloadFileName)
{
    return std::wstring(DownloadBaseUrl) + L"Windows/redist/" + downloadFileName;
}

PrerequisiteInfo DotNetPrerequisite()
{
    return {L".NET Framework 4.7.2", PrerequisiteDownloadUrl(L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe"),
            L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", L"/norestart /passive", DotNetFramework};
}

PrerequisiteInfo GhostscriptPrerequisite(bool isX64Windows)
{
    if (isX64Windows) {
        return {L"Ghostscript 9.50 for Windows (64 bit) AGPL Release", PrerequisiteDownloadUrl(L"gs950w64.exe"),
                L"gs950w64.exe", L"/S", Ghostscript};
    }
    return {L"Ghostscript 9.27 for Windows (32 bit) AGPL Release", PrerequisiteDownloadUrl(L"gs927w32.exe"),
            L"gs927w32.exe", L"/S", Ghostscript};
}

PrerequisiteInfo EDocPrintProPrerequisite(bool isX64Windows, const std::wstring& switches)
{
    if (isX64Windows) {
        return {L"eDocPrintPro v4.1.1 free", PrerequisiteDownloadUrl(L"eDocPrintPro_x64_v4.1.1.0.exe"),
                L"eDocPrintPro_x64.exe", switches, EDocPrintPro};
    }
    return {L"eDocPrintPro v4.0.2 free", PrerequisiteDownloadUrl(L"eDocPrintPro_v4.0.2.0.exe"), L"eDocPrintPro.exe",
            switches, EDocPrintPro};
}

uint32_t RequiredEDocPrintProVersion(bool isX64Windows) { return isX64Windows ? 0x04010000u : 0x04000002u; }

std::wstring RequiredGhostscriptVersion(bool isX64Windows) { return isX64Windows ? L"9.50" : L"9.27"; }
