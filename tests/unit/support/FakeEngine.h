// Everything a CInstallController needs, faked: the client's package with its Upgrade and Feature tables,
// the payloads, the string table, and an in-memory log. Build the machine's state first, then Controller().
#pragma once

#include <memory>

#include "engine/InstallController.h"
#include "resource.h"
#include "FakeEngineServices.h"
#include "FakeLogPlatform.h"

namespace engine_fake {

const std::wstring kUpgradeCode = L"{7EE5EC71-BCAE-4CF2-BE7C-3293248DF529}";
const std::wstring kLowerCode = L"{8FF40B9E-CFC3-4D78-83D4-1AA2288BEC90}";
const std::wstring kSameCode = L"{23EA6169-CCA9-4815-96BF-5AC4082FE794}";
const std::wstring kHigherCode = L"{BC77E1FC-63A4-456A-AADA-11209BEA66F4}";
const std::wstring kUninstall = L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kDotNetKey = L"HKLM\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";

inline FakeMsi::Table UpgradeTable()
{
    return FakeMsi::Table{{{L"UpgradeCode", L"s38"}, {L"VersionMin", L"S20"}, {L"VersionMax", L"S20"},
                           {L"Language", L"S255"}, {L"Attributes", L"i4"}, {L"Remove", L"S255"},
                           {L"ActionProperty", L"s72"}},
                          {{kUpgradeCode, L"6.7.3319", FakeMsi::Null(), FakeMsi::Null(), 2, FakeMsi::Null(),
                            L"NEWERVERSIONDETECTED"},
                           {kUpgradeCode, L"6.7.3319", L"6.7.3319", FakeMsi::Null(), 770, FakeMsi::Null(),
                            L"SAMEVERSIONDETECTED"},
                           {kUpgradeCode, L"0.0.0", L"6.7.3319", FakeMsi::Null(), 256, FakeMsi::Null(),
                            L"OLDERVERSIONBEINGUPGRADED"}}};
}

inline FakeMsi::Table FeatureTable()
{
    return FakeMsi::Table{
        {{L"Feature", L"s38"}, {L"Feature_Parent", L"S38"}, {L"Title", L"L64"}, {L"Description", L"L255"},
         {L"Display", L"I2"}, {L"Level", L"i2"}, {L"Directory_", L"S72"}, {L"Attributes", L"i2"}},
        {{L"MainFeature", FakeMsi::Null(), L"KELVARO VOV Client", L"The client.", 1, 1, L"INSTALLDIR", 16},
         {L"FeatureOutlookCalendar", L"FeatureOutlook", L"Calendar Synchronisation", FakeMsi::Null(), 2, 1,
          L"INSTALLDIR", 0},
         {L"FeatureOutlook", L"MainFeature", L"Outlook Integration", L"Outlook.", 3, 1, L"INSTALLDIR", 0},
         {L"FeatureFax", FakeMsi::Null(), L"Fax Printer", L"Faxes.", 4, 1, L"INSTALLDIR", 0},
         {L"FeatureSnomD7", FakeMsi::Null(), L"Snom D7 Phone Driver", L"Driver.", 5, 1, L"INSTALLDIR", 0},
         {L"FeatureUnifiedCollaborationApi", FakeMsi::Null(), L"Unified Communication API", L"Presence.", 6, 1,
          L"INSTALLDIR", 0},
         {L"FeatureDiagnostics", L"MainFeature", L"Diagnostic Tools", L"Support.", 7, 3, L"INSTALLDIR", 0}}};
}

struct Machine : FakeEngineServices {
    LogFixture log;
    std::unique_ptr<CInstallController> controller;

    Machine()
    {
        log.Initialize();
        resources.payloads[{L"BIN", 130}] = "msi x86";
        resources.payloads[{L"BIN", 131}] = "clean tool";
        resources.payloads[{L"BIN", 132}] = "msi x64";
        const std::pair<uint32_t, const wchar_t*> strings[] = {
            {IDS_JOB_DOWNLOADING, L"Downloading: %s"}, {IDS_JOB_INSTALLING, L"Installing: %s"},
            {IDS_JOB_REMOVING, L"Removing: %s"}, {IDS_JOB_MODIFYING, L"Modifying: %s"},
            {IDS_JOB_REPAIRING, L"Repairing: %s"}, {IDS_PRODUCT_NAME, L"KELVARO VOV Client for Windows"},
            {IDS_JOB_STARTING_SERVICE, L"Starting service: %s"}, {IDS_JOB_STOPPING_SERVICE, L"Stopping service: %s"},
            {IDS_PRINT_SPOOLER, L"Print Spooler"},
            {IDS_DOWNLOAD_FAILED, L"Could not download: \r\n%s \r\n\r\n%s"}};
        for (const auto& s : strings) resources.strings[s.first] = s.second;
        for (bool x64 : {false, true}) {
            FakeMsi::Package& package = msi.AddPackage(MsiPath(x64));
            package.tables[L"Upgrade"] = UpgradeTable();
            package.tables[L"Feature"] = FeatureTable();
        }
        DotNet(461808);
    }

    // The working folder the controller's extractor creates: the file fake's first GUID.
    std::wstring WorkFolder() const { return files.temp + L"KELVARO Setup {00000000-0000-0000-0000-000000000001}"; }
    std::wstring MsiPath(bool x64 = true) const { return WorkFolder() + L"\\" + PackageFileName(x64); }

    void DotNet(uint32_t release) { registry.SetDword(kDotNetKey, L"Release", release); }

    FakeMsi::Product& Installed(const std::wstring& code, const std::wstring& version)
    {
        return msi.AddProduct(code, kUpgradeCode, version);
    }

    void UninstallEntry(const std::wstring& subkey, const std::wstring& name, const std::wstring& version,
                        const std::wstring& uninstall)
    {
        registry.SetString(kUninstall + L"\\" + subkey, L"DisplayName", name);
        registry.SetString(kUninstall + L"\\" + subkey, L"DisplayVersion", version);
        registry.SetString(kUninstall + L"\\" + subkey, L"UninstallString", uninstall);
    }

    void EDocPrintPro(uint32_t packedVersion, bool utilityPresent, const std::wstring& displayName = L"eDocPrintPro")
    {
        registry.SetString(L"HKLM\\SOFTWARE\\MAYComputer\\eDocPrintPro", L"eDocPrintPro", L"C:\\eDoc\\");
        if (utilityPresent) files.AddFile(L"C:\\eDoc\\eDocPrintProUtil.exe");
        registry.SetString(kUninstall + L"\\" + displayName, L"DisplayName", displayName);
        registry.SetDword(kUninstall + L"\\" + displayName, L"Version", packedVersion);
    }

    CInstallController& Controller()
    {
        controller = std::make_unique<CInstallController>(engine);
        return *controller;
    }

    // The texts of the log lines with that tag written since the last call.
    std::vector<std::string> NewTexts(const std::string& tag)
    {
        std::vector<std::string> all = log.Texts(tag);
        std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(seen_[tag], all.size())), all.end());
        seen_[tag] = all.size();
        return fresh;
    }

private:
    std::map<std::string, size_t> seen_;
};

}  // namespace engine_fake
