// Tests of the rule which working folders of earlier runs a start removes, and of the marker that keeps a
// running run's folder from being removed.
#include <gtest/gtest.h>

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

TEST(EarlierRuns, FoldersOfEndedRunsAreRemovedWithOneLineEach)
{
    LogFixture log;
    log.Initialize();
    FakeFileSystem files;
    files.temp = kTemp;
    files.AddRunFolder(kTemp + L"KELVARO GmbH", false, false);              // the log folder
    files.AddRunFolder(kTemp + L"KELVARO Setup {not a guid}", false);       // not a working folder
    files.AddRunFolder(Work(kGuidA), false);                                // ended
    files.AddRunFolder(Work(kGuidB), true);                                 // still running
    files.AddRunFolder(Work(kGuidC), false, false);                         // just created, or being removed
    files.AddRunFolder(Work(kGuidD), false);                                // ended, a file in it still in use
    files.lockedTrees.insert(fake::Fold(Work(kGuidD)));
    files.AddRunFolder(kTemp + L"Other\\KELVARO Setup " + kGuidA, false);  // not in the temporary folder itself
    files.AddFile(Work(kGuidA) + L"\\KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi");

    RemoveFoldersOfEndedRuns(files, kTemp);

    EXPECT_EQ(files.removedTrees, (std::vector<std::wstring>{Work(kGuidA), Work(kGuidD)}));
    EXPECT_FALSE(files.HasFolder(Work(kGuidA)));
    EXPECT_EQ(files.FileCount(), 0u);
    EXPECT_TRUE(files.HasFolder(Work(kGuidB)));
    EXPECT_TRUE(files.HasFolder(Work(kGuidC)));
    const std::vector<std::wstring> tried = {Marker(kGuidA), Marker(kGuidB), Marker(kGuidC), Marker(kGuidD)};
    EXPECT_EQ(files.markerDeletions, tried) << "only the working folders of the temporary folder";
    const std::vector<std::string> lines = {
        "Removed working folder of an ended run: " + Narrow(Work(kGuidA)),
        "Working folder of an ended run not removed: " + Narrow(Work(kGuidD)),
    };
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
    const std::wstring first = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000001}";
    const std::wstring second = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000002}";
    const std::wstring third = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000003}";

    auto running = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader);
    ASSERT_EQ(running->workFolder, first);
    EXPECT_EQ(files.markers, (std::map<std::wstring, bool>{{fake::Fold(first + L"\\Setup.running"), true}}));

    // A second start while the first runs: the first's folder stays. The second ends normally and removes its own.
    auto other = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader);
    EXPECT_EQ(other->workFolder, second);
    other.reset();
    EXPECT_TRUE(files.HasFolder(first));
    EXPECT_FALSE(files.HasFolder(second)) << "a run releases its marker before it removes its folder";

    // The first dies: its process's handles close, nothing else happens. The next start removes its folder.
    files.markers[fake::Fold(first + L"\\Setup.running")] = false;
    auto next = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader);
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
