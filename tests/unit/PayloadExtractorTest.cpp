// Tests of the payload extractor: the private working folder, extraction, the sources of a prerequisite
// installer, retries, error text and the removal of every file it obtained and of the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/PayloadExtractor.h"

namespace {

const std::wstring kTemp = L"C:\\Users\\tester\\AppData\\Local\\Temp\\";
const std::string kTempA = "C:\\Users\\tester\\AppData\\Local\\Temp\\";
// The working folder with the fake's first GUID, and the same with its backslash.
const std::wstring kWork = kTemp + L"KELVARO Setup {00000000-0000-0000-0000-000000000001}";
const std::wstring kWorkS = kWork + L"\\";
const std::string kWorkA = kTempA + "KELVARO Setup {00000000-0000-0000-0000-000000000001}\\";
const std::string kPayload130 = std::string("MSI\0x86 package", 15);

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class PayloadExtractorTest : public ::testing::Test {
protected:
    PayloadExtractorTest()
    {
        log.Initialize();
        files.temp = kTemp;
        resources.payloads[{L"BIN", 130}] = kPayload130;
        resources.payloads[{L"BIN", 131}] = "MZ cleanup tool";
        resources.strings[170] = L"Could not download: \r\n%s \r\n\r\n%s";
        downloader.otherwise = {0, true, "installer"};
        extractor = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader, verifier);
    }

    std::vector<std::string> Lines() { return log.Texts("ResourceExtractor"); }

    LogFixture log;
    FakeFileSystem files;
    FakeResources resources;
    FakeDownloader downloader{files};
    FakeInstallerTrust trust{files};
    CInstallerVerifier verifier{trust, PrerequisiteTrustPolicy{}};
    VerifiedFile installer;
    std::unique_ptr<CBinaryResourceExtractor> extractor;

    const std::wstring url = std::wstring(DownloadBaseUrl) + L"Windows/redist/gs950w64.exe";
    const std::wstring cachePath = kWorkS + L"gs950w64.exe";
};

TEST_F(PayloadExtractorTest, ConstructionTakesTheTemporaryFolderAndCreatesAPrivateWorkingFolder)
{
    EXPECT_EQ(extractor->tempFolder, kTemp);
    EXPECT_EQ(extractor->workFolder, kWork);
    EXPECT_EQ(extractor->extractError, 0u);
    EXPECT_EQ(files.privateFolders, std::vector<std::wstring>{kWork});
    EXPECT_EQ(extractor->localRedistFolder, L"");
    EXPECT_TRUE(extractor->filesToDelete.empty());
    EXPECT_EQ(extractor->parentWindow, 0u);
    const std::vector<std::string> expected = {"Temp path: " + kTempA,
                                               "Working folder: " + kWorkA.substr(0, kWorkA.size() - 1)};
    EXPECT_EQ(Lines(), expected);
    const std::wstring base = DownloadBaseUrl;
    ASSERT_GE(base.size(), 17u);
    EXPECT_EQ(base.substr(base.size() - 17), L"/kelvaro/clients/");
}

// Each row: what the file system answers, the folder the extractor takes (empty: none), its error and its lines
// after "Temp path".
TEST_F(PayloadExtractorTest, WorkingFolderTakesAnotherNameWhenOneIsTakenAndFailsOtherwise)
{
    struct Case {
        const char* what;
        std::wstring temp;
        std::vector<std::wstring> taken;   // names that exist already (a folder, a link or a file)
        std::deque<std::wstring> guids;
        uint32_t privateError;
        std::wstring folder;
        uint32_t error;
        std::vector<std::string> lines;
    };
    const std::wstring a = kTemp + L"KELVARO Setup {A}", b = kTemp + L"KELVARO Setup {B}";
    const Case cases[] = {
        {"first name", kTemp, {}, {L"{A}"}, 0, a, 0, {"Working folder: " + Narrow(a)}},
        {"a folder of that name exists", kTemp, {a}, {L"{A}", L"{B}"}, 0, b, 0, {"Working folder: " + Narrow(b)}},
        {"a link of that name exists", kTemp, {L"link:" + a}, {L"{A}", L"{B}"}, 0, b, 0, {"Working folder: " + Narrow(b)}},
        {"a file of that name exists", kTemp, {L"file:" + a}, {L"{A}", L"{B}"}, 0, b, 0, {"Working folder: " + Narrow(b)}},
        {"ten names taken", kTemp, {a}, std::deque<std::wstring>(10, L"{A}"), 0, L"", 183, {"Working folder failed: b7"}},
        {"access denied", kTemp, {}, {L"{A}"}, 5, L"", 5, {"Working folder failed: 5"}},
        {"no GUID", kTemp, {}, {L""}, 0, L"", 0x80004005, {"Working folder failed: 80004005"}},
        {"no temporary folder", L"", {}, {L"{A}"}, 0, L"", 3, {"Working folder failed: 3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogFixture fresh;
        fresh.Initialize();
        FakeFileSystem fs;
        fs.temp = c.temp;
        fs.guids = c.guids;
        fs.failPrivateFolder = c.privateError;
        for (const std::wstring& name : c.taken) {
            if (name.rfind(L"link:", 0) == 0) fs.links.insert(fake::Fold(name.substr(5)));
            else if (name.rfind(L"file:", 0) == 0) fs.AddFile(name.substr(5));
            else fs.folders.insert(fake::Fold(name));
        }
        std::vector<std::string> lines;
        {
            CBinaryResourceExtractor e(resources, fs, downloader, verifier);
            EXPECT_EQ(e.workFolder, c.folder);
            EXPECT_EQ(e.extractError, c.error);
            EXPECT_EQ(fs.HasFolder(c.folder), !c.folder.empty());
            // Without a working folder nothing is written, and nothing is obtained.
            if (c.folder.empty()) {
                EXPECT_EQ(e.ExtractResource(L"BIN", 130, L"a.msi"), L"");
                std::wstring result, error;
                EXPECT_NE(e.ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
                EXPECT_FALSE(installer.IsOpen());
                EXPECT_TRUE(fs.writeCalls.empty());
            }
            lines = fresh.Texts("ResourceExtractor");
        }
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), c.lines);
        // A taken name is never removed: only the folder this run created is.
        EXPECT_EQ(fs.removedTrees, c.folder.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.folder});
    }
}

TEST_F(PayloadExtractorTest, ExtractWritesNewFilesStraightFromTheResourceAndMissingIdsGiveEmptyFiles)
{
    const std::wstring msi = extractor->ExtractResource(L"BIN", 130, L"KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi");
    const std::wstring missing = extractor->ExtractResource(L"BIN", 133, L"nothing.bin");

    EXPECT_EQ(msi, kWorkS + L"KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi");
    EXPECT_EQ(files.Content(msi), kPayload130);
    ASSERT_EQ(files.writeCalls.size(), 2u);
    // The bytes are handed over where the resource lies, not copied first.
    EXPECT_EQ(files.writeCalls[0].data, static_cast<const void*>(resources.payloads[{L"BIN", 130}].data()));
    EXPECT_EQ(files.writeCalls[0].size, kPayload130.size());

    EXPECT_EQ(missing, kWorkS + L"nothing.bin");
    EXPECT_TRUE(files.Has(missing));
    EXPECT_EQ(files.Content(missing), "");
    EXPECT_EQ(files.writeCalls[1].size, 0u);
    EXPECT_EQ(extractor->filesToDelete, (std::vector<std::wstring>{msi, missing}));
    EXPECT_EQ(extractor->extractError, 0u);

    const std::vector<std::string> expected = {"Temp path: " + kTempA, "Working folder: " + Narrow(kWork),
                                               "Extract: " + kWorkA + "KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi",
                                               "Extract: " + kWorkA + "nothing.bin"};
    EXPECT_EQ(Lines(), expected);
}

// A payload that cannot be written completely (another process holds the name, the disk is full, the file is
// there already) is an error: no path, nothing recorded, the first error kept.
TEST_F(PayloadExtractorTest, APayloadThatCannotBeWrittenIsAnError)
{
    struct Case {
        const char* what;
        uint32_t error;     // WriteNewFile's answer; 0: the file exists already
    };
    const Case cases[] = {{"sharing violation", 32}, {"disk full", 112}, {"file exists", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogFixture fresh;
        fresh.Initialize();
        FakeFileSystem fs;
        fs.temp = kTemp;
        const std::wstring path = kWorkS + L"CleanupInstallation.exe";
        if (c.error != 0) fs.failWrite[path] = c.error;
        else fs.AddFile(path, "planted");
        const uint32_t expectedError = c.error != 0 ? c.error : kErrorFileExists;
        CBinaryResourceExtractor e(resources, fs, downloader, verifier);
        EXPECT_EQ(e.ExtractResource(L"BIN", 131, L"CleanupInstallation.exe"), L"");
        EXPECT_EQ(e.extractError, expectedError);
        EXPECT_TRUE(e.filesToDelete.empty());
        EXPECT_EQ(fs.Content(path), c.error != 0 ? "" : "planted");
        // A later failure does not hide the first.
        fs.failWrite[kWorkS + L"b.msi"] = 5;
        EXPECT_EQ(e.ExtractResource(L"BIN", 130, L"b.msi"), L"");
        EXPECT_EQ(e.extractError, expectedError);
        const std::vector<std::string> lines = fresh.Texts("ResourceExtractor");
        const std::vector<std::string> expected = {
            "Temp path: " + kTempA, "Working folder: " + Narrow(kWork), "Extract: " + kWorkA + "CleanupInstallation.exe",
            "Extract failed: " + std::string(expectedError == 32 ? "20" : expectedError == 112 ? "70" : "50"),
            "Extract: " + kWorkA + "b.msi", "Extract failed: 5"};
        EXPECT_EQ(lines, expected);
    }
}

TEST_F(PayloadExtractorTest, AnExceptionDuringExtractionGivesAnEmptyPath)
{
    resources.throwOnAccess = true;
    EXPECT_EQ(extractor->ExtractResource(L"BIN", 130, L"a.msi"), L"");
    EXPECT_TRUE(extractor->filesToDelete.empty());
    EXPECT_EQ(files.FilesIn(kWork), std::vector<std::wstring>{kWorkS + L"Setup.running"}) << "nothing but the marker";
    EXPECT_EQ(files.FileCount(), 1u);
    EXPECT_EQ(extractor->extractError, kEFail);
}

TEST_F(PayloadExtractorTest, DestructionDeletesEveryRecordedFileInOrderThenTheWorkingFolder)
{
    const std::wstring a = extractor->ExtractResource(L"BIN", 130, L"a.msi");
    const std::wstring b = extractor->ExtractResource(L"BIN", 131, L"b.exe");
    std::wstring result, error;
    ASSERT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
    ASSERT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
    files.AddFile(kWorkS + L"left by an installer.tmp");
    files.AddFile(L"C:\\unrelated.txt");
    installer.Close();
    extractor.reset();

    // The download obtained twice is deleted twice; the second deletion fails without a trace.
    EXPECT_EQ(files.deleteCalls, (std::vector<std::wstring>{a, b, cachePath, cachePath}));
    // Whatever else is in the working folder goes with it.
    EXPECT_EQ(files.removedTrees, std::vector<std::wstring>{kWork});
    EXPECT_FALSE(files.HasFolder(kWork));
    EXPECT_EQ(files.FileCount(), 1u);
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 5u);
    const std::vector<std::string> tail(lines.end() - 5, lines.end());
    const std::vector<std::string> expected = {"Delete: " + kWorkA + "a.msi", "Delete: " + kWorkA + "b.exe",
                                               "Delete: " + Narrow(cachePath), "Delete: " + Narrow(cachePath),
                                               "Delete: " + Narrow(kWork)};
    EXPECT_EQ(tail, expected);
}

TEST_F(PayloadExtractorTest, DeletionFailuresDoNotStopTheOthers)
{
    extractor->ExtractResource(L"BIN", 130, L"a.msi");
    extractor->ExtractResource(L"BIN", 131, L"b.exe");
    files.failDelete = true;
    extractor.reset();
    EXPECT_EQ(files.deleteCalls.size(), 2u);
    EXPECT_EQ(files.removedTrees, std::vector<std::wstring>{kWork});
    EXPECT_EQ(Lines().back(), "Delete: " + Narrow(kWork));
}

// A working folder that cannot be removed (a process started from it still runs) gets its marker back, unheld:
// the next start takes it for an ended run's folder and removes it.
TEST_F(PayloadExtractorTest, AWorkingFolderThatStaysIsLeftForTheNextStartToRemove)
{
    const std::wstring a = extractor->ExtractResource(L"BIN", 130, L"a.msi");
    files.AddFile(kWorkS + L"held by a child.tmp");
    files.locked.insert(fake::Fold(kWorkS + L"held by a child.tmp"));
    extractor.reset();

    EXPECT_FALSE(files.Has(a));
    EXPECT_TRUE(files.HasFolder(kWork));
    EXPECT_TRUE(files.Has(kWorkS + L"Setup.running")) << "the marker is back";
    EXPECT_EQ(Lines().back(), "Working folder not removed: " + Narrow(kWork));

    // The child has ended; the next start removes the folder, and its own goes at its end.
    files.locked.clear();
    extractor = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader, verifier);
    EXPECT_FALSE(files.HasFolder(kWork));
    const std::vector<std::string> lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Removed working folder of an ended run: " + Narrow(kWork)),
              lines.end());
    const std::wstring second = extractor->workFolder;
    EXPECT_NE(second, kWork);
    extractor.reset();
    EXPECT_FALSE(files.HasFolder(second));
    EXPECT_EQ(files.FileCount(), 0u);
    EXPECT_EQ(Lines().back(), "Delete: " + Narrow(second));
}

TEST_F(PayloadExtractorTest, LocalRedistFolderComesFirstAndIsNeverDeleted)
{
    for (const std::wstring folder : {L"D:\\media\\redist", L"D:\\media\\redist\\"}) {
        files.AddFile(L"D:\\media\\redist\\gs950w64.exe");
        files.AddFile(cachePath);
        extractor->localRedistFolder = folder;
        std::wstring result, error = L"untouched";
        EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
        EXPECT_EQ(result, L"D:\\media\\redist\\gs950w64.exe");
        EXPECT_EQ(error, L"untouched");
        EXPECT_EQ(Lines().back(), "Local redist: D:\\media\\redist\\gs950w64.exe");
    }
    EXPECT_TRUE(downloader.calls.empty());
    EXPECT_TRUE(extractor->filesToDelete.empty());
    installer.Close();
    extractor.reset();
    EXPECT_TRUE(files.deleteCalls.empty());
}

TEST_F(PayloadExtractorTest, WithoutALocalFolderTheDriveRootIsNotSearched)
{
    files.AddFile(L"\\gs950w64.exe");
    std::wstring result, error;
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
    EXPECT_EQ(result, cachePath);
    EXPECT_EQ(downloader.calls.size(), 1u);
}

TEST_F(PayloadExtractorTest, OnlyTheWorkingFolderIsTheCache)
{
    extractor->localRedistFolder = L"D:\\redist";
    // A file of that name in the temporary folder is anybody's: it is neither used nor deleted.
    files.AddFile(kTemp + L"gs950w64.exe", "planted");
    std::wstring result, error;
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
    EXPECT_EQ(result, cachePath);
    EXPECT_EQ(downloader.calls.size(), 1u);
    EXPECT_EQ(files.Content(cachePath), "installer");

    // A copy this run put into its working folder is used again without a download.
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), 0u);
    EXPECT_EQ(result, cachePath);
    EXPECT_EQ(downloader.calls.size(), 1u);
    EXPECT_EQ(extractor->filesToDelete, (std::vector<std::wstring>{cachePath, cachePath}));
    const std::vector<std::string> expected = {"Temp path: " + kTempA,
                                               "Working folder: " + Narrow(kWork),
                                               "Download: " + Narrow(url),
                                               "Local cached file: " + Narrow(cachePath),
                                               "Already in cache: " + Narrow(cachePath),
                                               "Local cached file: " + Narrow(cachePath)};
    EXPECT_EQ(Lines(), expected);
    installer.Close();
    extractor.reset();
    EXPECT_FALSE(files.Has(cachePath));
    EXPECT_EQ(files.Content(kTemp + L"gs950w64.exe"), "planted");
}

// Each row scripts the three attempts of the downloader and gives the log lines after "Temp path".
TEST_F(PayloadExtractorTest, DownloadAttemptsLogLinesAndResults)
{
    using A = FakeDownloader::Attempt;
    const std::string u = Narrow(url);
    const std::string c = Narrow(cachePath);
    struct Case {
        const char* what;
        std::vector<A> attempts;
        uint32_t result;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"first attempt", {A{0, true, "x"}}, 0, {"Download: " + u, "Local cached file: " + c}},
        {"third attempt",
         {A{0x800C0008, false, ""}, A{0x800C0005, false, ""}, A{0, true, "x"}},
         0,
         {"Download: " + u, "Download failed: 800c0008", "Download: " + u, "Download failed: 800c0005",
          "Download: " + u, "Local cached file: " + c}},
        // A failed attempt that left part of the file behind: it is deleted and the next attempt downloads.
        {"partial file",
         {A{0x800C0008, true, "partial"}, A{0, true, "x"}},
         0,
         {"Download: " + u, "Download failed: 800c0008", "Download: " + u, "Local cached file: " + c}},
        {"three failures leaving partial files",
         {A{0x800C0005, true, "part"}, A{0x800C0007, true, "part"}, A{0x800C0008, true, "part"}},
         0x800C0008,
         {"Download: " + u, "Download failed: 800c0005", "Download: " + u, "Download failed: 800c0007",
          "Download: " + u, "Download failed: 800c0008", "Download failed: 800c0008"}},
        {"three failures",
         {A{0x800C0005, false, ""}, A{0x800C0007, false, ""}, A{0x800C0008, false, ""}},
         0x800C0008,
         {"Download: " + u, "Download failed: 800c0005", "Download: " + u, "Download failed: 800c0007",
          "Download: " + u, "Download failed: 800c0008", "Download failed: 800c0008"}},
        // The body must have the length the server announced: a connection closed early gives a short file
        // and a success result. Such a file is deleted and the attempt fails.
        {"announced length received", {A{0, true, "x", 1}}, 0, {"Download: " + u, "Local cached file: " + c}},
        {"short body, then a whole one",
         {A{0, true, "par", 9}, A{0, true, "x", 1}},
         0,
         {"Download: " + u, "Download broken: 3 bytes received, 9 announced", "Download failed: 800c0008",
          "Download: " + u, "Local cached file: " + c}},
        {"three bodies of the wrong length",
         {A{0, true, "part", 100}, A{0, true, "", 7}, A{0, true, "longer than announced", 3}},
         0x800C0008,
         {"Download: " + u, "Download broken: 4 bytes received, 100 announced", "Download failed: 800c0008",
          "Download: " + u, "Download broken: 0 bytes received, 7 announced", "Download failed: 800c0008",
          "Download: " + u, "Download broken: 21 bytes received, 3 announced", "Download failed: 800c0008",
          "Download failed: 800c0008"}},
        // Attempts the downloader ended itself say why.
        {"stalled three times",
         {A{0x800C000B, false, "", 0, true}, A{0x800C000B, true, "part", 50, true}, A{0x800C000B, false, "", 0, true}},
         0x800C000B,
         {"Download: " + u, "Download stalled: no data for 30 s", "Download failed: 800c000b", "Download: " + u,
          "Download stalled: no data for 30 s", "Download failed: 800c000b", "Download: " + u,
          "Download stalled: no data for 30 s", "Download failed: 800c000b", "Download failed: 800c000b"}},
        {"redirect loop, then a download",
         {A{0x800C0014, false, "", 0, false, true}, A{0, true, "x"}},
         0,
         {"Download: " + u, "Download redirected more than 10 times", "Download failed: 800c0014",
          "Download: " + u, "Local cached file: " + c}},
        {"success without a file",
         {A{0, false, ""}, A{0, false, ""}, A{0, false, ""}},
         0x80004005,
         {"Download: " + u, "Download failed: " + c, "Download failed: 80004005", "Download: " + u,
          "Download failed: " + c, "Download failed: 80004005", "Download: " + u, "Download failed: " + c,
          "Download failed: 80004005", "Download failed: 80004005"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        LogFixture fresh;
        fresh.Initialize();
        FakeFileSystem fs;
        fs.temp = kTemp;
        FakeDownloader dl(fs);
        FakeInstallerTrust tr(fs);
        CInstallerVerifier ve(tr, PrerequisiteTrustPolicy{});
        VerifiedFile held;
        dl.script.assign(k.attempts.begin(), k.attempts.end());
        std::vector<std::string> lines;
        {
            CBinaryResourceExtractor e(resources, fs, dl, ve);
            e.parentWindow = 0x1234;
            std::wstring result = L"untouched", error = L"untouched";
            EXPECT_EQ(e.ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript 9.50", held), k.result);
            if (k.result == 0) {
                EXPECT_EQ(result, cachePath);
                EXPECT_EQ(fs.Content(cachePath), "x");
                EXPECT_EQ(error, L"untouched");
                EXPECT_EQ(e.filesToDelete, std::vector<std::wstring>{cachePath});
            } else {
                EXPECT_EQ(result, L"untouched");
                EXPECT_EQ(error, L"Could not download: \r\nGhostscript 9.50 \r\n\r\n" + std::wstring(DownloadBaseUrl) +
                                     L"\r\nWindows/redist/gs950w64.exe");
                EXPECT_TRUE(e.filesToDelete.empty());
                EXPECT_FALSE(fs.Has(cachePath)) << "nothing of a failed download stays behind";
            }
            for (const auto& call : dl.calls) {
                EXPECT_EQ(call.url, url);
                EXPECT_EQ(call.path, cachePath);
                EXPECT_EQ(call.parentWindow, 0x1234u);
            }
            lines = fresh.Texts("ResourceExtractor");
        }
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), k.lines);
    }
}

TEST_F(PayloadExtractorTest, ErrorTextBreaksTheAddressAfterEveryBaseUrl)
{
    const std::wstring base = DownloadBaseUrl;
    struct Case {
        std::wstring url;
        std::wstring shown;
    };
    const Case cases[] = {
        {base + L"Windows/redist/ndp472.exe", base + L"\r\nWindows/redist/ndp472.exe"},
        {base + L"a?mirror=" + base + L"b", base + L"\r\na?mirror=" + base + L"\r\nb"},
        {L"http://127.0.0.1:8080/x.exe", L"http://127.0.0.1:8080/x.exe"},
    };
    downloader.otherwise = {0x800C0008, false, ""};
    for (const Case& c : cases) {
        std::wstring result, error;
        EXPECT_EQ(extractor->ObtainPayload(result, error, c.url, L"x.exe", L".NET Framework 4.7.2", installer), 0x800C0008u);
        EXPECT_EQ(error, L"Could not download: \r\n.NET Framework 4.7.2 \r\n\r\n" + c.shown);
    }
    EXPECT_EQ(downloader.calls.size(), 9u);
}

TEST_F(PayloadExtractorTest, AnExceptionWhileObtainingGivesEFailWithoutTexts)
{
    downloader.otherwise = {0x800C0008, false, ""};
    resources.throwOnAccess = true;  // the error text cannot be loaded
    std::wstring result = L"untouched", error = L"untouched";
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", installer), kEFail);
    EXPECT_EQ(result, L"untouched");
    EXPECT_EQ(error, L"untouched");
    EXPECT_EQ(downloader.calls.size(), 3u);
}

}  // namespace

namespace {

Sha256Digest DigestOf(const std::string& data)
{
    Sha256 hash;
    hash.Update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return hash.Final();
}

// The order of the sources with verification failures in between. The build's list pins gs950w64.exe to the
// content "installer"; each row places files in the local folder and the cache, scripts the downloads and
// gives the log lines after "Temp path" and what is left.
TEST(PayloadVerificationTest, SourcesInOrderWithFailuresInBetween)
{
    using A = FakeDownloader::Attempt;
    const std::wstring redist = L"D:\\media\\redist\\gs950w64.exe";
    const std::wstring url = std::wstring(DownloadBaseUrl) + L"Windows/redist/gs950w64.exe";
    const std::wstring cache = kWorkS + L"gs950w64.exe";
    const std::string r = Narrow(redist), u = Narrow(url), c = Narrow(cache);
    struct Case {
        const char* what;
        const char* redistContent;  // nullptr: no file
        const char* cacheContent;
        std::vector<A> downloads;
        uint32_t result;
        std::wstring resultPath;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"good local file", "installer", "installer", {}, 0, redist, {"Local redist: " + r}},
        {"changed local file: left alone, the cache is next", "changed", "installer", {}, 0, cache,
         {"Local redist: " + r, "Verification failed: " + r + " (80096010)", "Already in cache: " + c,
          "Local cached file: " + c}},
        {"changed local file and cache: the cache copy is one failed attempt", "changed", "changed",
         {A{0, true, "installer"}}, 0, cache,
         {"Local redist: " + r, "Verification failed: " + r + " (80096010)", "Already in cache: " + c,
          "Verification failed: " + c + " (80096010)", "Download failed: 80096010", "Download: " + u,
          "Local cached file: " + c}},
        {"empty cache copy", nullptr, "", {A{0, true, "installer"}}, 0, cache,
         {"Already in cache: " + c, "Verification failed: " + c + " (80096010)", "Download failed: 80096010",
          "Download: " + u, "Local cached file: " + c}},
        {"changed download three times: never taken", nullptr, nullptr,
         {A{0, true, "changed"}, A{0, true, "changed"}, A{0, true, "changed"}}, 0x80096010, L"",
         {"Download: " + u, "Verification failed: " + c + " (80096010)", "Download failed: 80096010",
          "Download: " + u, "Verification failed: " + c + " (80096010)", "Download failed: 80096010",
          "Download: " + u, "Verification failed: " + c + " (80096010)", "Download failed: 80096010",
          "Download failed: 80096010"}},
        {"error page, network failure, then the installer", nullptr, nullptr,
         {A{0x80190194, true, "<html>404</html>"}, A{0x800C0008, false, ""}, A{0, true, "installer"}}, 0, cache,
         {"Download: " + u, "Download failed: 80190194", "Download: " + u, "Download failed: 800c0008",
          "Download: " + u, "Local cached file: " + c}},
        {"truncated download, then a server failure last", "changed", nullptr,
         {A{0, true, "instal"}, A{0, true, "installer!"}, A{0x800C0007, false, ""}}, 0x800C0007, L"",
         {"Local redist: " + r, "Verification failed: " + r + " (80096010)", "Download: " + u,
          "Verification failed: " + c + " (80096010)", "Download failed: 80096010", "Download: " + u,
          "Verification failed: " + c + " (80096010)", "Download failed: 80096010", "Download: " + u,
          "Download failed: 800c0007", "Download failed: 800c0007"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        LogFixture fresh;
        fresh.Initialize();
        FakeFileSystem fs;
        fs.temp = kTemp;
        FakeResources res;
        res.strings[170] = L"Could not download: \r\n%s \r\n\r\n%s";
        FakeDownloader dl(fs);
        dl.script.assign(k.downloads.begin(), k.downloads.end());
        FakeInstallerTrust trust(fs);
        PrerequisiteTrustPolicy policy;
        policy.hashListGiven = true;
        policy.hashes = {{L"gs950w64.exe", DigestOf("installer")}};
        CInstallerVerifier verifier(trust, policy);
        if (k.redistContent) fs.AddFile(redist, k.redistContent);
        if (k.cacheContent) fs.AddFile(cache, k.cacheContent);
        std::vector<std::string> lines;
        {
            CBinaryResourceExtractor e(res, fs, dl, verifier);
            e.localRedistFolder = L"D:\\media\\redist";
            VerifiedFile held;
            std::wstring result, error;
            EXPECT_EQ(e.ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript", held), k.result);
            EXPECT_EQ(result, k.resultPath);
            EXPECT_EQ(dl.calls.size(), k.downloads.size());
            if (k.result == 0) {
                EXPECT_TRUE(held.IsOpen());
                EXPECT_EQ(held.Path(), k.resultPath);
                EXPECT_EQ(trust.OpenPaths(), std::vector<std::wstring>{k.resultPath}) << "only the verified file";
                EXPECT_EQ(fs.Content(k.resultPath), "installer");
                EXPECT_EQ(error, L"");
            } else {
                EXPECT_FALSE(held.IsOpen());
                EXPECT_TRUE(trust.OpenPaths().empty());
                EXPECT_FALSE(fs.Has(cache)) << "no failed copy stays in the cache";
                EXPECT_EQ(error.substr(0, 21), L"Could not download: \r");
            }
            // The administrator's file is never deleted, whatever it holds.
            if (k.redistContent) {
                EXPECT_EQ(fs.Content(redist), k.redistContent);
            }
            lines = fresh.Texts("ResourceExtractor");
        }
        ASSERT_FALSE(lines.empty());
        std::vector<std::string> obtained(lines.begin() + 2, lines.end());
        // Drop the deletion lines of the end.
        while (!obtained.empty() && obtained.back().rfind("Delete: ", 0) == 0) obtained.pop_back();
        EXPECT_EQ(obtained, k.lines);
    }
}

// A cache copy that fails and cannot be deleted (another process holds it) fails every attempt, is not run, and
// is recorded once for deletion at the end.
TEST(PayloadVerificationTest, AnUndeletableFailedCopyIsRecordedOnce)
{
    LogFixture fresh;
    fresh.Initialize();
    FakeFileSystem fs;
    fs.temp = kTemp;
    FakeResources res;
    FakeDownloader dl(fs);
    FakeInstallerTrust trust(fs);
    CInstallerVerifier verifier(trust, PrerequisiteTrustPolicy{});
    // A copy this run put into its working folder, held by another process of the run (an installer's child).
    const std::wstring cache = kWorkS + L"gs950w64.exe";
    fs.AddFile(cache, "planted");
    trust.SetSignature(cache, 0x800B0100, L"");
    fs.failDelete = true;
    CBinaryResourceExtractor e(res, fs, dl, verifier);
    VerifiedFile held;
    std::wstring result, error;
    EXPECT_EQ(e.ObtainPayload(result, error, L"http://x/gs950w64.exe", L"gs950w64.exe", L"Ghostscript", held),
              0x800B0100u);
    EXPECT_TRUE(dl.calls.empty());
    EXPECT_EQ(trust.signatureChecks.size(), 3u);
    EXPECT_EQ(e.filesToDelete, std::vector<std::wstring>{cache});
    EXPECT_FALSE(held.IsOpen());
}

}  // namespace
