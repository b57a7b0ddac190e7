// Tests of the installed-software probes over one table of registry contents.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/InstalledSoftware.h"

namespace {

const std::wstring kUninstall = L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kGhostscript = L"HKLM\\SOFTWARE\\GPL Ghostscript";
const std::wstring kEDocKey = L"HKLM\\SOFTWARE\\MAYComputer\\eDocPrintPro";
const std::wstring kLongPath = L"C:\\" + std::wstring(252, L'p') + L".dll";  // 259 characters: 520 bytes with zero

// One row of the registry table: an uninstall entry (values left empty are not written).
struct UninstallRow {
    std::wstring subkey;
    std::wstring displayName;
    std::wstring displayVersion;
    std::wstring uninstallString;
};

const UninstallRow kUninstallRows[] = {
    {L"{9A1D2C3B-0926-0000-0000-000000000001}", L"GPL Ghostscript", L"9.26",
     L"C:\\Program Files\\gs\\gs9.26\\uninstgs.exe"},
    {L"{6A2B1C3D-0950-0000-0000-000000000002}", L"GPL Ghostscript MSI Distribution (64 bit) 9.50", L"9.50",
     L"MsiExec.exe /X{6A2B1C3D-0950-0000-0000-000000000002}"},
    {L"{7B3C2D4E-0952-0000-0000-000000000003}", L"gpl ghostscript msi distribution", L"9.52",
     L"MSIEXEC.EXE /I{7B3C2D4E-0952-0000-0000-000000000003}"},
    {L"gs9.5", L"gs_x64", L"9.5", L"\"C:\\gs\\gs9.5\\UNINSTGS.EXE\""},
    {L"gs9.53.3", L"GPL GHOSTSCRIPT", L"9.53.3", L"C:\\gs\\gs9.53.3\\uninstgs.exe"},
    {L"gsbeta", L"gs_x86", L"beta", L"C:\\gs\\remove.exe"},
    {L"gshuge", L"GPL Ghostscript", std::wstring(50, L'9'), L"C:\\gs\\huge\\uninstgs.exe"},
    {L"gsNamedWithVersion", L"GPL Ghostscript 9.27", L"9.27", L"C:\\gs\\gs9.27\\uninstgs.exe"},
    {L"gsNoUninstallString", L"GPL Ghostscript", L"9.10", L""},
    {L"gsNoDisplayVersion", L"GPL Ghostscript", L"", L"C:\\gs\\uninstgs.exe"},
    {std::wstring(200, L'L'), L"GPL Ghostscript", L"9.00", L"C:\\gs\\long\\uninstgs.exe"},
    {std::wstring(199, L'S'), L"GPL Ghostscript", L"9.01", L"C:\\gs\\short\\uninstgs.exe"},
    {L"{EDOC0001}", L"EDOCPRINTPRO", L"4.1.0", L"C:\\edoc\\uninstall.exe"},
    {L"{EDOC0002}", L"eDocPrintPro", L"5.0.0", L"C:\\edoc5\\uninstall.exe"},
    {L"{EDOCPDFA}", L"eDocPrintPro PDF/A", L"", L""},
    {L"{EDOCNOVER}", L"eDocPrintPro Mini", L"", L""},
    {L"Wine Gecko", L"Wine Gecko (64-bit)", L"2.47.3", L"msiexec /x {GECKO}"},
};

// The registry and files of every probe test: the uninstall entries above plus
//  - "{EDOC0001}" Version 0x04010000 and "{EDOC0002}" Version 0x05000000 (the first one wins);
//  - "{EDOCPDFA}" Version stored as the text "4.1.0" (wrong type: reads as 0);
//  - "{EDOCNOVER}" without Version; "numericName" whose DisplayName is a REG_DWORD (not text);
//  - Ghostscript entries "gsListVersion" with a REG_MULTI_SZ DisplayVersion and "gsBinaryCommand" with a
//    REG_BINARY UninstallString (both left out);
//  - Ghostscript release keys: 9.50 and 9.53 with existing DLLs (9.53's path fills the 520-byte buffer),
//    9.27 with a missing DLL, 9.26 with a GS_DLL of type REG_DWORD, 9.52 with a path one character
//    longer than the buffer, 9.54 with a REG_EXPAND_SZ path, 9.10 without GS_DLL.
class InstalledSoftwareTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log.Initialize();
        for (const UninstallRow& row : kUninstallRows) {
            const std::wstring key = kUninstall + L"\\" + row.subkey;
            registry.AddKey(key);
            if (!row.displayName.empty()) registry.SetString(key, L"DisplayName", row.displayName);
            if (!row.displayVersion.empty()) registry.SetString(key, L"DisplayVersion", row.displayVersion);
            if (!row.uninstallString.empty()) registry.SetString(key, L"UninstallString", row.uninstallString);
        }
        registry.SetDword(kUninstall + L"\\{EDOC0001}", L"Version", 0x04010000);
        registry.SetDword(kUninstall + L"\\{EDOC0002}", L"Version", 0x05000000);
        registry.SetString(kUninstall + L"\\{EDOCPDFA}", L"Version", L"4.1.0");
        registry.SetDword(kUninstall + L"\\numericName", L"DisplayName", 7);
        registry.SetString(kUninstall + L"\\gsListVersion", L"DisplayName", L"GPL Ghostscript");
        registry.SetRaw(kUninstall + L"\\gsListVersion", L"DisplayVersion", kRegMultiSz, fake::Utf16(L"9.10"));
        registry.SetString(kUninstall + L"\\gsListVersion", L"UninstallString", L"C:\\gs\\uninstgs.exe");
        registry.SetString(kUninstall + L"\\gsBinaryCommand", L"DisplayName", L"gs_x64");
        registry.SetString(kUninstall + L"\\gsBinaryCommand", L"DisplayVersion", L"9.10");
        registry.SetRaw(kUninstall + L"\\gsBinaryCommand", L"UninstallString", kRegBinary, {'C', ':'});

        registry.SetString(kGhostscript + L"\\9.50", L"GS_DLL", L"C:\\Program Files\\gs\\gs9.50\\bin\\gsdll64.dll");
        files.AddFile(L"C:\\Program Files\\gs\\gs9.50\\bin\\gsdll64.dll");
        registry.SetString(kGhostscript + L"\\9.53", L"GS_DLL", kLongPath);
        files.AddFile(kLongPath);
        registry.SetString(kGhostscript + L"\\9.27", L"GS_DLL", L"C:\\gone\\gsdll64.dll");
        registry.SetDword(kGhostscript + L"\\9.26", L"GS_DLL", 0x43);
        registry.SetString(kGhostscript + L"\\9.52", L"GS_DLL", kLongPath + L"x");
        files.AddFile(kLongPath + L"x");
        registry.SetRaw(kGhostscript + L"\\9.54", L"GS_DLL", kRegExpandSz, fake::Utf16(L"%ProgramFiles%\\gs\\gsdll64.dll"));
        files.AddFile(L"%ProgramFiles%\\gs\\gsdll64.dll");
        registry.AddKey(kGhostscript + L"\\9.10");
    }

    void TearDown() override { EXPECT_EQ(registry.OpenHandles(), 0u) << "every opened key is closed"; }

    LogFixture log;
    FakeRegistry registry;
    FakeFileSystem files;
};

TEST_F(InstalledSoftwareTest, GhostscriptReleaseNeedsAReadableStringPathToAnExistingFile)
{
    struct Case {
        const wchar_t* version;
        bool installed;
        std::string logged;  // the "Ghostscript path" line, "" when none
    };
    const std::string longPath = "C:\\" + std::string(252, 'p') + ".dll";
    const Case cases[] = {
        {L"9.50", true, "Ghostscript path: C:\\Program Files\\gs\\gs9.50\\bin\\gsdll64.dll"},
        {L"9.53", true, "Ghostscript path: " + longPath},        // exactly fills the buffer
        {L"9.27", false, "Ghostscript path: C:\\gone\\gsdll64.dll"},
        {L"9.26", false, ""},                                   // a number is no path
        {L"9.52", false, ""},                                   // too long: missing, not cut
        {L"9.54", true, "Ghostscript path: %ProgramFiles%\\gs\\gsdll64.dll"},  // read as stored
        {L"9.10", false, ""},                                   // no GS_DLL
        {L"9.99", false, ""},                                   // no key
    };
    for (const Case& c : cases) {
        LogFixture fresh;
        fresh.Initialize();
        EXPECT_EQ(IsGhostscriptInstalled(registry, files, c.version), c.installed) << std::string(c.version, c.version + 4);
        const std::vector<std::string> expected = c.logged.empty() ? std::vector<std::string>{}
                                                                   : std::vector<std::string>{c.logged};
        EXPECT_EQ(fresh.Texts("InstallController"), expected);
        EXPECT_TRUE(fresh.Texts("CInstallController").empty());
    }
}

TEST_F(InstalledSoftwareTest, EDocPrintProNeedsItsKeyAndItsUtility)
{
    // An uninstall entry alone does not count.
    EXPECT_FALSE(IsEDocPrintProInstalled(registry, files));
    EXPECT_TRUE(log.Entries().empty());

    registry.SetString(kEDocKey, L"eDocPrintPro", L"C:\\Program Files\\Common Files\\MAYComputer\\eDocPrintPro\\");
    EXPECT_FALSE(IsEDocPrintProInstalled(registry, files));
    files.AddFile(L"C:\\Program Files\\Common Files\\MAYComputer\\eDocPrintPro\\eDocPrintProUtil.exe");
    EXPECT_TRUE(IsEDocPrintProInstalled(registry, files));
    const std::vector<std::string> folderLines(2, "C:\\Program Files\\Common Files\\MAYComputer\\eDocPrintPro\\");
    EXPECT_EQ(log.Texts("CInstallController"), folderLines);

    // The file name is appended as it is: a folder without its backslash names another file.
    registry.SetString(kEDocKey, L"eDocPrintPro", L"C:\\Program Files\\Common Files\\MAYComputer\\eDocPrintPro");
    EXPECT_FALSE(IsEDocPrintProInstalled(registry, files));

    // Values that are not a usable path read as missing and log nothing.
    const std::vector<uint8_t> tooLong = fake::Utf16(std::wstring(260, L'e'));
    registry.SetRaw(kEDocKey, L"eDocPrintPro", kRegSz, tooLong);
    files.AddFile(std::wstring(260, L'e') + L"eDocPrintProUtil.exe");
    EXPECT_FALSE(IsEDocPrintProInstalled(registry, files));
    registry.SetRaw(kEDocKey, L"eDocPrintPro", kRegBinary, fake::Utf16(L"C:\\Program Files\\Common Files\\MAYComputer\\eDocPrintPro\\"));
    EXPECT_FALSE(IsEDocPrintProInstalled(registry, files));
    registry.SetString(kEDocKey, L"eDocPrintPro", L"");
    EXPECT_FALSE(IsEDocPrintProInstalled(registry, files));
    EXPECT_EQ(log.Texts("CInstallController").size(), 3u);
}

TEST_F(InstalledSoftwareTest, UninstallEntryVersionByDisplayName)
{
    struct Case {
        const wchar_t* name;
        bool found;
        uint32_t version;
        const char* text;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        // Letter case is ignored; the first entry in enumeration order wins over the later 5.0.0.
        {L"eDocPrintPro", true, 0x04010000, "4.1.0", {"EDOCPRINTPRO"}},
        // A "Version" of the wrong type reads as 0: the text is 0.0.0 and the answer false; the log says why.
        {L"eDocPrintPro PDF/A", false, 0, "0.0.0",
         {"eDocPrintPro PDF/A", "Version of eDocPrintPro PDF/A is not a 32-bit number (type 1, 12 bytes): taken as 0"}},
        {L"eDocPrintPro Mini", false, 0, "0.0.0", {"eDocPrintPro Mini"}},
        {L"Not Installed", false, 0, "", {}},
    };
    for (const Case& c : cases) {
        LogFixture fresh;
        fresh.Initialize();
        uint32_t version = 0xdeadbeef;
        std::wstring text = L"stale";
        EXPECT_EQ(FindUninstallEntryVersion(registry, c.name, version, text), c.found);
        EXPECT_EQ(version, c.version);
        EXPECT_EQ(text, std::wstring(c.text, c.text + std::char_traits<char>::length(c.text)));
        EXPECT_EQ(fresh.Texts("CInstallController"), c.logged);
    }
}

TEST_F(InstalledSoftwareTest, LegacyGhostscriptListFollowsTheNameAndUninstallRules)
{
    std::vector<LegacyGhostscriptEntry> entries;
    bool anyOlder = false;
    ASSERT_TRUE(CollectLegacyGhostscript(registry, L"9.50", entries, anyOlder));
    EXPECT_TRUE(anyOlder);

    struct Expected {
        std::wstring versionText, displayName, uninstallCommand, productCode;
        bool isOlder;
        float version;
    };
    const Expected expected[] = {
        {L"9.26", L"GPL Ghostscript v9.26", L"C:\\Program Files\\gs\\gs9.26\\uninstgs.exe /S", L"", true, 9.26f},
        {L"9.50", L"GPL Ghostscript MSI Distribution (64 bit) 9.50",
         L"MsiExec.exe /X{6A2B1C3D-0950-0000-0000-000000000002} /Q", L"{6A2B1C3D-0950-0000-0000-000000000002}", false,
         9.50f},
        {L"9.52", L"gpl ghostscript msi distribution v9.52",
         L"MSIEXEC.EXE /I{7B3C2D4E-0952-0000-0000-000000000003} /Q", L"{7B3C2D4E-0952-0000-0000-000000000003}", false,
         9.52f},
        {L"9.5", L"gs_x64 v9.5", L"\"C:\\gs\\gs9.5\\UNINSTGS.EXE\" /S", L"", false, 9.5f},
        {L"9.53.3", L"GPL GHOSTSCRIPT v9.53.3", L"C:\\gs\\gs9.53.3\\uninstgs.exe /S", L"", false, 9.53f},
        {L"beta", L"gs_x86", L"C:\\gs\\remove.exe", L"", false, 0.0f},
        {std::wstring(50, L'9'), L"GPL Ghostscript", L"C:\\gs\\huge\\uninstgs.exe /S", L"", false, 0.0f},
        {L"9.01", L"GPL Ghostscript v9.01", L"C:\\gs\\short\\uninstgs.exe /S", L"", true, 9.01f},
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].versionText, expected[i].versionText);
        EXPECT_EQ(entries[i].displayName, expected[i].displayName);
        EXPECT_EQ(entries[i].uninstallCommand, expected[i].uninstallCommand);
        EXPECT_EQ(entries[i].productCode, expected[i].productCode);
        EXPECT_EQ(entries[i].isOlder, expected[i].isOlder);
        EXPECT_FLOAT_EQ(entries[i].version, expected[i].version);
        EXPECT_EQ(entries[i].listIndex, -1);
    }
    // Values of the wrong type are no mere absence: the log names each one that kept an entry out.
    const std::vector<std::string> lines = {
        "Uninstall entry numericName: DisplayName is not text (type 4, 4 bytes), entry ignored",
        "Uninstall entry gsListVersion: DisplayVersion is not text (type 7, 10 bytes), entry ignored",
        "Uninstall entry gsBinaryCommand: UninstallString is not text (type 3, 2 bytes), entry ignored"};
    EXPECT_EQ(log.Texts("InstallController"), lines);
    EXPECT_EQ(log.Entries().size(), lines.size());
}

TEST_F(InstalledSoftwareTest, AnyOlderIsOnlyEverSetAndEntriesAreAppended)
{
    std::vector<LegacyGhostscriptEntry> entries(1);
    entries[0].displayName = L"kept";
    bool anyOlder = true;
    ASSERT_TRUE(CollectLegacyGhostscript(registry, L"9.00", entries, anyOlder));
    EXPECT_TRUE(anyOlder) << "not cleared although nothing is older than 9.00";
    EXPECT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[0].displayName, L"kept");

    entries.resize(1);
    anyOlder = false;
    ASSERT_TRUE(CollectLegacyGhostscript(registry, L"9.00", entries, anyOlder));
    EXPECT_FALSE(anyOlder);
    for (const auto& e : entries) EXPECT_FALSE(e.isOlder);

    // A required text that is no number makes nothing older.
    entries.clear();
    ASSERT_TRUE(CollectLegacyGhostscript(registry, L"latest", entries, anyOlder));
    EXPECT_FALSE(anyOlder);
    EXPECT_EQ(entries.size(), 8u);
}

TEST_F(InstalledSoftwareTest, RequiredVersionIsTheLeadingDecimalNumberOfItsText)
{
    // Entries in order: 9.26, 9.50, 9.52, 9.5, 9.53.3, beta, fifty nines, 9.01; the last three are never older.
    struct Case {
        std::wstring required;
        std::vector<bool> older;
    };
    const std::wstring tiny = L"0." + std::wstring(400, L'0') + L"1";
    const Case cases[] = {
        {L"9.53", {true, true, true, true, false, false, false, true}},  // 9.53.3 reads as 9.53, not older
        {L"9.5.", {true, false, false, false, false, false, false, true}},
        {L"\t 9.27 beta", {true, false, false, false, false, false, false, true}},
        {L"9.5000000000000000000000000001", {true, false, false, false, false, false, false, true}},
        {L"10", {true, true, true, true, true, false, false, true}},
        {L".5", {false, false, false, false, false, false, false, false}},
        {L"1" + std::wstring(400, L'0'), {false, false, false, false, false, false, false, false}},  // no float
        {tiny, {false, false, false, false, false, false, false, false}},  // below any double: no number
        {L"-10", {false, false, false, false, false, false, false, false}},
        {L"1e5", {false, false, false, false, false, false, false, false}},  // reads as 1
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        std::vector<LegacyGhostscriptEntry> entries;
        bool anyOlder = false;
        ASSERT_TRUE(CollectLegacyGhostscript(registry, c.required, entries, anyOlder));
        std::vector<bool> older;
        for (const auto& e : entries) older.push_back(e.isOlder);
        EXPECT_EQ(older, c.older);
        EXPECT_EQ(anyOlder, std::find(c.older.begin(), c.older.end(), true) != c.older.end());
    }
}

TEST_F(InstalledSoftwareTest, UnreadableKeysAnswerNotInstalled)
{
    registry.Fail(FakeRegistry::Op::Open, kUninstall, 5);
    std::vector<LegacyGhostscriptEntry> entries(1);
    bool anyOlder = false;
    EXPECT_FALSE(CollectLegacyGhostscript(registry, L"9.50", entries, anyOlder));
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_FALSE(anyOlder);
    uint32_t version = 1;
    std::wstring text = L"x";
    EXPECT_FALSE(FindUninstallEntryVersion(registry, L"eDocPrintPro", version, text));
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(text, L"");
}

TEST_F(InstalledSoftwareTest, EntriesThatCannotBeEnumeratedOrOpenedArePassedOver)
{
    // The first entry's index fails, the second entry cannot be opened: the rest is still listed.
    registry.Fail(FakeRegistry::Op::Enum, kUninstall, 259 + 1, L"0");
    registry.Fail(FakeRegistry::Op::Open, kUninstall + L"\\{6A2B1C3D-0950-0000-0000-000000000002}", 5);
    std::vector<LegacyGhostscriptEntry> entries;
    bool anyOlder = false;
    ASSERT_TRUE(CollectLegacyGhostscript(registry, L"9.50", entries, anyOlder));
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].versionText, L"9.52");

    // A key that fails at every index ends the walk instead of looping for ever.
    registry.Fail(FakeRegistry::Op::Enum, kUninstall, 5);
    entries.clear();
    EXPECT_TRUE(CollectLegacyGhostscript(registry, L"9.50", entries, anyOlder));
    EXPECT_TRUE(entries.empty());
    uint32_t version = 0;
    std::wstring text;
    EXPECT_FALSE(FindUninstallEntryVersion(registry, L"eDocPrintPro", version, text));
}

TEST(ReadRegistryString, ReadsTextUpToItsFirstZeroAndRejectsEverythingElse)
{
    const std::wstring key = L"HKLM\\SOFTWARE\\Values";
    FakeRegistry registry;
    registry.SetString(key, L"plain", L"GPL Ghostscript");
    registry.SetRaw(key, L"expand", kRegExpandSz, fake::Utf16(L"%TEMP%\\x"));
    std::vector<uint8_t> twoStrings = fake::Utf16(L"first");
    const std::vector<uint8_t> second = fake::Utf16(L"second");
    twoStrings.insert(twoStrings.end(), second.begin(), second.end());
    registry.SetRaw(key, L"embeddedZero", kRegSz, twoStrings);
    registry.SetRaw(key, L"unterminated", kRegSz, fake::Utf16(L"no end", false));
    registry.SetRaw(key, L"oddSize", kRegSz, {'a', 0, 'b', 0, 'c'});
    registry.SetRaw(key, L"sizeZero", kRegSz, {});
    registry.SetString(key, L"emptyText", L"");
    registry.SetDword(key, L"number", 9);
    registry.SetRaw(key, L"binary", kRegBinary, fake::Utf16(L"text"));
    registry.SetRaw(key, L"multi", kRegMultiSz, fake::Utf16(L"one"));
    registry.SetString(key, L"unicode", L"Jörg \u03a9");

    struct Case {
        const wchar_t* name;
        bool ok;
        std::wstring value;
    };
    const Case cases[] = {
        {L"plain", true, L"GPL Ghostscript"}, {L"PLAIN", true, L"GPL Ghostscript"},
        {L"expand", true, L"%TEMP%\\x"},      {L"embeddedZero", true, L"first"},
        {L"unterminated", true, L"no end"},   {L"oddSize", true, L"ab"},
        {L"sizeZero", false, L""},            {L"emptyText", false, L""},
        {L"number", false, L""},              {L"binary", false, L""},
        {L"multi", false, L""},               {L"missing", false, L""},
        {L"unicode", true, L"Jörg \u03a9"},
    };
    RegKey handle = 0;
    ASSERT_EQ(registry.OpenKey(kRegLocalMachine, L"SOFTWARE\\Values", false, handle), 0u);
    for (const Case& c : cases) {
        std::wstring value = L"untouched";
        EXPECT_EQ(ReadRegistryString(registry, handle, c.name, value), c.ok) << static_cast<int>(c.name[0]);
        EXPECT_EQ(value, c.ok ? c.value : L"untouched");
    }
    registry.CloseKey(handle);
}

}  // namespace
