// The command lines the install actions run, compared as whole strings.
#include <gtest/gtest.h>

#include "app/SetupRun.h"
#include "engine/InstallAction.h"
#include "engine/InstallController.h"

namespace {

const std::wstring kMsiexec = L"C:\\Windows\\system32\\msiexec.exe";

TEST(CommandLines, TheTwoReferenceExamples)
{
    MsiExecOptions install;
    install.addLocal = L"FeatureFax";
    install.runAfterInstall = true;
    EXPECT_EQ(MsiExecCommandLine(kMsiexec, L"/i", L"C:\\T\\p.msi", MsiExecOptionText(install),
                                 L"C:\\T\\KELVARO GmbH\\Setup\\logs\\DiDeraveInstall.log"),
              L"C:\\Windows\\system32\\msiexec.exe /i \"C:\\T\\p.msi\" /qn /promptrestart ADDLOCAL=FeatureFax "
              L"RUNAFTERINSTALL=1 /lvoicewarmupx \"C:\\T\\KELVARO GmbH\\Setup\\logs\\DiDeraveInstall.log\" ");

    MsiExecOptions removal;
    removal.quiet = true;
    removal.noRestart = true;
    EXPECT_EQ(MsiExecCommandLine(kMsiexec, L"/x", L"{product code}", MsiExecOptionText(removal),
                                 L"C:\\T\\KELVARO GmbH\\Setup\\logs\\DiDeraveUnInstall.log"),
              L"C:\\Windows\\system32\\msiexec.exe /x \"{product code}\" /quiet /norestart /lvoicewarmupx "
              L"\"C:\\T\\KELVARO GmbH\\Setup\\logs\\DiDeraveUnInstall.log\" ");
}

struct OptionCase {
    const char* name;
    MsiExecOptions options;
    const wchar_t* expected;
};

MsiExecOptions Options(const wchar_t* quietFlags, bool quiet, bool noRestart, const wchar_t* add, const wchar_t* remove,
                       const wchar_t* config, bool runAfter)
{
    MsiExecOptions o;
    o.quietFlags = quietFlags;
    o.quiet = quiet;
    o.noRestart = noRestart;
    o.addLocal = add;
    o.remove = remove;
    o.customConfigFiles = config;
    o.runAfterInstall = runAfter;
    return o;
}

TEST(CommandLines, OptionTextOverUiLevelRestartListsFolderAndRunAfterInstall)
{
    const OptionCase cases[] = {
        {"wizard default", Options(L"", false, false, L"", L"", L"", false), L"/qn /promptrestart"},
        {"quiet", Options(L"", true, false, L"", L"", L"", false), L"/quiet /promptrestart"},
        {"flags win over quiet", Options(L"qb", true, false, L"", L"", L"", false), L"/qb /promptrestart"},
        {"qn+ and noreboot", Options(L"qn+", false, true, L"", L"", L"", false), L"/qn+ /norestart"},
        {"all properties in order",
         Options(L"", false, false, L"MainFeature,FeatureFax", L"FeatureSnomD7", L"D:\\Cfg Files", true),
         L"/qn /promptrestart ADDLOCAL=MainFeature,FeatureFax REMOVE=FeatureSnomD7 "
         L"CUSTOMCONFIGFILES=\"D:\\Cfg Files\" RUNAFTERINSTALL=1"},
        {"only remove", Options(L"", false, true, L"", L"ALL", L"", false), L"/qn /norestart REMOVE=ALL"},
        {"only folder", Options(L"", false, false, L"", L"", L"C:\\Cfg", false),
         L"/qn /promptrestart CUSTOMCONFIGFILES=\"C:\\Cfg\""},
    };
    for (const OptionCase& c : cases) EXPECT_EQ(MsiExecOptionText(c.options), c.expected) << c.name;
}

TEST(CommandLines, LongLinesAreBuiltWholeNeverCut)
{
    MsiExecOptions o;
    o.addLocal = std::wstring(3000, L'F');
    const std::wstring line = MsiExecCommandLine(kMsiexec, L"/i", std::wstring(300, L'p'), MsiExecOptionText(o),
                                                 L"C:\\log.log");
    EXPECT_EQ(line.size(), kMsiexec.size() + 4 + 302 + 1 + 29 + 3000 + 15 + 12 + 1);
    EXPECT_EQ(line.substr(line.size() - 13), L"\"C:\\log.log\" ");
}

TEST(CommandLines, PrerequisiteAndCleanToolLines)
{
    EXPECT_EQ(PrerequisiteCommandLine(L"C:\\R\\gs950w64.exe", L"/S"), L"\"C:\\R\\gs950w64.exe\" /S ");
    EXPECT_EQ(PrerequisiteCommandLine(L"C:\\T\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe", L"/norestart /passive"),
              L"\"C:\\T\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe\" /norestart /passive ");
}

TEST(CommandLines, PackageNamesAndProductCodeLists)
{
    EXPECT_EQ(PackageFileName(false), L"KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi");
    EXPECT_EQ(PackageFileName(true), L"KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi");
    using List = std::vector<std::wstring>;
    EXPECT_EQ(SplitProductCodes(L""), List{});
    EXPECT_EQ(SplitProductCodes(L"{A}"), List{L"{A}"});
    EXPECT_EQ(SplitProductCodes(L"{A};{B}"), (List{L"{A}", L"{B}"}));
    EXPECT_EQ(SplitProductCodes(L"{A};"), List{L"{A}"});
    EXPECT_EQ(SplitProductCodes(L"{A};;{B}"), (List{L"{A}", L"", L"{B}"}));
    EXPECT_EQ(SplitProductCodes(L";{B}"), (List{L"", L"{B}"}));
}

struct UnattendedCase {
    const char* name;
    SetupOptions options;
    bool expected;
};

SetupOptions With(void (*change)(SetupOptions&))
{
    SetupOptions o;
    change(o);
    return o;
}

TEST(UnattendedDecision, WhichOptionsMakeARunUnattended)
{
    const UnattendedCase cases[] = {
        {"no options", SetupOptions(), false},
        {"/i", With([](SetupOptions& o) { o.install = true; }), true},
        {"/x", With([](SetupOptions& o) { o.uninstall = true; }), true},
        {"/passive", With([](SetupOptions& o) { o.passive = true; }), true},
        {"/quiet", With([](SetupOptions& o) { o.quiet = true; }), true},
        {"/qb", With([](SetupOptions& o) { o.quietFlags = L"qb"; }), true},
        {"ADDLOCAL", With([](SetupOptions& o) { o.addLocalFeatures = L"FeatureFax"; }), true},
        {"REMOVE", With([](SetupOptions& o) { o.removeFeatures = L"FeatureFax"; }), true},
        {"/noreboot", With([](SetupOptions& o) { o.noReboot = true; }), false},
        {"/runaftersetup", With([](SetupOptions& o) { o.runAfterSetup = true; }), false},
        {"/removeLegacyGS", With([](SetupOptions& o) { o.removeLegacyGS = true; }), false},
        {"folders only", With([](SetupOptions& o) { o.localRedistPath = o.customConfigFilesPath = L"C:\\x"; }), false},
    };
    for (const UnattendedCase& c : cases) EXPECT_EQ(IsUnattended(c.options), c.expected) << c.name;
}

}  // namespace
