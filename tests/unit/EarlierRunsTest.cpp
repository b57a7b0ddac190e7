// Tests of the rule which working folders of earlier runs a start removes, and of the marker that keeps a
// running run's folder from being removed.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/EarlierRuns.h"
#include "system/PayloadExtractor.h"

namespace {

const std::wstring kTemp = L"C:\\Windows\\Temp\\";
const std::wstring kGuidA = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
const std::wstring kGuidB = L"{0f8fad5b-d9cb-469f-a165-70867728950e}";
const std::wstring kGuidC = L"{7C9E6679-7425-40DE-944B-E07FC1F90AE7}";
const std::wstring kGuidD = L"{E02FD0E4-00FD-090A-CA30-0D00A0038BA0}";

std::wstring Work(const std::wstring& guid) { return kTemp + L"KELVARO Setup " + guid; }
std::wstring Marker(const std::wstring& guid) { return Work(guid) + L"\\Setup.running"; }
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(EarlierRuns, WorkFolderNamesAreThePrefixAndARegistryGuid)
{
    const struct {
        std::wstring name;
        bool expected;
    } cases[] = {
        {L"KELVARO Setup " + kGuidA, true},
        {L"KELVARO Setup " + kGuidB, true},
        {L"KELVARO GmbH", false},
        {L"KELVARO Setup ", false},
        {L"KELVARO Setup", false},
        {L"KELVARO Setup " + kGuidA + L"x", false},
        {L"KELVARO Setup " + kGuidA.substr(1), false},
        {L"KELVARO Setup  " + kGuidA, false},
        {L"kelvaro setup " + kGuidA, false},
        {L"KELVARO Setup {6B29FC40-CA47-1067-B31D-00DD010662DG}", false},
        {L"KELVARO Setup {6B29FC40CCA47-1067-B31D-00DD010662DA}", false},
        {L"KELVARO Setup (6B29FC40-CA47-1067-B31D-00DD010662DA)", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWorkFolderName(c.name), c.expected) << Narrow(c.name);
}

TEST(EarlierRuns, OnlyAFolderWhoseMarkerCouldBeDeletedBelongsToAnEndedRun)
{
    EXPECT_TRUE(BelongsToEndedRun(MarkerDeletion::Deleted));
    EXPECT_FALSE(BelongsToEndedRun(MarkerDeletion::InUse));
    EXPECT_FALSE(BelongsToEndedRun(MarkerDeletion::Missing));
    EXPECT_FALSE(BelongsToEndedRun(MarkerDeletion::Failed));
}

// Every kind of folder a start can find in the temporary folder, and what becomes of it.
TEST(EarlierRuns, OnlyPrivateWorkingFoldersOfEndedRunsAreRemovedWithOneLineEach)
{
    using Run = FakeFileSystem::Run;
    const std::wstring kGuidE = L"{A0B1C2D3-E4F5-A6B7-C8D9-E0F1A2B3C4D5}";
    const std::wstring payload = L"\\KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi";
    struct Case {
        const char* what;
        std::wstring folder;
        Run run;
        bool open;            // others can change it
        bool inUse;           // a file in it cannot be deleted
        bool markerTried;
        bool removed;
        std::string line;     // the one line about it, if any
    };
    const std::vector<Case> cases = {
        {"the log folder", kTemp + L"KELVARO GmbH", Run::NoMarker, false, false, false, false, ""},
        {"not a GUID", kTemp + L"KELVARO Setup {not a guid}", Run::Ended, false, false, false, false, ""},
        {"ended", Work(kGuidA), Run::Ended, false, false, true, true,
         "Removed working folder of an ended run: " + Narrow(Work(kGuidA))},
        {"going", Work(kGuidB), Run::Going, false, false, true, false, ""},
        {"just created, or being removed by another start", Work(kGuidC), Run::NoMarker, false, false, true, false,
         ""},
        {"ended, a file in it still in use", Work(kGuidD), Run::Ended, false, true, true, false,
         "Working folder of an ended run not removed: " + Narrow(Work(kGuidD))},
        {"ended, but others can change it", Work(kGuidE), Run::Ended, true, false, false, false,
         "Not a private folder, left alone: " + Narrow(Work(kGuidE))},
        {"not in the temporary folder itself", kTemp + L"Other\\KELVARO Setup " + kGuidA, Run::Ended, false, false,
         false, false, ""},
    };
    LogFixture log;
    log.Initialize();
    FakeFileSystem files;
    files.temp = kTemp;
    for (const Case& c : cases) {
        files.AddRunFolder(c.folder, c.run);
        files.AddFile(c.folder + payload);
        if (c.open) files.openFolders.insert(fake::Fold(c.folder));
        if (c.inUse) files.locked.insert(fake::Fold(c.folder + payload));
    }

    RemoveFoldersOfEndedRuns(files, kTemp);

    std::vector<std::string> lines;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring marker = c.folder + L"\\Setup.running";
        const bool tried =
            std::find(files.markerDeletions.begin(), files.markerDeletions.end(), marker) != files.markerDeletions.end();
        EXPECT_EQ(tried, c.markerTried);
        EXPECT_EQ(files.HasFolder(c.folder), !c.removed);
        EXPECT_EQ(files.Has(c.folder + payload), !c.removed);
        // Where a marker was, it is there still, unless its folder went: one left in a folder that could not be
        // removed is put back, so that a later start tries again.
        EXPECT_EQ(files.Has(marker), c.run != Run::NoMarker && !c.removed);
        if (!c.line.empty()) lines.push_back(c.line);
    }
    EXPECT_EQ(log.Texts("ResourceExtractor"), lines);
    EXPECT_TRUE(files.locked.count(fake::Fold(Marker(kGuidB)))) << "the marker of the run that is going is untouched";

    // Once the file is no longer in use, the next start removes the folder; the open one is left alone again.
    files.locked.erase(fake::Fold(Work(kGuidD) + payload));
    RemoveFoldersOfEndedRuns(files, kTemp);
    EXPECT_FALSE(files.HasFolder(Work(kGuidD)));
    lines.push_back("Removed working folder of an ended run: " + Narrow(Work(kGuidD)));
    lines.push_back("Not a private folder, left alone: " + Narrow(Work(kGuidE)));
    EXPECT_EQ(log.Texts("ResourceExtractor"), lines);

    // Nothing without a temporary folder.
    files.markerDeletions.clear();
    RemoveFoldersOfEndedRuns(files, L"");
    EXPECT_TRUE(files.markerDeletions.empty());
}

// Runs as extractors on one file system: a run that is going holds its marker; one that died does not, and its
// folder stays until the next start.
TEST(EarlierRuns, AStartLeavesARunningRunsFolderAloneAndRemovesADeadRunsFolder)
{
    LogFixture log;
    log.Initialize();
    FakeFileSystem files;
    files.temp = kTemp;
    FakeResources resources;
    FakeDownloader downloader{files};
    FakeInstallerTrust trust{files};
    CInstallerVerifier verifier{trust, PrerequisiteTrustPolicy{}};
    const std::wstring first = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000001}";
    const std::wstring second = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000002}";
    const std::wstring third = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000003}";

    auto running = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader, verifier);
    ASSERT_EQ(running->workFolder, first);
    EXPECT_TRUE(files.Has(first + L"\\Setup.running"));
    EXPECT_TRUE(files.locked.count(fake::Fold(first + L"\\Setup.running"))) << "held while the run lives";

    // A second start while the first runs: the first's folder stays. The second ends normally and removes its own.
    auto other = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader, verifier);
    EXPECT_EQ(other->workFolder, second);
    other.reset();
    EXPECT_TRUE(files.HasFolder(first));
    EXPECT_FALSE(files.HasFolder(second)) << "a run releases its marker before it removes its folder";

    // The first dies: its process's handles close, nothing else happens. The next start removes its folder.
    files.locked.erase(fake::Fold(first + L"\\Setup.running"));
    auto next = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader, verifier);
    EXPECT_FALSE(files.HasFolder(first));
    EXPECT_EQ(next->workFolder, third);
    const std::vector<std::string> expected = {
        "Temp path: C:\\Windows\\Temp\\",
        "Working folder: " + Narrow(first),
        "Temp path: C:\\Windows\\Temp\\",
        "Working folder: " + Narrow(second),
        "Delete: " + Narrow(second),
        "Temp path: C:\\Windows\\Temp\\",
        "Removed working folder of an ended run: " + Narrow(first),
        "Working folder: " + Narrow(third),
    };
    EXPECT_EQ(log.Texts("ResourceExtractor"), expected);
    next.reset();
    running.reset();
}

}  // namespace
