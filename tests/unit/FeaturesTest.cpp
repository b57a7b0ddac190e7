// Tests of reading the Feature table: query, row order, fields, the disallow-absent bit, bad cells and handles.
#include <gtest/gtest.h>

#include "package/Features.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeMsi.h"

namespace {

const wchar_t* const kPackage = L"C:\\Temp\\client.msi";

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::vector<FakeMsi::Cell> FeatureRow(const wchar_t* feature, const wchar_t* parent, const wchar_t* title,
                                      const wchar_t* description, int display, int level, int attributes)
{
    auto text = [](const wchar_t* t) { return t ? FakeMsi::Cell(t) : FakeMsi::Null(); };
    return {feature, text(parent), text(title), text(description), display, level, FakeMsi::Null(), attributes};
}

// The client's Feature table in the order the rows are stored.
FakeMsi::Table ClientFeatureTable()
{
    return FakeMsi::Table{
        {{L"Feature", L"s38"}, {L"Feature_Parent", L"S38"}, {L"Title", L"L64"}, {L"Description", L"L255"},
         {L"Display", L"I2"}, {L"Level", L"i2"}, {L"Directory_", L"S72"}, {L"Attributes", L"i2"}},
        {FeatureRow(L"MainFeature", nullptr, L"KELVARO VOV Client",
                    L"The KELVARO VOV Client application. This feature is always installed.", 1, 1, 16),
         FeatureRow(L"FeatureOutlook", L"MainFeature", L"Outlook Integration",
                    L"Dial and journal calls from Microsoft Outlook.", 3, 1, 0),
         FeatureRow(L"FeatureOutlookCalendar", L"FeatureOutlook", L"Calendar Synchronisation", nullptr, 2, 1, 0),
         FeatureRow(L"FeatureDiagnostics", L"MainFeature", L"Diagnostic Tools", L"Tools for the KELVARO support team.",
                    7, 3, 0),
         FeatureRow(L"FeatureFax", nullptr, L"Fax Printer",
                    L"Send faxes from any application through the KELVARO fax printer.", 4, 1, 32),
         FeatureRow(L"FeatureSnomD7", nullptr, L"Snom D7 Phone Driver", L"USB driver for the Snom D7 expansion module.",
                    5, 1, 48),
         FeatureRow(L"FeatureUnifiedCollaborationApi", nullptr, L"Unified Communication API",
                    L"Lets Microsoft Office show presence and start calls through the client.", 6, 1, 0)}};
}

std::vector<std::string> Describe(const std::vector<FeatureInfo>& features)
{
    std::vector<std::string> out;
    for (const FeatureInfo& f : features) {
        out.push_back(Narrow(f.Feature + L"|" + f.Feature_Parent + L"|" + f.Title + L"|" + f.Description + L"|" +
                             std::to_wstring(f.Display) + L"|" + std::to_wstring(f.Level)) +
                      (f.disallowAbsent ? "|disallowAbsent" : "") + (f.installed ? "|installed" : "") +
                      (f.selected ? "|selected" : "") + (f.treeItem ? "|treeItem" : ""));
    }
    return out;
}

// Opens the package, reads its features, closes it.
std::vector<FeatureInfo> Read(FakeMsi& msi)
{
    std::vector<FeatureInfo> features;
    MsiHandle db = 0;
    EXPECT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    EXPECT_EQ(GetFeatures(msi, db, features), 0u);
    msi.CloseHandle(db);
    return features;
}

TEST(GetFeatures, RowsInDisplayOrderWithTheirFields)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Feature"] = ClientFeatureTable();
    DebugRecorder trace;

    const std::vector<FeatureInfo> features = Read(msi);

    EXPECT_EQ(Describe(features),
              (std::vector<std::string>{
                  "MainFeature||KELVARO VOV Client|The KELVARO VOV Client application. This feature is always "
                  "installed.|1|1|disallowAbsent",
                  "FeatureOutlookCalendar|FeatureOutlook|Calendar Synchronisation||2|1",
                  "FeatureOutlook|MainFeature|Outlook Integration|Dial and journal calls from Microsoft Outlook.|3|1",
                  "FeatureFax||Fax Printer|Send faxes from any application through the KELVARO fax printer.|4|1",
                  "FeatureSnomD7||Snom D7 Phone Driver|USB driver for the Snom D7 expansion module.|5|1|disallowAbsent",
                  "FeatureUnifiedCollaborationApi||Unified Communication API|Lets Microsoft Office show presence and "
                  "start calls through the client.|6|1",
                  "FeatureDiagnostics|MainFeature|Diagnostic Tools|Tools for the KELVARO support team.|7|3",
              }));
    EXPECT_EQ(msi.calls, (std::vector<std::wstring>{
                             L"OpenDatabase(C:\\Temp\\client.msi)",
                             L"OpenView(SELECT Feature,Feature_Parent,Title,Description,Display,Level,Attributes "
                             L"FROM Feature ORDER BY Display,Feature_Parent)",
                         }));
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"GetFeatures", "Get active database", "Get feature table",
                                                     "Execute feature table view", "Done"}));
    EXPECT_EQ(msi.viewsClosed, 1);
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetFeatures, QueryText)
{
    EXPECT_STREQ(kFeatureQuery, L"SELECT Feature,Feature_Parent,Title,Description,Display,Level,Attributes FROM "
                                L"Feature ORDER BY Display,Feature_Parent");
}

TEST(GetFeatures, DisallowAbsentIsBit0x10OfAttributes)
{
    const std::pair<int, bool> cases[] = {
        {16, true}, {0, false}, {32, false}, {48, true}, {1, false}, {8, false}, {17, true},
        {0x7FEF, false}, {-1, true}, {FakeMsi::kNullInteger, false},
    };
    for (const auto& [attributes, expected] : cases) {
        FakeMsi msi;
        FakeMsi::Table table = ClientFeatureTable();
        table.rows.resize(1);
        table.rows[0][7] = attributes;
        msi.AddPackage(kPackage).tables[L"Feature"] = table;

        const std::vector<FeatureInfo> features = Read(msi);

        ASSERT_EQ(features.size(), 1u);
        EXPECT_EQ(features[0].disallowAbsent, expected) << attributes;
    }
}

TEST(GetFeatures, FieldsOf250CharactersOrMoreReadAsEmpty)
{
    const std::wstring fits(249, L'T');
    const std::wstring tooLong(250, L'D');
    FakeMsi msi;
    FakeMsi::Table table = ClientFeatureTable();
    table.rows = {FeatureRow(L"A", tooLong.c_str(), fits.c_str(), tooLong.c_str(), 1, 1, 16),
                  FeatureRow(tooLong.c_str(), L"A", tooLong.c_str(), fits.c_str(), 2, 2, 0)};
    msi.AddPackage(kPackage).tables[L"Feature"] = table;

    const std::vector<FeatureInfo> features = Read(msi);

    ASSERT_EQ(features.size(), 2u);
    EXPECT_EQ(features[0].Feature, L"A");
    EXPECT_EQ(features[0].Feature_Parent, L"");
    EXPECT_EQ(features[0].Title, fits);
    EXPECT_EQ(features[0].Description, L"");
    EXPECT_TRUE(features[0].disallowAbsent);
    EXPECT_EQ(features[1].Feature, L"");
    EXPECT_EQ(features[1].Feature_Parent, L"A");
    EXPECT_EQ(features[1].Title, L"");
    EXPECT_EQ(features[1].Description, fits);
    EXPECT_EQ(features[1].Level, 2);
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetFeatures, AppendsToTheList)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Feature"] = ClientFeatureTable();
    std::vector<FeatureInfo> features(1);
    features[0].Feature = L"Earlier";
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);

    GetFeatures(msi, db, features);
    msi.CloseHandle(db);

    ASSERT_EQ(features.size(), 8u);
    EXPECT_EQ(features[0].Feature, L"Earlier");
    EXPECT_EQ(features[1].Feature, L"MainFeature");
}

// Each failure ends the reading quietly with what was read so far and every handle closed.
TEST(GetFeatures, FailuresEndTheReadingWithEveryHandleClosed)
{
    struct Case {
        const char* what;
        FakeMsi::Op op;
        int succeedFirst;
        std::vector<std::string> trace;
        size_t features;
    };
    const Case cases[] = {
        {"view", FakeMsi::Op::OpenView, 0, {"GetFeatures", "Get active database", "Get feature table"}, 0},
        {"execute",
         FakeMsi::Op::ViewExecute,
         0,
         {"GetFeatures", "Get active database", "Get feature table", "Execute feature table view"},
         0},
        {"first fetch",
         FakeMsi::Op::ViewFetch,
         0,
         {"GetFeatures", "Get active database", "Get feature table", "Execute feature table view", "Done"},
         0},
        {"fourth fetch",
         FakeMsi::Op::ViewFetch,
         3,
         {"GetFeatures", "Get active database", "Get feature table", "Execute feature table view", "Done"},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMsi msi;
        msi.AddPackage(kPackage).tables[L"Feature"] = ClientFeatureTable();
        msi.Fail(c.op, 1627, c.succeedFirst);
        DebugRecorder trace;

        const std::vector<FeatureInfo> features = Read(msi);

        EXPECT_EQ(trace.lines, c.trace);
        EXPECT_EQ(features.size(), c.features);
        EXPECT_EQ(msi.HandleProblems(), "");
    }
}

TEST(GetFeatures, StringsThatCannotBeReadAreEmpty)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Feature"] = ClientFeatureTable();
    msi.Fail(FakeMsi::Op::RecordGetString, 1627, 2);  // Feature and Feature_Parent of the first row read

    const std::vector<FeatureInfo> features = Read(msi);

    ASSERT_EQ(features.size(), 7u);
    EXPECT_EQ(Describe(features)[0], "MainFeature|||" "|1|1|disallowAbsent");
    EXPECT_EQ(Describe(features)[6], "||||7|3");
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetFeatures, PackageWithoutFeatureTableGivesNoFeatures)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Upgrade"] = FakeMsi::Table{{{L"UpgradeCode", L"s38"}}, {}};
    DebugRecorder trace;

    EXPECT_TRUE(Read(msi).empty());
    EXPECT_EQ(trace.lines.back(), "Get feature table");
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(GetFeatures, NoDatabaseReadsNothing)
{
    FakeMsi msi;
    std::vector<FeatureInfo> features;
    DebugRecorder trace;

    EXPECT_EQ(GetFeatures(msi, 0, features), 0u);

    EXPECT_TRUE(features.empty());
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"GetFeatures", "Get active database"}));
    EXPECT_TRUE(msi.calls.empty());
}

// The fake's embedded transforms, which the callers' tests rely on: applied to the open database only.
TEST(FakeMsi, TransformChangesTheOpenDatabaseOnly)
{
    FakeMsi msi;
    FakeMsi::Package& package = msi.AddPackage(kPackage);
    package.tables[L"Feature"] = ClientFeatureTable();
    package.transforms[L"1031"]
        .Change(L"Feature", L"FeatureFax", L"Title", L"Faxdrucker")
        .Change(L"Feature", L"FeatureFax", L"Description", L"Faxe senden.")
        .Change(L"Feature", L"NoSuchFeature", L"Title", L"ignored");
    MsiHandle db = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    EXPECT_EQ(msi.ApplyTransform(db, L":1036"), FakeMsi::kTransformFailed);
    EXPECT_EQ(msi.ApplyTransform(db, L"1031"), FakeMsi::kTransformFailed);
    ASSERT_EQ(msi.ApplyTransform(db, L":1031"), 0u);
    std::vector<FeatureInfo> translated;
    GetFeatures(msi, db, translated);
    msi.CloseHandle(db);

    ASSERT_EQ(translated.size(), 7u);
    EXPECT_EQ(Describe(translated)[3], "FeatureFax||Faxdrucker|Faxe senden.|4|1");
    EXPECT_EQ(Describe(Read(msi))[3],
              "FeatureFax||Fax Printer|Send faxes from any application through the KELVARO fax printer.|4|1");
    EXPECT_EQ(msi.HandleProblems(), "");
}

TEST(FakeMsi, ReportsHandlesLeftOpenAndClosedTwice)
{
    FakeMsi msi;
    msi.AddPackage(kPackage).tables[L"Feature"] = ClientFeatureTable();
    MsiHandle db = 0, view = 0, record = 0;
    ASSERT_EQ(msi.OpenDatabase(kPackage, db), 0u);
    ASSERT_EQ(msi.OpenView(db, L"SELECT * FROM Feature", view), 0u);
    ASSERT_EQ(msi.ViewExecute(view), 0u);
    ASSERT_EQ(msi.ViewFetch(view, record), 0u);
    msi.CloseHandle(db);
    msi.CloseHandle(db);
    std::wstring value;
    EXPECT_EQ(msi.RecordGetString(db, 1, 10, value), FakeMsi::kInvalidHandle);

    EXPECT_EQ(msi.OpenHandleCount(), 2u);
    EXPECT_EQ(msi.HandleProblems(),
              "not closed: view on SELECT * FROM Feature\n"
              "not closed: record: row 1 of SELECT * FROM Feature\n"
              "CloseHandle of a closed or unknown handle 1\n"
              "RecordGetString on a closed, unknown or wrong handle 1\n");
}

}  // namespace
