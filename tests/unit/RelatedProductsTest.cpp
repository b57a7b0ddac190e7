// Tests of related-product detection: version parsing and display, the Upgrade table reader, the version-match
// rules, the accumulation per action property and the detection result, all through an in-memory msi.dll.
#include <gtest/gtest.h>

#include <algorithm>

#include "package/RelatedProducts.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeMsi.h"

namespace {

const wchar_t* const kPackage = L"C:\\Temp\\client.msi";
const wchar_t* const kUpgradeCode = L"{7EE5EC71-BCAE-4CF2-BE7C-3293248DF529}";
const wchar_t* const kOtherUpgradeCode = L"{00000000-1111-2222-3333-444444444444}";
const wchar_t* const kLower = L"{8FF40B9E-CFC3-4D78-83D4-1AA2288BEC90}";
const wchar_t* const kSame = L"{23EA6169-CCA9-4815-96BF-5AC4082FE794}";
const wchar_t* const kHigher = L"{BC77E1FC-63A4-456A-AADA-11209BEA66F4}";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string Describe(const VersionTriple& v)
{
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
}

std::string Describe(const std::vector<VersionTriple>& versions)
{
    std::string out;
    for (const VersionTriple& v : versions) {
        if (!out.empty()) out += ' ';
        out += Describe(v);
    }
    return out;
}

std::string Describe(const ActionPropertyMap& map)
{
    std::string out;
    for (const auto& [key, e] : map) {
        out += Narrow(key) + "{" + Narrow(e.name) + "=" + Narrow(e.value) + (e.changed ? ",changed" : "") + "} ";
    }
    return out;
}

// The Upgrade table's columns as Windows Installer reports their types.
std::vector<FakeMsi::Column> UpgradeColumns()
{
    return {{L"UpgradeCode", L"s38"}, {L"VersionMin", L"S20"}, {L"VersionMax", L"S20"}, {L"Language", L"S255"},
            {L"Attributes", L"i4"},   {L"Remove", L"S255"},    {L"ActionProperty", L"s72"}};
}

std::vector<FakeMsi::Cell> UpgradeRow(const std::wstring& min, const std::wstring& max, int attributes,
                                      const std::wstring& property, const std::wstring& code = kUpgradeCode)
{
    return {code,
            min.empty() ? FakeMsi::Null() : FakeMsi::Cell(min),
            max.empty() ? FakeMsi::Null() : FakeMsi::Cell(max),
            FakeMsi::Null(),
            attributes,
            FakeMsi::Null(),
            property};
}

// The Upgrade table of the client's 6.7.3319 package.
void AddClientPackage(FakeMsi& msi, const std::wstring& path = kPackage)
{
    msi.AddPackage(path).tables[L"Upgrade"] = FakeMsi::Table{
        UpgradeColumns(),
        {UpgradeRow(L"6.7.3319", L"", 2, L"NEWERVERSIONDETECTED"),
         UpgradeRow(L"6.7.3319", L"6.7.3319", 770, L"SAMEVERSIONDETECTED"),
         UpgradeRow(L"0.0.0", L"6.7.3319", 256, L"OLDERVERSIONBEINGUPGRADED")}};
}

struct Detection {
    InstallState state;
    std::wstring codes;
    std::vector<VersionTriple> versions;
};

Detection Detect(FakeMsi& msi, const std::wstring& path = kPackage)
{
    Detection d{NotInstalled, L"junk", {{9, 9, 9}}};
    d.state = DetectRelatedProducts(msi, path, d.codes, d.versions);
    return d;
}

// ---- ParseVersionTriple and FormatInstalledVersion ----

struct ParseCase {
    const wchar_t* text;
    VersionTriple expected;
};

TEST(ParseVersionTriple, PartsBetweenDots)
{
    const ParseCase cases[] = {
        {L"6.7.3319", {6, 7, 3319}},
        {L"6.7", {6, 7, 0}},
        {L"6", {6, 0, 0}},
        {L"6..7", {6, 7, 0}},
        {L"6. .7", {6, 0, 7}},
        {L"6.\t.7", {6, 0, 7}},
        {L"", {0, 0, 0}},
        {L".", {0, 0, 0}},
        {L"...", {0, 0, 0}},
        {L"1.2.3.4", {1, 2, 3}},
        {L"1.2.3.4.5", {1, 2, 3}},
        {L".6.7.8", {6, 7, 8}},
        {L"6.7.8.", {6, 7, 8}},
        {L"..6...7..8..", {6, 7, 8}},
        {L" 6 . 7 . 3319 ", {6, 7, 3319}},
        {L"\t6\r\n.7", {6, 7, 0}},
        {L"3a.7b.9c", {3, 7, 9}},
        {L"a.b.c", {0, 0, 0}},
        {L"v6.7.1", {0, 7, 1}},
        {L"6.x7.1", {6, 0, 1}},
        {L"-1.+2.-0", {-1, 2, 0}},
        {L"+.-.5", {0, 0, 5}},
        {L"--1.+-2.3", {0, 0, 3}},
        {L"6 7.8", {6, 8, 0}},
        {L"2147483647.2147483648.99999999999999999999", {2147483647, 2147483647, 2147483647}},
        {L"-2147483648.-2147483649.-99999999999999999999", {INT32_MIN, INT32_MIN, INT32_MIN}},
        {L"0006.007.0003319", {6, 7, 3319}},
        {L"6,7,3319", {6, 0, 0}},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(Describe(ParseVersionTriple(c.text)), Describe(c.expected)) << Narrow(c.text);
    }
}

TEST(VersionTriple, ComparesLexicographicallyAndAbsentMeansAllZero)
{
    const VersionTriple a{6, 7, 3319};
    EXPECT_TRUE(a == (VersionTriple{6, 7, 3319}));
    EXPECT_TRUE((VersionTriple{6, 6, 9999}) < a);
    EXPECT_TRUE((VersionTriple{5, 99, 99}) < a);
    EXPECT_TRUE(a < (VersionTriple{6, 7, 3320}));
    EXPECT_TRUE((VersionTriple{7, 0, 0}) > a);
    EXPECT_FALSE(a < a);
    EXPECT_FALSE(a > a);
    EXPECT_TRUE(a != (VersionTriple{6, 7, 0}));
    EXPECT_TRUE((VersionTriple{0, 0, 0}).Absent());
    EXPECT_FALSE((VersionTriple{0, 0, 1}).Absent());
    EXPECT_FALSE(a.Absent());
}

TEST(FormatInstalledVersion, BuildCarriesTheThirdAndFourthPart)
{
    const std::pair<VersionTriple, const wchar_t*> cases[] = {
        {{6, 7, 3319}, L"6.7.3.319"},
        {{6, 6, 2100}, L"6.6.2.100"},
        {{6, 8, 1000}, L"6.8.1.0"},
        {{6, 7, 0}, L"6.7.0.0"},
        {{1, 2, 999}, L"1.2.0.999"},
        {{10, 20, 123456}, L"10.20.123.456"},
        {{0, 0, 0}, L"0.0.0.0"},
    };
    for (const auto& [version, expected] : cases) {
        EXPECT_EQ(Narrow(FormatInstalledVersion(version)), Narrow(expected)) << Describe(version);
    }
}

// ---- Version-match rules ----

struct MatchCase {
    const wchar_t* min;
    const wchar_t* max;
    int attributes;
    const wchar_t* installed;
    const char* message;  // nullptr: no match
};

TEST(FindRelatedProducts, VersionMatchRules)
{
    const MatchCase cases[] = {
        // min and max given
        {L"6.7.3319", L"6.7.3319", 0x300, L"6.7.3319", "Version match: current == min == max"},
        {L"6.7.3319", L"6.7.3319", 0x100, L"6.7.3319", "Version match: current == min"},
        {L"6.7.3319", L"6.7.3319", 0x200, L"6.7.3319", "Version match: current == max"},
        {L"6.7.3319", L"6.7.3319", 0x000, L"6.7.3319", nullptr},
        {L"6.7.3319", L"6.7.3319", 0x302, L"6.7.3319", "Version match: current == min == max"},
        {L"6.0", L"7.0", 0x300, L"6.0", "Version match: current == min"},
        {L"6.0", L"7.0", 0x300, L"7.0", "Version match: current == max"},
        {L"6.0", L"7.0", 0x000, L"6.5.1", "Version match: min < current < max"},
        {L"6.0", L"7.0", 0x300, L"6.5.1", "Version match: min < current < max"},
        {L"6.0", L"7.0", 0x200, L"6.0", nullptr},
        {L"6.0", L"7.0", 0x100, L"7.0", nullptr},
        {L"6.0", L"7.0", 0x300, L"5.9.9999", nullptr},
        {L"6.0", L"7.0", 0x300, L"7.0.1", nullptr},
        {L"6.0", L"7.0", 0x0FF, L"6.0", nullptr},  // other bits are ignored
        // only min given
        {L"6.7.3319", L"", 0x100, L"6.7.3319", "Version match: current == min"},
        {L"6.7.3319", L"", 0x000, L"6.7.3319", nullptr},
        {L"6.7.3319", L"", 0x200, L"6.7.3319", nullptr},
        {L"6.7.3319", L"", 0x000, L"6.7.3320", "Version match: current > min"},
        {L"6.7.3319", L"", 0x100, L"6.8.1000", "Version match: current > min"},
        {L"6.7.3319", L"", 0x100, L"6.7.3318", nullptr},
        {L"6.7.3319", L"0.0.0", 0x002, L"7.0", "Version match: current > min"},
        // only max given (0.0.0 is no bound)
        {L"", L"6.7.3319", 0x200, L"6.7.3319", "Version match: current == max"},
        {L"", L"6.7.3319", 0x000, L"6.7.3319", nullptr},
        {L"0.0.0", L"6.7.3319", 0x100, L"6.7.3319", nullptr},
        {L"0.0.0", L"6.7.3319", 0x100, L"6.6.2100", "Version match: current < max"},
        {L"", L"6.7.3319", 0x000, L"0.0.1", "Version match: current < max"},
        {L"", L"6.7.3319", 0x200, L"6.8.1000", nullptr},
        // neither given
        {L"", L"", 0x000, L"6.7.3319", "Version match: detect any version"},
        {L"0.0.0", L"0", 0x300, L"1.0", "Version match: detect any version"},
        {L"", L"", 0x000, L"", "Version match: detect any version"},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.min) + L" .. " + c.max + L" attributes " + std::to_wstring(c.attributes) +
                            L" installed " + c.installed));
        FakeMsi msi;
        msi.AddProduct(kLower, kUpgradeCode, c.installed);
        UpgradeEntry entry;
        entry.UpgradeCode = kUpgradeCode;
        entry.VersionMin = c.min;
        entry.VersionMax = c.max;
        entry.minVersion = ParseVersionTriple(c.min);
        entry.maxVersion = ParseVersionTriple(c.max);
        entry.Attributes = c.attributes;
        entry.ActionProperty = L"PROP";
        ActionPropertyMap map;
        std::vector<VersionTriple> versions;
        DebugRecorder trace;

        EXPECT_EQ(FindRelatedProducts(msi, {entry}, map, versions), 0u);

        std::vector<std::string> expected = {
            "Looking for: " + Narrow(kUpgradeCode) + ", min: " + Narrow(c.min) + ", max: " + Narrow(c.max) +
                ", action property: PROP",
            "Found installed related product: " + Narrow(kLower),
            "Installed related product name: KELVARO VOV Client for Windows",
            "Installed related product version: " + Narrow(c.installed),
            "Installed related product language: 1033",
        };
        if (c.message) {
            expected.push_back(c.message);
            expected.push_back("Add new action property");
        }
        expected.push_back("Done");
        EXPECT_EQ(trace.lines, expected);
        if (c.message) {
            EXPECT_EQ(Describe(map), "PROP{PROP=" + Narrow(kLower) + ",changed} ");
            EXPECT_EQ(Describe(versions), Describe(ParseVersionTriple(c.installed)));
        } else {
            EXPECT_EQ(Describe(map), "");
            EXPECT_TRUE(versions.empty());
        }
    }
}

// ---- Accumulation per action property ----

UpgradeEntry Row(const std::wstring& min, const std::wstring& max, int attributes, const std::wstring& property,
                 const std::wstring& code = kUpgradeCode)
{
    UpgradeEntry e;
    e.UpgradeCode = code;
    e.VersionMin = min;
    e.VersionMax = max;
    e.minVersion = ParseVersionTriple(min);
    e.maxVersion = ParseVersionTriple(max);
    e.Attributes = attributes;
    e.ActionProperty = property;
    return e;
}

TEST(FindRelatedProducts, SameProductFoundByTwoRowsIsListedOnce)
{
    FakeMsi msi;
    msi.AddProduct(kLower, kUpgradeCode, L"6.6.2100");
    msi.AddProduct(L"{AAAAAAAA-0000-0000-0000-000000000001}", kOtherUpgradeCode, L"6.6.2100");
    ActionPropertyMap map;
    map[L"OLD"] = ActionPropertyEntry{L"OLD", L"", false};  // as the table reader leaves it
    std::vector<VersionTriple> versions;
    DebugRecorder trace;

    FindRelatedProducts(msi, {Row(L"", L"6.7.3319", 0, L"OLD"), Row(L"6.0", L"", 0, L"OLD")}, map, versions);

    EXPECT_EQ(Describe(map), "OLD{OLD=" + Narrow(kLower) + ",changed} ");
    EXPECT_EQ(Describe(versions), "6.6.2100 6.6.2100");
    std::vector<std::string> outcomes;
    for (const std::string& line : trace.lines) {
        if (line.rfind("Add", 0) == 0 || line.rfind("Existing", 0) == 0 || line.rfind("Version", 0) == 0)
            outcomes.push_back(line);
    }
    EXPECT_EQ(outcomes, (std::vector<std::string>{
                            "Version match: current < max", "Add product ID to existing action property",
                            "Version match: current > min",
                            "Existing prodcut already listed in action property -> ignore"}));
}

TEST(FindRelatedProducts, SeveralProductsAreJoinedWithSemicolons)
{
    FakeMsi msi;
    msi.AddProduct(kLower, kUpgradeCode, L"6.6.2100");
    msi.AddProduct(kSame, kUpgradeCode, L"6.5");
    msi.AddProduct(kHigher, kUpgradeCode, L"6.9");
    ActionPropertyMap map;
    std::vector<VersionTriple> versions;

    FindRelatedProducts(msi, {Row(L"", L"6.7.3319", 0, L"OLD")}, map, versions);

    EXPECT_EQ(Describe(map), "OLD{OLD=" + Narrow(kLower) + ";" + Narrow(kSame) + ",changed} ");
    EXPECT_EQ(Describe(versions), "6.6.2100 6.5.0");
    EXPECT_EQ(msi.calls, (std::vector<std::wstring>{
                             L"EnumRelatedProducts(" + std::wstring(kUpgradeCode) + L", 0)",
                             L"GetProductInfo(" + std::wstring(kLower) + L", InstalledProductName)",
                             L"GetProductInfo(" + std::wstring(kLower) + L", VersionString)",
                             L"GetProductInfo(" + std::wstring(kLower) + L", Language)",
                             L"EnumRelatedProducts(" + std::wstring(kUpgradeCode) + L", 1)",
                             L"GetProductInfo(" + std::wstring(kSame) + L", InstalledProductName)",
                             L"GetProductInfo(" + std::wstring(kSame) + L", VersionString)",
                             L"GetProductInfo(" + std::wstring(kSame) + L", Language)",
                             L"EnumRelatedProducts(" + std::wstring(kUpgradeCode) + L", 2)",
                             L"GetProductInfo(" + std::wstring(kHigher) + L", InstalledProductName)",
                             L"GetProductInfo(" + std::wstring(kHigher) + L", VersionString)",
                             L"GetProductInfo(" + std::wstring(kHigher) + L", Language)",
                             L"EnumRelatedProducts(" + std::wstring(kUpgradeCode) + L", 3)",
                         }));
}

TEST(FindRelatedProducts, NameAndLanguageThatCannotBeReadDoNotPreventTheMatch)
{
    FakeMsi msi;
    FakeMsi::Product& p = msi.AddProduct(kLower, kUpgradeCode, L"6.6.2100");
    p.info.erase(L"InstalledProductName");
    p.info.erase(L"Language");
    ActionPropertyMap map;
    std::vector<VersionTriple> versions;
    DebugRecorder trace;

    FindRelatedProducts(msi, {Row(L"", L"", 0, L"ANY")}, map, versions);

    EXPECT_EQ(trace.lines, (std::vector<std::string>{
                               "Looking for: " + Narrow(kUpgradeCode) + ", min: , max: , action property: ANY",
                               "Found installed related product: " + Narrow(kLower),
                               "Installed related product version: 6.6.2100",
                               "Could not get installed product language",
                               "Version match: detect any version",
                               "Add new action property",
                               "Done",
                           }));
    EXPECT_EQ(Describe(map), "ANY{ANY=" + Narrow(kLower) + ",changed} ");
}

// A product whose VersionString cannot be read counts as version 0.0.0.
TEST(FindRelatedProducts, UnreadableVersionMatchesAsZero)
{
    struct Case {
        UpgradeEntry row;
        const char* message;
    };
    const Case cases[] = {
        {Row(L"", L"", 0, L"P"), "Version match: detect any version"},
        {Row(L"", L"6.7.3319", 0, L"P"), "Version match: current < max"},
        {Row(L"6.7.3319", L"", 0x100, L"P"), nullptr},
        {Row(L"6.7.3319", L"6.7.3319", 0x300, L"P"), nullptr},
        {Row(L"0.0.1", L"7.0", 0x300, L"P"), nullptr},
        {Row(L"0.0.0", L"0.0.0", 0x300, L"P"), "Version match: detect any version"},
    };
    const std::wstring tooLong(100, L'6');  // does not fit the 100-character buffer
    for (int unreadable = 0; unreadable < 3; ++unreadable) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(unreadable) + " " + Narrow(c.row.VersionMin + L".." + c.row.VersionMax));
            FakeMsi msi;
            FakeMsi::Product& p = msi.AddProduct(kLower, kUpgradeCode, L"6.7.3319");
            if (unreadable == 0) p.info.erase(L"VersionString");
            if (unreadable == 1) p.info[L"VersionString"] = tooLong;
            if (unreadable == 2) msi.Fail(FakeMsi::Op::GetProductInfo, 1605, 0, L"VersionString");
            ActionPropertyMap map;
            std::vector<VersionTriple> versions;
            DebugRecorder trace;

            FindRelatedProducts(msi, {c.row}, map, versions);

            std::vector<std::string> expected = {
                "Looking for: " + Narrow(kUpgradeCode) + ", min: " + Narrow(c.row.VersionMin) +
                    ", max: " + Narrow(c.row.VersionMax) + ", action property: P",
                "Found installed related product: " + Narrow(kLower),
                "Installed related product name: KELVARO VOV Client for Windows",
                "Installed related product language: 1033",
            };
            if (c.message) {
                expected.push_back(c.message);
                expected.push_back("Add new action property");
            }
            expected.push_back("Done");
            EXPECT_EQ(trace.lines, expected);
            EXPECT_EQ(Describe(versions), c.message ? "0.0.0" : "");
        }
    }
}

// ---- The Upgrade table ----

TEST(GetUpgradeTableEntries, ReadsEveryRowAndAddsEachPropertyOnce)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{
        UpgradeColumns(),
        {UpgradeRow(L"6.7.3319", L"", 2, L"NEWERVERSIONDETECTED"),
         UpgradeRow(L"1.0", L"2.0", 0x300, L"OLD", kOtherUpgradeCode),
         UpgradeRow(L"", L"6.7.3319", 256, L"OLD")}};
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    std::vector<UpgradeEntry> entries;
    ActionPropertyMap map;

    EXPECT_EQ(GetUpgradeTableEntries(msi, db, entries, map), 0u);
    msi.CloseHandle(db);

    ASSERT_EQ(entries.size(), 3u);
    std::vector<std::string> rows;
    for (const UpgradeEntry& e : entries) {
        rows.push_back(Narrow(e.UpgradeCode + L"|" + e.VersionMin + L"|" + e.VersionMax + L"|" +
                              std::to_wstring(e.Attributes) + L"|" + e.ActionProperty + L"|" + e.propertyValue) +
                       "|" + Describe(e.minVersion) + "|" + Describe(e.maxVersion));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        Narrow(kUpgradeCode) + "|6.7.3319||2|NEWERVERSIONDETECTED||6.7.3319|0.0.0",
                        Narrow(kOtherUpgradeCode) + "|1.0|2.0|768|OLD||1.0.0|2.0.0",
                        Narrow(kUpgradeCode) + "||6.7.3319|256|OLD||0.0.0|6.7.3319",
                    }));
    EXPECT_EQ(Describe(map), "NEWERVERSIONDETECTED{NEWERVERSIONDETECTED=} OLD{OLD=} ");
    EXPECT_EQ(msi.viewsClosed, 1);
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetUpgradeTableEntries, FirstUsableColumnOfANameWins)
{
    FakeMsi msi;
    std::vector<FakeMsi::Column> columns = UpgradeColumns();
    columns.insert(columns.begin() + 1, {L"ActionProperty", L"i2"});  // wrong type: passed over
    columns.push_back({L"UpgradeCode", L"s38"});
    columns.push_back({L"ActionProperty", L"s72"});
    std::vector<FakeMsi::Cell> row = UpgradeRow(L"", L"", 0, L"FIRST");
    row.insert(row.begin() + 1, 5);
    row.push_back(kOtherUpgradeCode);
    row.push_back(L"SECOND");
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{columns, {row}};
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    std::vector<UpgradeEntry> entries;
    ActionPropertyMap map;

    GetUpgradeTableEntries(msi, db, entries, map);
    msi.CloseHandle(db);

    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Narrow(entries[0].UpgradeCode), Narrow(kUpgradeCode));
    EXPECT_EQ(Narrow(entries[0].ActionProperty), "FIRST");
}

TEST(GetUpgradeTableEntries, KeepsAPropertyThatIsAlreadyInTheMap)
{
    FakeMsi msi;
    AddClientPackage(msi);
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    std::vector<UpgradeEntry> entries;
    ActionPropertyMap map;
    map[L"SAMEVERSIONDETECTED"] = ActionPropertyEntry{L"SAMEVERSIONDETECTED", L"{X}", true};
    DebugRecorder trace;

    GetUpgradeTableEntries(msi, db, entries, map);
    msi.CloseHandle(db);

    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(Describe(map), "NEWERVERSIONDETECTED{NEWERVERSIONDETECTED=} OLDERVERSIONBEINGUPGRADED{"
                             "OLDERVERSIONBEINGUPGRADED=} SAMEVERSIONDETECTED{SAMEVERSIONDETECTED={X},changed} ");
    int adds = 0;
    for (const std::string& line : trace.lines) adds += line.rfind("Add to property map: ", 0) == 0;
    EXPECT_EQ(adds, 2);
}

// Column lists that lack a usable required column: nothing is read, and the detection answers 0.
TEST(GetUpgradeTableEntries, MissingOrMistypedRequiredColumnGivesNoEntries)
{
    struct Case {
        const char* what;
        int column;  // index into UpgradeColumns()
        const wchar_t* name;
        const wchar_t* type;
    };
    const Case cases[] = {
        {"UpgradeCode renamed", 0, L"UpgradeCodes", L"s38"},
        {"UpgradeCode lower case", 0, L"upgradecode", L"s38"},
        {"UpgradeCode integer", 0, L"UpgradeCode", L"i4"},
        {"VersionMin stream", 1, L"VersionMin", L"v0"},
        {"VersionMax other", 2, L"VersionMax", L"x20"},
        {"VersionMax no type", 2, L"VersionMax", L""},
        {"Attributes string", 4, L"Attributes", L"s4"},
        {"Attributes localizable", 4, L"Attributes", L"L4"},
        {"Attributes renamed", 4, L"Attribute", L"i4"},
        {"ActionProperty missing", 6, L"Action Property", L"s72"},
        {"ActionProperty integer", 6, L"ActionProperty", L"I2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMsi msi;
        AddClientPackage(msi);
        FakeMsi::Table& table = msi.packages[kPackage].tables[L"Upgrade"];
        table.columns[c.column] = {c.name, c.type};
        msi.AddProduct(kHigher, kUpgradeCode, L"6.8.1000");
        DebugRecorder trace;

        const Detection d = Detect(msi);

        EXPECT_EQ(d.state, NotInstalled);
        EXPECT_EQ(Narrow(d.codes), "");
        EXPECT_TRUE(d.versions.empty());
        EXPECT_EQ(trace.lines.back(), "Done");  // of FindRelatedProducts, which has nothing to look for
        EXPECT_EQ(std::count(trace.lines.begin(), trace.lines.end(), std::string("Done")), 1);
        EXPECT_EQ(msi.HandleProblems(), "");
    }
}

TEST(GetUpgradeTableEntries, TypeLettersOfAnyCaseAndExtraColumnsAreAccepted)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{
        {{L"Extra", L"v0"}, {L"ActionProperty", L"S72"}, {L"Attributes", L"I4"}, {L"VersionMax", L"L20"},
         {L"VersionMin", L"l20"}, {L"UpgradeCode", L"S38"}},
        {{FakeMsi::Null(), L"NEWERVERSIONDETECTED", 0, FakeMsi::Null(), L"6.7.3319", kUpgradeCode}}};
    msi.AddProduct(kHigher, kUpgradeCode, L"6.8.1000");
    DebugRecorder trace;

    const Detection d = Detect(msi);

    EXPECT_EQ(d.state, HigherVersionInstalled);
    EXPECT_EQ(Narrow(d.codes), Narrow(kHigher));
    std::vector<std::string> columnLines;
    for (const std::string& line : trace.lines) {
        if (line.rfind("Column", 0) == 0) columnLines.push_back(line);
    }
    EXPECT_EQ(columnLines, (std::vector<std::string>{
                               "Column count: 6", "Column name: Extra, type: 2", "Column name: ActionProperty, type: 0",
                               "Column name: Attributes, type: 1", "Column name: VersionMax, type: 0",
                               "Column name: VersionMin, type: 0", "Column name: UpgradeCode, type: 0"}));
}

TEST(GetUpgradeTableEntries, CellsOf250CharactersOrMoreReadAsEmpty)
{
    const std::wstring fits = L"6.7." + std::wstring(245, L'1');  // 249 characters
    const std::wstring tooLong = fits + L"1";                        // 250 characters
    const std::wstring longProperty(250, L'P');
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{
        UpgradeColumns(),
        {UpgradeRow(fits, tooLong, 0, L"FITS"), UpgradeRow(tooLong, fits, 0, longProperty),
         UpgradeRow(L"1", L"2", 0, L"CODE", std::wstring(250, L'{'))}};
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    std::vector<UpgradeEntry> entries;
    ActionPropertyMap map;

    GetUpgradeTableEntries(msi, db, entries, map);
    msi.CloseHandle(db);

    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].VersionMin, fits);
    EXPECT_EQ(Describe(entries[0].minVersion), "6.7.2147483647");
    EXPECT_EQ(entries[0].VersionMax, L"");
    EXPECT_TRUE(entries[0].maxVersion.Absent());
    EXPECT_EQ(entries[1].VersionMin, L"");
    EXPECT_EQ(entries[1].ActionProperty, L"");
    EXPECT_EQ(entries[2].UpgradeCode, L"");
    EXPECT_EQ(Describe(map), "{=} CODE{CODE=} FITS{FITS=} ");
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetUpgradeTableEntries, NullAttributesKeepNoInclusivenessBits)
{
    FakeMsi msi;
    AddClientPackage(msi);
    msi.packages[kPackage].tables[L"Upgrade"].rows = {UpgradeRow(L"6.7.3319", L"6.7.3319", 0, L"SAME")};
    msi.packages[kPackage].tables[L"Upgrade"].rows[0][4] = FakeMsi::Null();
    msi.AddProduct(kSame, kUpgradeCode, L"6.7.3319");

    const Detection d = Detect(msi);

    EXPECT_EQ(d.state, NotInstalled);  // min == max == current, but neither bound is inclusive
    EXPECT_EQ(msi.HandleProblems(), "");
}

// Every step that can fail ends the reading quietly, closes what it opened and leaves the detection at 0.
TEST(GetUpgradeTableEntries, FailuresEndTheReadingWithEveryHandleClosed)
{
    struct Case {
        FakeMsi::Op op;
        int succeedFirst;
        const char* lastTrace;  // the last line GetUpgradeTableEntries writes
        size_t entries;
    };
    const Case cases[] = {
        {FakeMsi::Op::OpenView, 0, "Get upgrade table", 0},
        {FakeMsi::Op::ViewExecute, 0, "Execute upgrade table view", 0},
        {FakeMsi::Op::ViewGetColumnInfo, 0, "Get column names", 0},
        {FakeMsi::Op::ViewGetColumnInfo, 1, "Get column types", 0},
        {FakeMsi::Op::RecordGetString, 0, "Column count: 7", 0},  // the first column name
        {FakeMsi::Op::RecordGetString, 6, "Column count: 7", 0},  // the last column name
        {FakeMsi::Op::ViewFetch, 0, "Done", 0},
        {FakeMsi::Op::ViewFetch, 2, "Done", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.op)) + "/" + std::to_string(c.succeedFirst));
        FakeMsi msi;
        AddClientPackage(msi);
        msi.Fail(c.op, 1627, c.succeedFirst);
        MsiHandle db = 0;
        ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
        std::vector<UpgradeEntry> entries;
        ActionPropertyMap map;
        DebugRecorder trace;

        EXPECT_EQ(GetUpgradeTableEntries(msi, db, entries, map), 0u);
        msi.CloseHandle(db);

        EXPECT_EQ(trace.lines.back(), c.lastTrace);
        EXPECT_EQ(entries.size(), c.entries);
        EXPECT_EQ(map.size(), c.entries);
        EXPECT_EQ(msi.HandleProblems(), "");
    }
}

TEST(GetUpgradeTableEntries, ColumnTypesThatCannotBeReadLeaveTheColumnsUnusable)
{
    FakeMsi msi;
    AddClientPackage(msi);
    msi.Fail(FakeMsi::Op::RecordGetString, 1627, 7);  // the seven names succeed, every type fails
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    std::vector<UpgradeEntry> entries;
    ActionPropertyMap map;
    DebugRecorder trace;

    GetUpgradeTableEntries(msi, db, entries, map);
    msi.CloseHandle(db);

    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(trace.lines.back(), "Column name: ActionProperty, type: 3");
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetUpgradeTableEntries, NoDatabaseStopsAfterTheFirstTraces)
{
    FakeMsi msi;
    std::vector<UpgradeEntry> entries;
    ActionPropertyMap map;
    DebugRecorder trace;

    EXPECT_EQ(GetUpgradeTableEntries(msi, 0, entries, map), 0u);

    EXPECT_EQ(trace.lines, (std::vector<std::string>{"GetUpgradeTableEntries", "Get active database"}));
    EXPECT_TRUE(msi.calls.empty());
}

// ---- Detection ----

struct DetectCase {
    const char* what;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> installed;  // product code, version
    InstallState state;
    std::wstring codes;
    const char* versions;
};

TEST(DetectRelatedProducts, ResultsForTheClientPackage)
{
    const std::wstring other = L"{DADCA83E-18BF-46F2-A08D-32467CD329C7}";
    const DetectCase cases[] = {
        {"nothing installed", {}, NotInstalled, L"", ""},
        {"lower", {{kLower, L"6.6.2100"}}, LowerVersionInstalled, kLower, "6.6.2100"},
        {"two lower", {{kLower, L"6.6.2100"}, {other.c_str(), L"5.0"}}, LowerVersionInstalled,
         std::wstring(kLower) + L";" + other, "6.6.2100 5.0.0"},
        {"same", {{kSame, L"6.7.3319"}}, SameVersionInstalled, kSame, "6.7.3319"},
        {"higher", {{kHigher, L"6.8.1000"}}, HigherVersionInstalled, kHigher, "6.8.1000"},
        {"lower and same", {{kLower, L"6.6.2100"}, {kSame, L"6.7.3319"}}, SameVersionInstalled, kSame,
         "6.7.3319 6.6.2100"},
        {"newer wins over same and lower", {{kSame, L"6.7.3319"}, {kHigher, L"6.8.1000"}, {kLower, L"6.6.2100"}},
         HigherVersionInstalled, kHigher, "6.8.1000 6.7.3319 6.6.2100"},
        {"two newer", {{kHigher, L"6.8.1000"}, {other.c_str(), L"7.0"}}, HigherVersionInstalled,
         std::wstring(kHigher) + L";" + other, "6.8.1000 7.0.0"},
        {"same build, other minor", {{kLower, L"6.6.3319"}}, LowerVersionInstalled, kLower, "6.6.3319"},
    };
    for (const DetectCase& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMsi msi;
        AddClientPackage(msi);
        for (const auto& [code, version] : c.installed) msi.AddProduct(code, kUpgradeCode, version);
        msi.AddProduct(L"{99999999-0000-0000-0000-000000000000}", kOtherUpgradeCode, L"6.7.3319");

        const Detection d = Detect(msi);

        EXPECT_EQ(d.state, c.state);
        EXPECT_EQ(Narrow(d.codes), Narrow(c.codes));
        EXPECT_EQ(Describe(d.versions), c.versions);
        EXPECT_EQ(msi.HandleProblems(), "");
    }
}

TEST(DetectRelatedProducts, OtherPropertiesAreJoinedInKeyOrder)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{
        UpgradeColumns(),
        {UpgradeRow(L"", L"", 0, L"ZETA", kOtherUpgradeCode), UpgradeRow(L"", L"", 0, L"alpha"),
         UpgradeRow(L"", L"", 0, L"EMPTY", L"{NO-SUCH-CODE}"), UpgradeRow(L"", L"", 0, L"BETA", kOtherUpgradeCode)}};
    msi.AddProduct(kLower, kUpgradeCode, L"6.6.2100");
    msi.AddProduct(kSame, kOtherUpgradeCode, L"1.0");

    const Detection d = Detect(msi);

    // Key order is ordinal: upper-case "BETA" and "ZETA" sort before "alpha"; EMPTY found nothing.
    EXPECT_EQ(d.state, LowerVersionInstalled);
    EXPECT_EQ(Narrow(d.codes), Narrow(std::wstring(kSame) + L";" + kSame + L";" + kLower));
    EXPECT_EQ(Describe(d.versions), "1.0.0 6.6.2100 1.0.0");
}

TEST(DetectRelatedProducts, NewerAndSameBothFilledGivesOnlyTheNewerCodes)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{
        UpgradeColumns(),
        {UpgradeRow(L"", L"", 0, L"SAMEVERSIONDETECTED"), UpgradeRow(L"", L"", 0, L"NEWERVERSIONDETECTED", kOtherUpgradeCode),
         UpgradeRow(L"", L"", 0, L"AAA")}};
    msi.AddProduct(kSame, kUpgradeCode, L"6.7.3319");
    msi.AddProduct(kHigher, kOtherUpgradeCode, L"6.8.1000");

    const Detection d = Detect(msi);

    EXPECT_EQ(d.state, HigherVersionInstalled);
    EXPECT_EQ(Narrow(d.codes), Narrow(kHigher));
    EXPECT_EQ(Describe(d.versions), "6.7.3319 6.8.1000 6.7.3319");
}

TEST(DetectRelatedProducts, UnreadablePackageGives4AndEmptyOutputs)
{
    FakeMsi msi;
    AddClientPackage(msi);
    msi.AddProduct(kSame, kUpgradeCode, L"6.7.3319");
    DebugRecorder trace;

    Detection d = Detect(msi, L"C:\\Temp\\missing.msi");
    EXPECT_EQ(d.state, PackageUnreadable);
    EXPECT_EQ(Narrow(d.codes), "");
    EXPECT_TRUE(d.versions.empty());
    EXPECT_TRUE(trace.lines.empty());

    msi.Fail(FakeMsi::Op::OpenDatabase, 1627);
    d = Detect(msi);
    EXPECT_EQ(d.state, PackageUnreadable);
    EXPECT_EQ(Narrow(d.codes), "");
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(DetectRelatedProducts, PackageWithoutUpgradeTableIsNotInstalled)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Property"] = FakeMsi::Table{{{L"Property", L"s72"}, {L"Value", L"l0"}}, {}};
    msi.AddProduct(kSame, kUpgradeCode, L"6.7.3319");

    const Detection d = Detect(msi);

    EXPECT_EQ(d.state, NotInstalled);
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(DetectRelatedProducts, TraceOfOneSmallDetection)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{
        UpgradeColumns(),
        {UpgradeRow(L"6.7.3319", L"", 2, L"NEWERVERSIONDETECTED"),
         UpgradeRow(L"0.0.0", L"6.7.3319", 256, L"OLDERVERSIONBEINGUPGRADED")}};
    msi.AddProduct(kLower, kUpgradeCode, L"6.6.2100");
    DebugRecorder trace;

    const Detection d = Detect(msi);

    EXPECT_EQ(d.state, LowerVersionInstalled);
    const std::string code = Narrow(kUpgradeCode);
    const std::string product = Narrow(kLower);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{
                               "GetUpgradeTableEntries",
                               "Get active database",
                               "Get upgrade table",
                               "Execute upgrade table view",
                               "Get column names",
                               "Column count: 7",
                               "Get column types",
                               "Column name: UpgradeCode, type: 0",
                               "Column name: VersionMin, type: 0",
                               "Column name: VersionMax, type: 0",
                               "Column name: Language, type: 0",
                               "Column name: Attributes, type: 1",
                               "Column name: Remove, type: 0",
                               "Column name: ActionProperty, type: 0",
                               "Upgrade: " + code + ", min: 6.7.3319, max: , attributes: 2, action property: "
                                                    "NEWERVERSIONDETECTED, value: ",
                               "Min: 6.7.3319, max: 0.0.0",
                               "Add to property map: NEWERVERSIONDETECTED = ",
                               "Upgrade: " + code + ", min: 0.0.0, max: 6.7.3319, attributes: 256, action property: "
                                                    "OLDERVERSIONBEINGUPGRADED, value: ",
                               "Min: 0.0.0, max: 6.7.3319",
                               "Add to property map: OLDERVERSIONBEINGUPGRADED = ",
                               "Done",
                               "Looking for: " + code + ", min: 6.7.3319, max: , action property: NEWERVERSIONDETECTED",
                               "Found installed related product: " + product,
                               "Installed related product name: KELVARO VOV Client for Windows",
                               "Installed related product version: 6.6.2100",
                               "Installed related product language: 1033",
                               "Looking for: " + code + ", min: 0.0.0, max: 6.7.3319, action property: "
                                                    "OLDERVERSIONBEINGUPGRADED",
                               "Found installed related product: " + product,
                               "Installed related product name: KELVARO VOV Client for Windows",
                               "Installed related product version: 6.6.2100",
                               "Installed related product language: 1033",
                               "Version match: current < max",
                               "Add product ID to existing action property",
                               "Done",
                           }));
    EXPECT_EQ(msi.HandleProblems(), "");
}

}  // namespace
