// Tests of the log file: line format, bounds, day change with backups, pruning and concurrency.
#include <gtest/gtest.h>

#include <thread>

#include "support/FakeLogPlatform.h"

namespace {

const std::wstring kLogFolder = L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup\\logs";
const std::wstring kLogFile = kLogFolder + L"\\Setup.log";
const std::wstring kBak = kLogFolder + L"\\bak";

TEST(Log, NothingHappensBeforeInitialize)
{
    LogFixture log;
    LogMessage(L"BootStrapper", L"too early");
    LogFormat(L"BootStrapper", L"%s", L"too early");
    EXPECT_TRUE(log.files.folders.empty());
    EXPECT_TRUE(log.files.files.empty());
}

TEST(Log, InitializeBuildsTheFoldersOnce)
{
    LogFixture log;
    log.Initialize();
    log.Initialize(L"Other");
    EXPECT_EQ(LogFilePath(), kLogFile);
    const std::set<std::wstring> expected = {
        L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp\\KELVARO GmbH",
        L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup", kLogFolder};
    EXPECT_EQ(log.files.folders, expected);
    // Each folder from the temporary folder down is opened without following links, in order.
    const std::vector<std::wstring> opened = {L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp",
                                              L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp\\KELVARO GmbH",
                                              L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup",
                                              kLogFolder};
    EXPECT_EQ(log.files.opened, opened);
}

// A folder of the log's path that is a link (junction, symbolic link, mount point) or no folder at all: nothing is
// written, moved or deleted through it, and the lines are lost silently.
TEST(Log, AFolderThatIsALinkLosesTheLinesAndIsNotTouched)
{
    const std::wstring temp = L"C:\\Users\\Jörg Weiß\\AppData\\Local\\Temp";
    struct Case {
        const char* name;
        std::wstring link;
        bool notFolder;
    };
    const Case cases[] = {
        {"the temporary folder", temp, false},
        {"KELVARO GmbH", temp + L"\\KELVARO GmbH", false},
        {"Setup", temp + L"\\KELVARO GmbH\\Setup", false},
        {"logs", kLogFolder, false},
        {"logs is a file", kLogFolder, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogFixture log;
        (c.notFolder ? log.files.notFolders : log.files.links).insert(c.link);
        // What an earlier run left: yesterday's log and six backups, all of which a rotation would touch.
        log.files.folders.insert(kLogFolder);
        log.files.folders.insert(kBak);
        log.files.AddFile(kLogFile, {2026, 3, 4, 1, 0, 0});
        for (int day = 20; day < 26; ++day) log.files.AddFile(kBak + L"\\202602" + std::to_wstring(day) + L".log", {2026, 2, day, 1, 0, 0});
        const auto before = log.files.files;
        log.Initialize();
        LogMessage(L"BootStrapper", L"lost");
        EXPECT_EQ(LogFilePath(), L"");
        EXPECT_TRUE(log.files.moves.empty());
        EXPECT_TRUE(log.files.deletes.empty());
        EXPECT_EQ(log.files.files.size(), before.size());
        EXPECT_EQ(log.files.files[kLogFile].content, "old\r\n");
        // Nothing below the link was opened.
        EXPECT_EQ(log.files.opened.back(), c.link);
    }
}

// The backup folder is opened the same way: when it is a link, the active file is neither moved nor are backups
// pruned, and the lines go on into the active file.
TEST(Log, ABackupFolderThatIsALinkIsNeitherMovedIntoNorPruned)
{
    LogFixture log;
    log.Initialize();
    log.files.links.insert(kBak);
    log.files.AddFile(kLogFile, {2026, 3, 4, 1, 0, 0});
    LogMessage(L"BootStrapper", L"first");
    EXPECT_TRUE(log.files.moves.empty());
    EXPECT_TRUE(log.files.deletes.empty());
    EXPECT_EQ(log.Content(), "old\r\n03-05 14:07:09 BootStrapper         first\r\n");
}

// Rotation moves, and pruning deletes, plain files only: a backup that is a link is left alone (and does not
// count among the five), and an active file that is a link is neither moved nor written.
TEST(Log, OnlyPlainFilesAreMovedOrDeleted)
{
    LogFixture log;
    log.Initialize();
    log.files.folders.insert(kBak);
    for (int day = 20; day < 26; ++day) log.files.AddFile(kBak + L"\\202602" + std::to_wstring(day) + L".log", {2026, 2, day, 1, 0, 0});
    log.files.unsafeFiles.insert(kBak + L"\\20260220.log");
    log.files.AddFile(kLogFile, {2026, 3, 4, 1, 0, 0});
    LogMessage(L"T", L"first");
    EXPECT_EQ(log.files.moves, std::vector<std::wstring>{kLogFile + L" -> " + kBak + L"\\20260305.log"});
    // Five plain backups and the moved file: the oldest plain one goes; the link stays.
    EXPECT_EQ(log.files.deletes, std::vector<std::wstring>{kBak + L"\\20260221.log"});
    EXPECT_EQ(log.files.files.count(kBak + L"\\20260220.log"), 1u);

    LogFixture linked;
    linked.Initialize();
    linked.files.folders.insert(kBak);
    linked.files.AddFile(kLogFile, {2026, 3, 4, 1, 0, 0});
    linked.files.unsafeFiles.insert(kLogFile);
    LogMessage(L"T", L"lost");
    EXPECT_TRUE(linked.files.moves.empty());
    EXPECT_EQ(linked.files.files[kLogFile].content, "old\r\n");
}

TEST(Log, LineFormatPadsTheTagToTwentyAndKeepsLongerTagsWhole)
{
    LogFixture log;
    log.Initialize();
    LogFormat(L"BootStrapper", L"Setup v%s", L"6.7.3.319");
    LogMessage(L"CFeatureSelectionPage", L"OnSetActive");
    LogMessage(L"", L"");
    const std::string expected =
        "03-05 14:07:09 BootStrapper         Setup v6.7.3.319\r\n"
        "03-05 14:07:09 CFeatureSelectionPage OnSetActive\r\n"
        "03-05 14:07:09                      \r\n";
    EXPECT_EQ(log.Content(), expected);
}

TEST(Log, FormatIsBoundedTo511CharactersAndNullWritesNothing)
{
    LogFixture log;
    log.Initialize();
    LogFormat(L"CommandLineParser", nullptr, L"x");
    EXPECT_EQ(log.Content(), "");
    LogFormat(L"CommandLineParser", L"param: %s", std::wstring(40000, L'z'));
    LogMessage(L"BootStrapper", L"after");
    const auto lines = log.RawLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 15u + 20u + 1u + 511u);
    EXPECT_EQ(lines[0].substr(36, 8), "param: z");
    EXPECT_EQ(lines[1].substr(36), "after");
}

TEST(Log, UnrepresentableCharactersDoNotStopLaterLines)
{
    LogFixture log;
    log.Initialize();
    LogFormat(L"InstallController", L"CustomConfigPath: %s", L"D:\\Konfiguration\\Łódź\\Ωmega");
    LogMessage(L"BootStrapper", L"Done");
    const auto lines = log.RawLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(36), "CustomConfigPath: D:\\Konfiguration\\?\xF3" "d?\\?mega");
    EXPECT_EQ(lines[1].substr(36), "Done");
}

TEST(Log, UnwritableFolderLosesLinesSilently)
{
    LogFixture log;
    log.files.failFolders = true;
    log.Initialize();
    LogMessage(L"BootStrapper", L"lost");
    EXPECT_TRUE(log.files.files.empty());
}

struct DayChangeCase {
    const char* name;
    LocalTime created;             // creation time of an existing Setup.log (year 0: none)
    bool backupOfTodayExists;
    bool expectMoved;
};

TEST(Log, DayChangeCheckOnFirstLine)
{
    const DayChangeCase cases[] = {
        {"yesterday's file is moved", {2026, 3, 4, 23, 59, 0}, false, true},
        {"last year's file of the same day is moved", {2025, 3, 5, 10, 0, 0}, false, true},
        {"today's file is appended to", {2026, 3, 5, 0, 0, 1}, false, false},
        {"no file yet", {0, 0, 0, 0, 0, 0}, false, false},
        {"backup of today exists: old file keeps growing", {2026, 3, 4, 8, 0, 0}, true, false},
    };
    for (const DayChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogFixture log;
        log.Initialize();
        log.files.folders.insert(kBak);
        if (c.created.year) log.files.AddFile(kLogFile, c.created, "old\r\n");
        if (c.backupOfTodayExists) log.files.AddFile(kBak + L"\\20260305.log", {2026, 3, 5, 0, 0, 0}, "earlier\r\n");
        LogMessage(L"BootStrapper", L"first");

        const std::string newLine = "03-05 14:07:09 BootStrapper         first\r\n";
        if (c.expectMoved) {
            EXPECT_EQ(log.files.files[kBak + L"\\20260305.log"].content, "old\r\n");
            EXPECT_EQ(log.Content(), newLine);
            // The new file must not inherit the moved file's creation time.
            EXPECT_EQ(log.files.stamped, std::vector<std::wstring>{kLogFile});
            EXPECT_TRUE(log.files.files[kLogFile].created.SameDay(log.clock.now));
        } else {
            EXPECT_EQ(log.Content(), (c.created.year ? std::string("old\r\n") : std::string()) + newLine);
            EXPECT_TRUE(log.files.stamped.empty());
        }
        if (c.backupOfTodayExists) {
            EXPECT_EQ(log.files.files[kBak + L"\\20260305.log"].content, "earlier\r\n");
        }
    }
}

TEST(Log, FileIsExaminedOnlyForTheFirstLineAndAfterTheDateChanged)
{
    LogFixture log;
    log.Initialize();
    log.files.AddFile(kLogFile, {2026, 3, 5, 9, 0, 0}, "");
    LogMessage(L"T", L"one");
    // Another process could replace the file; a running process only looks again after midnight.
    log.files.files[kLogFile].created = {2026, 3, 1, 0, 0, 0};
    LogMessage(L"T", L"two");
    EXPECT_EQ(log.files.files.count(kBak + L"\\20260305.log"), 0u);

    log.files.files[kLogFile].created = {2026, 3, 5, 9, 0, 0};
    log.clock.now = {2026, 3, 6, 0, 0, 2};
    LogMessage(L"T", L"after midnight");
    ASSERT_EQ(log.files.files.count(kBak + L"\\20260306.log"), 1u);
    EXPECT_EQ(SplitLines(log.files.files[kBak + L"\\20260306.log"].content).size(), 2u);
    EXPECT_EQ(log.RawLines(), std::vector<std::string>{"03-06 00:00:02 T                    after midnight"});
}

TEST(Log, BackupsArePrunedToTheFiveNewestByCreationTimeThenNameThenLastWrite)
{
    LogFixture log;
    log.Initialize();
    log.files.folders.insert(kBak);
    // Six backups present; with the move there are seven and the two oldest go.
    log.files.AddFile(kBak + L"\\20260220.log", {2026, 2, 20, 1, 0, 0});
    log.files.AddFile(kBak + L"\\20260221.log", {2026, 2, 21, 1, 0, 0});
    log.files.AddFile(kBak + L"\\20260222.log", {2026, 2, 21, 1, 0, 0});  // same creation time, larger name
    log.files.AddFile(kBak + L"\\20260223.log", {2026, 2, 23, 1, 0, 0});
    log.files.AddFile(kBak + L"\\20260224.log", {2026, 2, 24, 1, 0, 0});
    log.files.AddFile(kBak + L"\\notes.txt", {2000, 1, 1, 1, 0, 0});     // not a .log file: never pruned
    log.files.AddFile(kBak + L"\\a.log", {2026, 2, 25, 1, 0, 0});
    log.files.AddFile(kLogFile, {2026, 3, 4, 1, 0, 0});
    LogMessage(L"T", L"first");

    std::vector<std::wstring> left;
    for (const auto& [path, file] : log.files.files) {
        if (FakeLogFiles::Parent(path) == kBak) left.push_back(path.substr(kBak.size() + 1));
    }
    const std::vector<std::wstring> expected = {L"20260222.log", L"20260223.log", L"20260224.log",
                                                L"20260305.log", L"a.log", L"notes.txt"};
    EXPECT_EQ(left, expected);
}

TEST(Log, EqualCreationTimesAreOrderedByNameWithAPrefixFirst)
{
    // Six backups with equal creation times: the names decide, a prefix first.
    LogFixture log;
    log.Initialize();
    log.files.folders.insert(kBak);
    const LocalTime same{2026, 2, 1, 1, 0, 0};
    for (const wchar_t* name : {L"b.log", L"a.log", L"ab.log", L"c.log", L"d.log", L"e.log"})
        log.files.AddFile(kBak + L"\\" + name, same);
    log.files.AddFile(kLogFile, {2026, 3, 4, 1, 0, 0});
    LogMessage(L"T", L"first");
    EXPECT_EQ(log.files.files.count(kBak + L"\\a.log"), 0u);
    EXPECT_EQ(log.files.files.count(kBak + L"\\ab.log"), 0u);
    EXPECT_EQ(log.files.files.count(kBak + L"\\b.log"), 1u);
    EXPECT_EQ(log.files.files.count(kBak + L"\\20260305.log"), 1u);
}

TEST(Log, ThreadsLoggingAtOnceWriteOnlyWholeLines)
{
    LogFixture log;
    log.Initialize();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) LogFormat(L"Worker", L"thread %d line %d of a longer text", t, i);
        });
    }
    for (auto& th : threads) th.join();
    const auto entries = log.Entries();
    ASSERT_EQ(entries.size(), 800u);
    std::map<int, int> nextPerThread;
    for (const LogEntry& e : entries) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(e.text.c_str(), "thread %d line %d of a longer text", &t, &i), 2) << e.text;
        EXPECT_EQ(e.tag, "Worker");
        EXPECT_EQ(i, nextPerThread[t]++);
    }
}

TEST(DebugTrace, ValueIsAppendedInLowerCaseHexadecimalWithoutLeadingZeros)
{
    const struct {
        uint32_t value;
        const char* line;
    } cases[] = {
        {0, "Code 0x0"},
        {5, "Code 0x5"},
        {1062, "Code 0x426"},
        {0x80004005u, "Code 0x80004005"},
        {0xFFFFFFFFu, "Code 0xffffffff"},
    };
    for (const auto& c : cases) {
        DebugRecorder debug;
        DebugTraceValue("Code", c.value);
        EXPECT_EQ(debug.lines, std::vector<std::string>({c.line})) << c.value;
    }
    DebugRecorder debug;
    DebugTraceValue(nullptr, 0x1A);
    EXPECT_EQ(debug.lines, std::vector<std::string>({" 0x1a"}));
}

// Records what the log tells an observer of its file, and what the file held at that moment.
class RecordingObserver : public ILogFileObserver {
public:
    explicit RecordingObserver(LogFixture& log) : log_(log) { LogSetFileObserver(this); }
    ~RecordingObserver() override { LogSetFileObserver(nullptr); }
    void LogFileWritten(const std::wstring& path) override
    {
        told.push_back(path);
        contentWhenTold.push_back(log_.files.files.count(path) ? log_.files.files[path].content : "<missing>");
    }
    std::vector<std::wstring> told;
    std::vector<std::string> contentWhenTold;

private:
    LogFixture& log_;
};

TEST(Log, ObserverIsToldOfEachNewFileAfterItsFirstLine)
{
    LogFixture log;
    RecordingObserver observer(log);
    log.files.failFolders = true;
    log.Initialize();
    LogMessage(L"T", L"lost");
    EXPECT_TRUE(observer.told.empty()) << "no file was written";

    LogResetForTesting();
    log.files.failFolders = false;
    log.Initialize();
    log.files.folders.insert(kBak);
    log.files.AddFile(kLogFile, {2026, 3, 5, 9, 0, 0}, "");
    LogMessage(L"T", L"one");
    LogMessage(L"T", L"two");
    EXPECT_EQ(observer.told, std::vector<std::wstring>{kLogFile});
    EXPECT_EQ(observer.contentWhenTold, std::vector<std::string>{"03-05 14:07:09 T                    one\r\n"});

    // After midnight the file moves into the backups: the new file at the same path is told once more.
    log.clock.now = {2026, 3, 6, 0, 0, 2};
    LogMessage(L"T", L"three");
    LogMessage(L"T", L"four");
    ASSERT_EQ(log.files.files.count(kBak + L"\\20260306.log"), 1u);
    EXPECT_EQ(observer.told, (std::vector<std::wstring>{kLogFile, kLogFile}));
    EXPECT_EQ(observer.contentWhenTold[1], "03-06 00:00:02 T                    three\r\n");
}

}  // namespace
