// Tests of the payload extractor: extraction, the sources of a prerequisite installer, retries, error text
// and the deletion of every file it obtained.
#include <gtest/gtest.h>

#include <memory>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/PayloadExtractor.h"

namespace {

const std::wstring kTemp = L"C:\\Users\\tester\\AppData\\Local\\Temp\\";
const std::string kTempA = "C:\\Users\\tester\\AppData\\Local\\Temp\\";
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
        extractor = std::make_unique<CBinaryResourceExtractor>(resources, files, downloader);
    }

    std::vector<std::string> Lines() { return log.Texts("ResourceExtractor"); }

    LogFixture log;
    FakeFileSystem files;
    FakeResources resources;
    FakeDownloader downloader{files};
    std::unique_ptr<CBinaryResourceExtractor> extractor;

    const std::wstring url = std::wstring(DownloadBaseUrl) + L"Windows/redist/gs950w64.exe";
    const std::wstring cachePath = kTemp + L"gs950w64.exe";
};

TEST_F(PayloadExtractorTest, ConstructionTakesTheTemporaryFolder)
{
    EXPECT_EQ(extractor->tempFolder, kTemp);
    EXPECT_EQ(extractor->localRedistFolder, L"");
    EXPECT_TRUE(extractor->filesToDelete.empty());
    EXPECT_EQ(extractor->parentWindow, 0u);
    EXPECT_EQ(Lines(), std::vector<std::string>{"Temp path: " + kTempA});
    const std::wstring base = DownloadBaseUrl;
    ASSERT_GE(base.size(), 17u);
    EXPECT_EQ(base.substr(base.size() - 17), L"/kelvaro/clients/");
}

TEST_F(PayloadExtractorTest, ExtractWritesStraightFromTheResourceAndMissingIdsGiveEmptyFiles)
{
    const std::wstring msi = extractor->ExtractResource(L"BIN", 130, L"KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi");
    const std::wstring missing = extractor->ExtractResource(L"BIN", 133, L"nothing.bin");
    files.failWrite.insert(kTemp + L"locked.exe");
    const std::wstring locked = extractor->ExtractResource(L"BIN", 131, L"locked.exe");

    EXPECT_EQ(msi, kTemp + L"KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi");
    EXPECT_EQ(files.Content(msi), kPayload130);
    ASSERT_EQ(files.writeCalls.size(), 3u);
    // The bytes are handed over where the resource lies, not copied first.
    EXPECT_EQ(files.writeCalls[0].data, static_cast<const void*>(resources.payloads[{L"BIN", 130}].data()));
    EXPECT_EQ(files.writeCalls[0].size, kPayload130.size());

    EXPECT_EQ(missing, kTemp + L"nothing.bin");
    EXPECT_TRUE(files.Has(missing));
    EXPECT_EQ(files.Content(missing), "");
    EXPECT_EQ(files.writeCalls[1].size, 0u);

    // A file that cannot be written is still returned and recorded.
    EXPECT_EQ(locked, kTemp + L"locked.exe");
    EXPECT_FALSE(files.Has(locked));
    EXPECT_EQ(extractor->filesToDelete, (std::vector<std::wstring>{msi, missing, locked}));

    const std::vector<std::string> expected = {"Temp path: " + kTempA,
                                               "Extract: " + kTempA + "KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi",
                                               "Extract: " + kTempA + "nothing.bin", "Extract: " + kTempA + "locked.exe"};
    EXPECT_EQ(Lines(), expected);
}

TEST_F(PayloadExtractorTest, AnExceptionDuringExtractionGivesAnEmptyPath)
{
    resources.throwOnAccess = true;
    EXPECT_EQ(extractor->ExtractResource(L"BIN", 130, L"a.msi"), L"");
    EXPECT_TRUE(extractor->filesToDelete.empty());
    EXPECT_EQ(files.FileCount(), 0u);
}

TEST_F(PayloadExtractorTest, DestructionDeletesEveryRecordedFileInOrderAndIgnoresFailures)
{
    const std::wstring a = extractor->ExtractResource(L"BIN", 130, L"a.msi");
    const std::wstring b = extractor->ExtractResource(L"BIN", 131, L"b.exe");
    std::wstring result, error;
    ASSERT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript"), 0u);
    ASSERT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript"), 0u);
    files.AddFile(L"C:\\unrelated.txt");
    extractor.reset();

    // The download obtained twice is deleted twice; the second deletion fails without a trace.
    EXPECT_EQ(files.deleteCalls, (std::vector<std::wstring>{a, b, cachePath, cachePath}));
    EXPECT_EQ(files.FileCount(), 1u);
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 4u);
    const std::vector<std::string> tail(lines.end() - 4, lines.end());
    const std::vector<std::string> expected = {"Delete: " + kTempA + "a.msi", "Delete: " + kTempA + "b.exe",
                                               "Delete: " + Narrow(cachePath), "Delete: " + Narrow(cachePath)};
    EXPECT_EQ(tail, expected);
}

TEST_F(PayloadExtractorTest, DeletionFailuresDoNotStopTheOthers)
{
    extractor->ExtractResource(L"BIN", 130, L"a.msi");
    extractor->ExtractResource(L"BIN", 131, L"b.exe");
    files.failDelete = true;
    extractor.reset();
    EXPECT_EQ(files.deleteCalls.size(), 2u);
    EXPECT_EQ(Lines().back(), "Delete: " + kTempA + "b.exe");
}

TEST_F(PayloadExtractorTest, LocalRedistFolderComesFirstAndIsNeverDeleted)
{
    for (const std::wstring folder : {L"D:\\media\\redist", L"D:\\media\\redist\\"}) {
        files.AddFile(L"D:\\media\\redist\\gs950w64.exe");
        files.AddFile(cachePath);
        extractor->localRedistFolder = folder;
        std::wstring result, error = L"untouched";
        EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript"), 0u);
        EXPECT_EQ(result, L"D:\\media\\redist\\gs950w64.exe");
        EXPECT_EQ(error, L"untouched");
        EXPECT_EQ(Lines().back(), "Local redist: D:\\media\\redist\\gs950w64.exe");
    }
    EXPECT_TRUE(downloader.calls.empty());
    EXPECT_TRUE(extractor->filesToDelete.empty());
    extractor.reset();
    EXPECT_TRUE(files.deleteCalls.empty());
}

TEST_F(PayloadExtractorTest, WithoutALocalFolderTheDriveRootIsNotSearched)
{
    files.AddFile(L"\\gs950w64.exe");
    std::wstring result, error;
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript"), 0u);
    EXPECT_EQ(result, cachePath);
    EXPECT_EQ(downloader.calls.size(), 1u);
}

TEST_F(PayloadExtractorTest, CachedFileIsUsedAndDeletedAtTheEnd)
{
    extractor->localRedistFolder = L"D:\\redist";
    files.AddFile(cachePath, "from an earlier run");
    std::wstring result, error;
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript"), 0u);
    EXPECT_EQ(result, cachePath);
    EXPECT_TRUE(downloader.calls.empty());
    EXPECT_EQ(extractor->filesToDelete, std::vector<std::wstring>{cachePath});
    const std::vector<std::string> expected = {"Temp path: " + kTempA, "Already in cache: " + Narrow(cachePath),
                                               "Local cached file: " + Narrow(cachePath)};
    EXPECT_EQ(Lines(), expected);
    extractor.reset();
    EXPECT_FALSE(files.Has(cachePath));
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
        dl.script.assign(k.attempts.begin(), k.attempts.end());
        std::vector<std::string> lines;
        {
            CBinaryResourceExtractor e(resources, fs, dl);
            e.parentWindow = 0x1234;
            std::wstring result = L"untouched", error = L"untouched";
            EXPECT_EQ(e.ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript 9.50"), k.result);
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
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), k.lines);
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
        EXPECT_EQ(extractor->ObtainPayload(result, error, c.url, L"x.exe", L".NET Framework 4.7.2"), 0x800C0008u);
        EXPECT_EQ(error, L"Could not download: \r\n.NET Framework 4.7.2 \r\n\r\n" + c.shown);
    }
    EXPECT_EQ(downloader.calls.size(), 9u);
}

TEST_F(PayloadExtractorTest, AnExceptionWhileObtainingGivesEFailWithoutTexts)
{
    downloader.otherwise = {0x800C0008, false, ""};
    resources.throwOnAccess = true;  // the error text cannot be loaded
    std::wstring result = L"untouched", error = L"untouched";
    EXPECT_EQ(extractor->ObtainPayload(result, error, url, L"gs950w64.exe", L"Ghostscript"), kEFail);
    EXPECT_EQ(result, L"untouched");
    EXPECT_EQ(error, L"untouched");
    EXPECT_EQ(downloader.calls.size(), 3u);
}

}  // namespace
