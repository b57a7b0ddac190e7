// The controller's set-up: payloads, install state, installed version and the prerequisite plan.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/FakeEngine.h"

using namespace engine_fake;

namespace {

const std::string kWorkA = "C:\\Users\\J\xF6rg\\AppData\\Local\\Temp\\KELVARO Setup {00000000-0000-0000-0000-000000000001}\\";

// The files in the run's working folder but its marker.
size_t PayloadsIn(Machine& m)
{
    size_t count = 0;
    for (const std::wstring& file : m.files.FilesIn(m.WorkFolder()))
        if (file != m.WorkFolder() + L"\\Setup.running") ++count;
    return count;
}

TEST(ControllerSetup, ExtractsThePayloadsAndPicksThePackageForThisWindows)
{
    for (bool x64 : {true, false}) {
        Machine m;
        m.system.x64 = x64;
        CInstallController& c = m.Controller();
        const std::wstring work = m.WorkFolder() + L"\\";
        EXPECT_EQ(c.setupError, 0u);
        EXPECT_EQ(c.msiPath, m.MsiPath(x64));
        EXPECT_EQ(c.cleanToolPath, work + L"CleanupInstallation.exe");
        EXPECT_EQ(m.files.Content(m.MsiPath(false)), "msi x86");
        EXPECT_EQ(m.files.Content(m.MsiPath(true)), "msi x64");
        EXPECT_EQ(m.files.Content(work + L"CleanupInstallation.exe"), "clean tool");
        EXPECT_EQ(PayloadsIn(m), 3u) << "everything is in the working folder";
        EXPECT_TRUE(m.files.Has(m.WorkFolder() + L"\\Setup.running")) << "with the run's marker";
        EXPECT_EQ(c.productDisplayName, L"KELVARO VOV Client for Windows");
        EXPECT_EQ(c.installState, NotInstalled);
        EXPECT_EQ(c.installMode, 0u);
        EXPECT_FALSE(c.runAfterInstall);
        const std::vector<std::string> expected = {
            "Msi x86: " + kWorkA + "KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi",
            "Msi x64: " + kWorkA + "KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi",
            "Clean tool: " + kWorkA + "CleanupInstallation.exe",
            std::string("Is x64 windows: ") + (x64 ? "1" : "0"),
            "Installed .NET version: 70bf0, required: 70bf0",
            "Is required .NET Framework installed: 1",
            "Is required eDocPrintPro installed: 0",
            "Is required GhostScript installed: 0",
        };
        EXPECT_EQ(m.log.Texts("InstallController"), expected);
        m.controller.reset();
        EXPECT_EQ(m.files.FileCount(), 0u) << "the extracted files are deleted with the controller";
        EXPECT_FALSE(m.files.HasFolder(m.WorkFolder())) << "and so is the working folder";
    }
}

// A payload that cannot be written ends the set-up at once: nothing of it is used (no detection, no clean-up tool),
// and setupError holds the Windows error. The working folder goes all the same.
TEST(ControllerSetup, APayloadThatCannotBeWrittenEndsTheSetUpWithItsError)
{
    struct Case {
        const char* what;
        uint32_t privateFolderError;  // the working folder's creation
        const wchar_t* failing;       // the payload whose write fails, or null
        uint32_t error;
        size_t extracted;             // files written before the failure
    };
    const Case cases[] = {
        {"32-bit package", 0, L"KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi", 32, 0},
        {"64-bit package", 0, L"KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi", 112, 1},
        {"clean-up tool", 0, L"CleanupInstallation.exe", 5, 2},
        {"working folder", 5, nullptr, 5, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Machine m;
        m.Installed(kSameCode, L"6.7.3319");
        m.files.failPrivateFolder = k.privateFolderError;
        if (k.failing) m.files.failWrite[m.WorkFolder() + L"\\" + k.failing] = k.error;
        CInstallController& c = m.Controller();
        EXPECT_EQ(c.setupError, k.error);
        EXPECT_EQ(PayloadsIn(m), k.extracted);
        EXPECT_EQ(c.cleanToolPath, L"");
        EXPECT_EQ(c.installState, NotInstalled) << "the package is not opened";
        EXPECT_TRUE(m.msi.calls.empty());
        EXPECT_TRUE(m.log.Texts("InstallController").empty());
        m.controller.reset();
        EXPECT_EQ(m.files.FileCount(), 0u);
        EXPECT_FALSE(m.files.HasFolder(m.WorkFolder()));
    }
}

struct StateCase {
    const char* name;
    std::vector<std::pair<std::wstring, std::wstring>> installed;  // product code, version
    InstallState state;
    std::vector<std::wstring> codes;
    std::wstring version;
};

TEST(ControllerSetup, InstallStateProductCodesAndInstalledVersion)
{
    const StateCase cases[] = {
        {"nothing", {}, NotInstalled, {}, L""},
        {"lower", {{kLowerCode, L"6.6.2100"}}, LowerVersionInstalled, {kLowerCode}, L"6.6.2.100"},
        {"two lower", {{kLowerCode, L"6.6.2100"}, {L"{OLD}", L"6.5.1126"}}, LowerVersionInstalled,
         {kLowerCode, L"{OLD}"}, L"6.6.2.100"},
        {"same", {{kSameCode, L"6.7.3319"}}, SameVersionInstalled, {kSameCode}, L"6.7.3.319"},
        {"higher beside same", {{kSameCode, L"6.7.3319"}, {kHigherCode, L"6.8.1000"}}, HigherVersionInstalled,
         {kHigherCode}, L"6.8.1.0"},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        for (const auto& [code, version] : c.installed) m.Installed(code, version);
        CInstallController& controller = m.Controller();
        EXPECT_EQ(controller.installState, c.state);
        EXPECT_EQ(controller.relatedProductCodes, c.codes);
        EXPECT_EQ(controller.installedVersion, c.version);
        const auto lines = m.log.Texts("InstallController");
        const bool logged = std::find(lines.begin(), lines.end(),
                                      "Installed version: " + std::string(c.version.begin(), c.version.end())) !=
                            lines.end();
        EXPECT_EQ(logged, !c.version.empty());
    }
}

TEST(ControllerSetup, UnreadablePackageCountsAsUnreadable)
{
    Machine m;
    m.msi.packages.clear();
    EXPECT_EQ(m.Controller().installState, PackageUnreadable);
}

struct PlanCase {
    const char* name;
    bool x64;
    void (*prepare)(Machine&);
    bool dotNet, eDoc, ghostscript, legacy;
};

TEST(ControllerSetup, PrerequisitePlanFromTheRegistry)
{
    const PlanCase cases[] = {
        {".NET 461808 is enough", true, [](Machine& m) { m.DotNet(461808); }, true, false, false, false},
        {".NET 461807 is not", true, [](Machine& m) { m.DotNet(461807); }, false, false, false, false},
        {".NET key missing", true, [](Machine& m) { m.registry = FakeRegistry(); }, false, false, false, false},
        {".NET Release of the wrong type", true,
         [](Machine& m) { m.registry.SetString(kDotNetKey, L"Release", L"461808"); }, false, false, false, false},
        {"eDocPrintPro 4.1.0 on x64", true, [](Machine& m) { m.EDocPrintPro(0x04010000, true); }, true, true, true,
         false},
        {"eDocPrintPro 4.0.9 on x64", true, [](Machine& m) { m.EDocPrintPro(0x04000009, true); }, true, false, false,
         false},
        {"eDocPrintPro 4.0.9 plus PDF/A in any version", true,
         [](Machine& m) {
             m.EDocPrintPro(0x04000009, true);
             m.EDocPrintPro(0x01000000, true, L"eDocPrintPro PDF/A");
         },
         true, true, true, false},
        {"eDocPrintPro 4.0.2 on 32-bit Windows", false, [](Machine& m) { m.EDocPrintPro(0x04000002, true); }, true,
         true, true, false},
        {"eDocPrintPro without its utility", true, [](Machine& m) { m.EDocPrintPro(0x04010000, false); }, true, false,
         false, false},
        {"Ghostscript 9.50 on x64", true,
         [](Machine& m) {
             m.registry.SetString(L"HKLM\\SOFTWARE\\GPL Ghostscript\\9.50", L"GS_DLL", L"C:\\gs\\gsdll64.dll");
             m.files.AddFile(L"C:\\gs\\gsdll64.dll");
         },
         true, false, true, false},
        {"Ghostscript 9.50 is not the 32-bit requirement", false,
         [](Machine& m) {
             m.registry.SetString(L"HKLM\\SOFTWARE\\GPL Ghostscript\\9.50", L"GS_DLL", L"C:\\gs\\gsdll64.dll");
             m.files.AddFile(L"C:\\gs\\gsdll64.dll");
         },
         true, false, false, false},
        {"legacy Ghostscript 9.26", true,
         [](Machine& m) { m.UninstallEntry(L"GS926", L"GPL Ghostscript", L"9.26", L"C:\\gs\\uninstgs.exe"); }, true,
         false, false, true},
        {"Ghostscript 9.50 entry is not legacy on x64", true,
         [](Machine& m) { m.UninstallEntry(L"GS950", L"GPL Ghostscript", L"9.50", L"C:\\gs\\uninstgs.exe"); }, true,
         false, false, false},
        {"Ghostscript 9.26 is legacy for 9.27 on 32-bit", false,
         [](Machine& m) { m.UninstallEntry(L"GS926", L"GPL Ghostscript", L"9.26", L"C:\\gs\\uninstgs.exe"); }, true,
         false, false, true},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.system.x64 = c.x64;
        c.prepare(m);
        CInstallController& controller = m.Controller();
        EXPECT_EQ(controller.dotNetInstalled, c.dotNet);
        EXPECT_EQ(controller.needDotNet, !c.dotNet);
        EXPECT_EQ(controller.eDocPrintProInstalled, c.eDoc);
        EXPECT_EQ(controller.ghostscriptInstalled, c.ghostscript);
        EXPECT_EQ(controller.legacyGhostscriptFound, c.legacy);
        EXPECT_FALSE(controller.needGhostscript);
        EXPECT_FALSE(controller.needEDocPrintPro);
        EXPECT_FALSE(controller.offerLegacyGhostscriptRemoval);
    }
}

TEST(ControllerSetup, EDocPrintProVersionsAreLogged)
{
    Machine m;
    m.EDocPrintPro(0x04000009, true);
    m.EDocPrintPro(0x01020003, true, L"eDocPrintPro PDF/A");
    m.Controller();
    const auto lines = m.log.Texts("InstallController");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "eDocPrintPro installed version: 4.0.9. Installed 4000009, required: 4010000"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "eDocPrintPro PDF/A installed version: 1.2.3. Installed 1020003, required: 4010000"),
              lines.end());
}

// Numbers stored with another type or size are taken as 0, and the log says so: such a value is no mere
// absence. A missing value gives no such line.
TEST(ControllerSetup, NumbersOfTheWrongTypeAreTakenAsZeroAndLogged)
{
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;  // empty: no value
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"text", kRegSz, fake::Utf16(L"461808"),
         {".NET Release is not a 32-bit number (type 1, 14 bytes): taken as 0",
          "Installed .NET version: 0, required: 70bf0"}},
        {"binary of four bytes", kRegBinary, {0xf0, 0x0b, 0x07, 0x00},
         {".NET Release is not a 32-bit number (type 3, 4 bytes): taken as 0",
          "Installed .NET version: 0, required: 70bf0"}},
        {"64-bit number", 11, {0xf0, 0x0b, 0x07, 0, 0, 0, 0, 0},
         {".NET Release is not a 32-bit number (type 11, 8 bytes): taken as 0",
          "Installed .NET version: 0, required: 70bf0"}},
        {"short number", kRegDword, {0xf0, 0x0b},
         {".NET Release is not a 32-bit number (type 4, 2 bytes): taken as 0",
          "Installed .NET version: 0, required: 70bf0"}},
        {"missing", 0, {}, {"Installed .NET version: 0, required: 70bf0"}},
        {"number", kRegDword, {0xf0, 0x0b, 0x07, 0x00}, {"Installed .NET version: 70bf0, required: 70bf0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.registry = FakeRegistry();
        m.registry.AddKey(kDotNetKey);
        if (!c.data.empty()) m.registry.SetRaw(kDotNetKey, L"Release", c.type, c.data);
        CInstallController& controller = m.Controller();
        EXPECT_EQ(controller.dotNetInstalled, std::string(c.name) == "number");
        std::vector<std::string> lines;
        for (const std::string& line : m.log.Texts("InstallController")) {
            if (line.find(".NET") != std::string::npos) lines.push_back(line);
        }
        lines.erase(std::remove(lines.begin(), lines.end(), "Is required .NET Framework installed: 0"), lines.end());
        lines.erase(std::remove(lines.begin(), lines.end(), "Is required .NET Framework installed: 1"), lines.end());
        EXPECT_EQ(lines, c.lines);
    }

    // The "Version" of the eDocPrintPro entry: one byte of binary data.
    Machine m;
    m.EDocPrintPro(0, true);
    m.registry.SetRaw(kUninstall + L"\\eDocPrintPro", L"Version", kRegBinary, {0x04});
    EXPECT_FALSE(m.Controller().eDocPrintProInstalled);
    const std::vector<std::string> expected = {
        "C:\\eDoc\\", "Version of eDocPrintPro is not a 32-bit number (type 3, 1 bytes): taken as 0", "eDocPrintPro"};
    std::vector<std::string> lines = m.log.Texts("CInstallController");
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected);
}

struct FaxCase {
    const char* name;
    const wchar_t* addLocal;
    const wchar_t* remove;
    bool ghostscriptInstalled, eDocInstalled, legacyFound;
    bool needGhostscript, needEDoc, offerLegacy;
};

TEST(FeatureLists, TheFaxRuleDerivesThePrerequisites)
{
    const FaxCase cases[] = {
        {"fax, nothing present", L"MainFeature,FeatureFax", L"", false, false, true, true, true, true},
        {"fax, eDocPrintPro present", L"FeatureFax", L"", false, true, false, true, false, false},
        {"fax, all present", L"FeatureA,FeatureFax", L"", true, true, true, false, false, true},
        {"no fax", L"MainFeature", L"", false, false, true, false, false, false},
        {"fax only in REMOVE", L"MainFeature", L"FeatureFax", false, false, true, false, false, false},
        {"a name containing FeatureFax", L"FeatureFaxCover", L"", false, false, false, true, true, false},
        {"case matters", L"featurefax", L"", false, false, true, false, false, false},
    };
    for (const FaxCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        CInstallController& controller = m.Controller();
        controller.ghostscriptInstalled = c.ghostscriptInstalled;
        controller.eDocPrintProInstalled = c.eDocInstalled;
        controller.legacyGhostscriptFound = c.legacyFound;
        controller.needDotNet = true;
        m.NewTexts("InstallController");
        controller.SetFeatureLists(c.addLocal, c.remove);
        EXPECT_EQ(controller.addLocal, c.addLocal);
        EXPECT_EQ(controller.remove, c.remove);
        EXPECT_EQ(controller.needGhostscript, c.needGhostscript);
        EXPECT_EQ(controller.needEDocPrintPro, c.needEDoc);
        EXPECT_EQ(controller.offerLegacyGhostscriptRemoval, c.offerLegacy);
        EXPECT_TRUE(controller.needDotNet);
        const std::wstring line = L"addlocal: " + std::wstring(c.addLocal) + L", remove: " + c.remove;
        EXPECT_EQ(m.NewTexts("InstallController"), std::vector<std::string>{std::string(line.begin(), line.end())});
    }
}

TEST(FeatureLists, ReadFeaturesMarksInstalledFeaturesAndAppliesTheTransform)
{
    Machine m;
    m.msi.packages[m.MsiPath()].transforms[L"1031"].Change(L"Feature", L"FeatureFax", L"Title", L"Faxdrucker");
    FakeMsi::Product& same = m.Installed(kSameCode, L"6.7.3319");
    same.featureStates[L"MainFeature"] = 3;
    same.featureStates[L"FeatureSnomD7"] = 3;
    same.featureStates[L"FeatureFax"] = 2;  // absent
    same.featureStates[L"FeatureOutlook"] = 4;  // source
    CInstallController& c = m.Controller();
    m.NewTexts("InstallController");
    c.ReadFeatures(L"1031");

    std::vector<std::wstring> names, titles;
    std::vector<bool> installed;
    for (const FeatureInfo& f : c.features) {
        names.push_back(f.Feature);
        titles.push_back(f.Title);
        installed.push_back(f.installed);
    }
    const std::vector<std::wstring> expectedNames = {L"MainFeature", L"FeatureOutlookCalendar", L"FeatureOutlook",
                                                     L"FeatureFax", L"FeatureSnomD7", L"FeatureUnifiedCollaborationApi",
                                                     L"FeatureDiagnostics"};
    EXPECT_EQ(names, expectedNames);
    EXPECT_EQ(titles[3], L"Faxdrucker");
    EXPECT_EQ(installed, (std::vector<bool>{true, false, false, false, true, false, false}));
    EXPECT_TRUE(c.snomD7Installed);
    EXPECT_EQ(m.NewTexts("InstallController"),
              (std::vector<std::string>{"Installed feature: MainFeature", "Installed feature: FeatureSnomD7"}));
    EXPECT_EQ(m.msi.HandleProblems(), "");

    // Read again in English: the titles come back and the installed states are read anew.
    c.ReadFeatures(L"");
    EXPECT_EQ(c.features[3].Title, L"Fax Printer");
    EXPECT_EQ(c.features.size(), 7u);
}

TEST(FeatureLists, LyncIntegrationHidesTheUnifiedCommunicationFeatureUnlessInstalled)
{
    for (bool installed : {false, true}) {
        Machine m;
        m.registry.AddKey(L"HKCR\\Lync.UCOfficeIntegration");
        FakeMsi::Product& same = m.Installed(kSameCode, L"6.7.3319");
        if (installed) same.featureStates[L"FeatureUnifiedCollaborationApi"] = 3;
        CInstallController& c = m.Controller();
        c.ReadFeatures(L"1031");  // no such transform: the base language is read
        bool present = false;
        for (const FeatureInfo& f : c.features) present |= f.Feature == L"FeatureUnifiedCollaborationApi";
        EXPECT_EQ(present, installed);
        EXPECT_EQ(c.features.size(), installed ? 7u : 6u);
        const auto lines = m.log.Texts("InstallController");
        EXPECT_NE(std::find(lines.begin(), lines.end(), "UnifiedCommunicationApi is installed"), lines.end());
        EXPECT_EQ(m.registry.OpenHandles(), 0u);
    }
}

TEST(FeatureLists, UnreadablePackageLeavesNoFeaturesButStillQueriesStates)
{
    Machine m;
    m.Installed(kSameCode, L"6.7.3319").featureStates[L"FeatureSnomD7"] = 3;
    CInstallController& c = m.Controller();
    m.msi.packages.clear();
    c.ReadFeatures(L"");
    EXPECT_TRUE(c.features.empty());
    EXPECT_TRUE(c.snomD7Installed);
}

}  // namespace
