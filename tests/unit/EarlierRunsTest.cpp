// Tests of the rule which working folders of earlier runs a start removes.
#include <gtest/gtest.h>

#include <map>

#include "support/FakeLogPlatform.h"
#include "system/EarlierRuns.h"

namespace {

const std::wstring kTemp = L"C:\\Windows\\Temp\\";
const std::wstring kGuidA = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
const std::wstring kGuidB = L"{0f8fad5b-d9cb-469f-a165-70867728950e}";
const std::wstring kGuidC = L"{7C9E6679-7425-40DE-944B-E07FC1F90AE7}";
const std::wstring kGuidD = L"{E02FD0E4-00FD-090A-CA30-0D00A0038BA0}";

// Folders of the temporary folder by name, with what deleting their marker gives and whether they can be removed.
class FakeRunFolders {
public:
    struct Folder {
        MarkerDeletion marker = MarkerDeletion::Deleted;
        bool removable = true;
    };
    std::map<std::wstring, Folder> folders;
    std::vector<std::wstring> markersTried;
    std::vector<std::wstring> removed;

    std::vector<std::wstring> ListFolders(const std::wstring& folder)
    {
        EXPECT_EQ(folder, kTemp);
        std::vector<std::wstring> names;
        for (const auto& [name, f] : folders) names.push_back(name);
        return names;
    }
    MarkerDeletion DeleteMarker(const std::wstring& path)
    {
        markersTried.push_back(path);
        const std::wstring name = path.substr(kTemp.size(), path.rfind(L'\\') - kTemp.size());
        return folders.at(name).marker;
    }
    bool RemoveTree(const std::wstring& path)
    {
        const std::wstring name = path.substr(kTemp.size());
        if (!folders.at(name).removable) return false;
        removed.push_back(path);
        folders.erase(name);
        return true;
    }
};

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
    for (const auto& c : cases) {
        EXPECT_EQ(IsWorkFolderName(c.name), c.expected) << std::string(c.name.begin(), c.name.end());
    }
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
    FakeRunFolders files;
    files.folders[L"KELVARO GmbH"] = {};                                          // the log folder
    files.folders[L"KELVARO Setup {not a guid}"] = {};                            // not a working folder
    files.folders[L"KELVARO Setup " + kGuidA] = {MarkerDeletion::Deleted, true};  // ended
    files.folders[L"KELVARO Setup " + kGuidB] = {MarkerDeletion::InUse, true};    // still running
    files.folders[L"KELVARO Setup " + kGuidC] = {MarkerDeletion::Missing, true};  // just created, or being removed
    files.folders[L"KELVARO Setup " + kGuidD] = {MarkerDeletion::Deleted, false}; // ended, a file still in use
    const std::wstring own = kTemp + L"KELVARO Setup {11111111-2222-3333-4444-555555555555}";
    files.folders[own.substr(kTemp.size())] = {MarkerDeletion::Deleted, true};

    RemoveFoldersOfEndedRuns(files, kTemp, own);

    EXPECT_EQ(files.removed, std::vector<std::wstring>{kTemp + L"KELVARO Setup " + kGuidA});
    const std::vector<std::wstring> tried = {
        kTemp + L"KELVARO Setup " + kGuidB + L"\\Setup.running",
        kTemp + L"KELVARO Setup " + kGuidA + L"\\Setup.running",
        kTemp + L"KELVARO Setup " + kGuidC + L"\\Setup.running",
        kTemp + L"KELVARO Setup " + kGuidD + L"\\Setup.running",
    };
    EXPECT_EQ(files.markersTried, tried) << "never the own folder's marker, never another folder's";
    const std::vector<std::string> lines = {
        "Removed working folder of an ended run: C:\\Windows\\Temp\\KELVARO Setup {6B29FC40-CA47-1067-B31D-00DD010662DA}",
        "Working folder of an ended run not removed: C:\\Windows\\Temp\\KELVARO Setup "
        "{E02FD0E4-00FD-090A-CA30-0D00A0038BA0}",
    };
    EXPECT_EQ(log.Texts("ResourceExtractor"), lines);
}

TEST(EarlierRuns, NothingHappensWithoutATemporaryFolder)
{
    LogFixture log;
    log.Initialize();
    FakeRunFolders files;
    RemoveFoldersOfEndedRuns(files, L"", L"");
    EXPECT_TRUE(files.markersTried.empty());
    EXPECT_EQ(log.Content(), "");
}

}  // namespace
