// The administrators' switches: parsing of /?, /log, /extract and /layout, the usage text against the parser's
// table, the log file of the administrator's choice, and the extract, layout and usage runs.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app/CommandLineParser.h"
#include "app/SetupRun.h"
#include "support/FakeEngine.h"
#include "support/ParseArguments.h"

using namespace engine_fake;

namespace {

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

std::string Hex(uint32_t value)
{
    std::ostringstream out;
    out << std::hex << value;
    return out.str();
}

std::string DescribeAdmin(const SetupOptions& o)
{
    std::wstring w = o.showUsage ? L"usage " : L"";
    w += o.uninstall ? L"uninstall " : L"";
    w += L"log[" + o.logFile + L"] extract[" + o.extractFolder + L"] layout[" + o.layoutFolder + L"] missing[" +
         o.switchWithoutPath + L"] rem[" + o.removeFeatures + L"]";
    return Narrow(w);
}

TEST(AdminSwitches, ParsingOfTheNewSwitches)
{
    const struct {
        std::vector<std::wstring> args;
        const char* expected;
    } cases[] = {
        {{L"/?"}, "usage log[] extract[] layout[] missing[] rem[]"},
        {{L"-h"}, "usage log[] extract[] layout[] missing[] rem[]"},
        {{L"/HELP", L"/x"}, "usage uninstall log[] extract[] layout[] missing[] rem[]"},
        {{L"/log", L"C:\\logs\\kelvaro setup.log"}, "log[C:\\logs\\kelvaro setup.log] extract[] layout[] missing[] rem[]"},
        {{L"/x", L"-LOG", L"setup.log"}, "uninstall log[setup.log] extract[] layout[] missing[] rem[]"},
        // The path is no argument of its own: a file named like a property stays a file name.
        {{L"/log", L"REMOVE.log"}, "log[REMOVE.log] extract[] layout[] missing[] rem[]"},
        {{L"/log", L"a.log", L"/log", L"b.log"}, "log[b.log] extract[] layout[] missing[] rem[]"},
        {{L"/x", L"/log"}, "uninstall log[] extract[] layout[] missing[/log] rem[]"},
        {{L"/log", L"/x"}, "uninstall log[] extract[] layout[] missing[/log] rem[]"},
        {{L"/log", L""}, "log[] extract[] layout[] missing[/log] rem[]"},
        {{L"/extract", L"D:\\Out", L"/x"}, "uninstall log[] extract[D:\\Out] layout[] missing[] rem[]"},
        {{L"/layout", L"\\\\server\\share\\kelvaro"}, "log[] extract[] layout[\\\\server\\share\\kelvaro] missing[] rem[]"},
        {{L"/Layout"}, "log[] extract[] layout[] missing[/layout] rem[]"},
        {{L"/extract", L"/layout", L"E:\\L"}, "log[] extract[] layout[E:\\L] missing[/extract] rem[]"},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        EXPECT_EQ(DescribeAdmin(Parse(c.args)), c.expected) << "first argument: " << Narrow(c.args[0]);
    }
}

TEST(AdminSwitches, TheSwitchIsLoggedThenItsPath)
{
    LogFixture log;
    log.Initialize();
    Parse({L"/log", L"C:\\logs\\kelvaro setup.log", L"/extract", L"D:\\Out", L"/layout", L"E:\\L", L"/?"});
    const std::vector<std::string> expected = {
        "bFlag: 1, bLast: 0, param: log",     "Log file: C:\\logs\\kelvaro setup.log",
        "bFlag: 1, bLast: 0, param: extract", "Extract folder: D:\\Out",
        "bFlag: 1, bLast: 0, param: layout",  "Layout folder: E:\\L",
        "bFlag: 1, bLast: 1, param: ?",       "usage",
    };
    EXPECT_EQ(log.Texts("CommandLineParser"), expected);
}

TEST(AdminSwitches, TheLogFileIsFoundBeforeParsingAsTheParserTakesIt)
{
    const struct {
        std::vector<std::wstring> args;
        const wchar_t* expected;
    } cases[] = {
        {{}, L""},
        {{L"/log"}, L""},
        {{L"/log", L"/x"}, L""},
        {{L"/x", L"/LOG", L"C:\\a b\\s.log"}, L"C:\\a b\\s.log"},
        {{L"-log", L"1.log", L"/log", L"2.log"}, L"2.log"},
        // The path of /extract is no switch, even when it reads like one.
        {{L"/extract", L"-log", L"x.log"}, L""},
        {{L"/log", L"/log", L"x.log"}, L"x.log"},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> argv = {L"Setup.exe"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(FindLogFileArgument(argv), c.expected) << c.args.size() << " arguments";
        LogFixture log;
        log.Initialize();
        EXPECT_EQ(Parse(c.args).logFile, c.expected) << "the parser agrees";
    }
}

// The string IDS_USAGE of a string table file, unescaped (UTF-8).
std::string UsageText(const std::string& rcFile)
{
    std::ifstream in(std::string(SETUP_SOURCE_DIR) + "/resources/" + rcFile);
    std::string line;
    while (std::getline(in, line)) {
        const size_t id = line.find("IDS_USAGE");
        if (id == std::string::npos) continue;
        const size_t open = line.find('"', id);
        const size_t close = line.rfind('"');
        std::string raw = line.substr(open + 1, close - open - 1), text;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"') text += raw[i++];
            else if (raw[i] == '\\' && i + 1 < raw.size()) {
                const char e = raw[++i];
                text += e == 'r' ? '\r' : e == 'n' ? '\n' : e;
            } else text += raw[i];
        }
        return text;
    }
    return std::string();
}

TEST(AdminSwitches, UsageTextAndReadmeNameEverySwitchOfTheParserAndNoOther)
{
    std::set<std::string> words;
    for (const std::wstring& w : CommandLineSwitchWords()) words.insert(Narrow(w));
    ASSERT_TRUE(words.count("log") && words.count("extract") && words.count("layout") && words.count("?"));

    for (const char* file : {"lang_en.rc", "lang_de.rc", "lang_fr.rc", "lang_nl.rc"}) {
        const std::string text = UsageText(file);
        ASSERT_FALSE(text.empty()) << file;
        std::set<std::string> shown;
        const std::regex token(R"(/([A-Za-z?][A-Za-z!+]*))");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), token); it != std::sregex_iterator(); ++it)
            shown.insert((*it)[1]);
        for (const std::string& word : words) EXPECT_TRUE(shown.count(word)) << file << " lacks /" << word;
        for (const std::string& s : shown) {
            // Any other switch that begins with q is a user-interface level for msiexec.
            const bool qSwitch = s[0] == 'q' || s[0] == 'Q';
            EXPECT_TRUE(words.count(s) || qSwitch) << file << " shows /" << s << ", which the parser does not know";
        }
        for (const std::wstring& name : CommandLinePropertyNames())
            EXPECT_NE(text.find(Narrow(name) + "="), std::string::npos) << file << " lacks " << Narrow(name);
    }

    std::ifstream readme(std::string(SETUP_SOURCE_DIR) + "/README.md");
    std::stringstream content;
    content << readme.rdbuf();
    for (const std::string& word : words)
        EXPECT_NE(content.str().find("`/" + word), std::string::npos) << "README lacks /" << word;
}

TEST(AdminSwitches, ALogFileOfTheAdministratorsChoice)
{
    LogFixture log;
    log.files.links.insert(L"C:\\linked");
    log.files.unsafeFiles.insert(L"C:\\logs\\hard.log");
    std::wstring why;
    EXPECT_FALSE(LogInitializeFile(L"C:\\linked\\sub\\s.log", why));
    EXPECT_EQ(why, L"Log file not used, its folder cannot be created or is a link: C:\\linked\\sub\\s.log");
    EXPECT_FALSE(log.files.folders.count(L"C:\\linked\\sub")) << "nothing is created below a link";
    EXPECT_FALSE(LogInitializeFile(L"C:\\logs\\hard.log", why));
    EXPECT_EQ(why, L"Log file not used, it cannot be written: C:\\logs\\hard.log");
    EXPECT_FALSE(LogInitializeFile(L"setup.log", why)) << "a relative path";

    // A file from an earlier day is appended to, not moved into backups.
    LocalTime yesterday = log.clock.now;
    yesterday.day -= 1;
    log.files.folders.insert(L"C:\\logs");
    log.files.folders.insert(L"C:\\logs\\kelvaro");
    log.files.AddFile(L"C:\\logs\\kelvaro\\setup run.log", yesterday, "earlier\r\n");
    why.clear();
    ASSERT_TRUE(LogInitializeFile(L"C:\\logs\\kelvaro\\setup run.log", why));
    EXPECT_EQ(why, L"");
    LogMessage(L"BootStrapper", L"line");
    EXPECT_EQ(LogFilePath(), L"C:\\logs\\kelvaro\\setup run.log");
    EXPECT_EQ(LogChosenFolder(), L"C:\\logs\\kelvaro");
    EXPECT_TRUE(log.files.moves.empty());
    EXPECT_EQ(log.RawLines().size(), 2u);
    EXPECT_EQ(log.RawLines()[0], "earlier");
}

TEST(AdminSwitches, FoldersOfAPathAreOpenedFromTheRootDown)
{
    const struct {
        const wchar_t* folder;
        bool ok;
        std::vector<std::wstring> opened;
    } cases[] = {
        {L"C:\\a\\b", true, {L"C:\\a", L"C:\\a\\b"}},
        {L"C:\\", true, {}},
        {L"C:", true, {}},
        {L"\\\\srv\\share\\k\\l", true, {L"\\\\srv\\share\\k", L"\\\\srv\\share\\k\\l"}},
        {L"\\\\srv\\share", true, {}},
        {L"\\\\srv", false, {}},
        {L"a\\b", false, {}},
        {L"C:a", false, {}},
        {L"C:\\link\\b", false, {L"C:\\link"}},
    };
    for (const auto& c : cases) {
        FakeClock clock;
        FakeLogFiles files{clock};
        files.links.insert(L"C:\\link");
        EXPECT_EQ(OpenFolderPath(files, c.folder), c.ok) << Narrow(c.folder);
        EXPECT_EQ(files.opened, c.opened) << Narrow(c.folder);
    }
}

class RecordingAdminHost : public IAdminHost {
public:
    std::vector<std::wstring> shown;
    std::wstring executable = L"C:\\Media\\Setup.exe";
    void ShowUsage(const std::wstring& caption, const std::wstring& text) override
    {
        shown.push_back(caption + L"|" + text);
    }
    std::wstring ExecutablePath() override { return executable; }
};

const std::wstring kFolder = L"C:\\Media\\";

TEST(AdminSwitches, UsageAndAMissingPathEndTheRunBeforeAnythingIsExtracted)
{
    Machine m;
    m.resources.strings[IDS_USAGE] = L"Setup.exe [switches]";
    RecordingAdminHost admin;
    SetupOptions options;
    options.showUsage = true;
    options.uninstall = true;
    options.switchWithoutPath = L"/log";
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr, nullptr, &admin), 0u);
    EXPECT_EQ(admin.shown, std::vector<std::wstring>({L"KELVARO VOV Client for Windows|Setup.exe [switches]"}));

    options.showUsage = false;
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr, nullptr, &admin), 1639u);
    EXPECT_EQ(m.log.Texts("BootStrapper"),
              std::vector<std::string>({"Show usage", "Done", "Invalid command line: /log"}));
    EXPECT_TRUE(m.files.writeCalls.empty());
    EXPECT_TRUE(m.files.privateFolders.empty()) << "no working folder";
    EXPECT_TRUE(m.launcher.commandLines.empty());
}

TEST(AdminSwitches, ExtractWritesThePayloadsAndNothingElseRuns)
{
    Machine m;
    m.Installed(kSameCode, L"6.7.3319");
    m.files.folders.insert(L"c:\\out");
    m.files.AddFile(L"C:\\Out\\CleanupInstallation.exe", "old tool");
    SetupOptions options;
    options.extractFolder = L"C:\\Out\\new\\";
    options.uninstall = true;
    options.quietFlags = L"qn REBOOT=Force";  // disregarded: nothing reaches a command line
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(m.files.Content(L"C:\\Out\\new\\" + PackageFileName(false)), "msi x86");
    EXPECT_EQ(m.files.Content(L"C:\\Out\\new\\" + PackageFileName(true)), "msi x64");
    EXPECT_EQ(m.files.Content(L"C:\\Out\\new\\CleanupInstallation.exe"), "clean tool");
    EXPECT_TRUE(m.launcher.commandLines.empty());
    EXPECT_TRUE(m.files.privateFolders.empty()) << "no working folder, no detection";
    EXPECT_EQ(m.log.Texts("BootStrapper"), std::vector<std::string>({"Done"}));

    // Into the existing folder: a plain file of that name is replaced.
    options.extractFolder = L"C:\\Out";
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(m.files.Content(L"C:\\Out\\CleanupInstallation.exe"), "clean tool");
}

TEST(AdminSwitches, AFileThatCannotBeWrittenEndsTheExtractWithItsError)
{
    const struct {
        const char* name;
        uint32_t writeError;  // of the x64 package
        bool link;            // the x64 package's name is a link
        uint32_t expected;
    } cases[] = {
        {"disk full", 112, false, 112},
        {"a link in the file's place", 0, true, 80},
    };
    for (const auto& c : cases) {
        Machine m;
        const std::wstring x64 = L"D:\\Out\\" + PackageFileName(true);
        if (c.writeError) m.files.failWrite[x64] = c.writeError;
        if (c.link) {
            m.files.AddFile(x64, "elsewhere");
            m.files.unsafeFiles.insert(fake::Fold(x64));
        }
        SetupOptions options;
        options.extractFolder = L"D:\\Out";
        EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr, nullptr, nullptr), c.expected) << c.name;
        EXPECT_EQ(m.files.Content(x64), c.link ? "elsewhere" : "") << c.name;
        EXPECT_FALSE(m.files.Has(L"D:\\Out\\CleanupInstallation.exe")) << c.name << ": the run stops at the first";
        const std::vector<std::string> lines = m.log.Texts("ResourceExtractor");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "Extract failed: " + Hex(c.expected)) << c.name;
        EXPECT_EQ(m.log.Texts("BootStrapper").back(),
                  "Setup failed: " + Hex(c.expected)) << c.name;
    }
}

struct LayoutMachine : Machine {
    RecordingAdminHost admin;
    SetupOptions options;

    LayoutMachine()
    {
        files.folders.insert(fake::Fold(L"C:\\Media"));
        files.AddFile(L"C:\\Media\\Setup.exe", "setup");
        options.layoutFolder = L"E:\\Point";
    }
    uint32_t Run() { return RunSetup(engine, options, kFolder, nullptr, nullptr, &admin); }
    std::string Layout(const std::wstring& name) { return files.Content(L"E:\\Point\\" + name); }
};

const wchar_t* const kEveryInstaller[] = {L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", L"gs950w64.exe",
                                          L"gs927w32.exe", L"eDocPrintPro_x64.exe", L"eDocPrintPro.exe"};

TEST(AdminSwitches, LayoutCopiesSetupAndEveryVerifiedInstallerAndASecondRunOnlyFillsTheGaps)
{
    LayoutMachine m;
    m.files.folders.insert(fake::Fold(L"C:\\Media\\redist"));
    m.files.AddFile(L"C:\\Media\\redist\\gs927w32.exe", "gs 9.27 from REDISTDIR");
    for (int i = 0; i < 4; ++i) m.downloader.script.push_back({0, true, "downloaded"});

    EXPECT_EQ(m.Run(), 0u);
    EXPECT_EQ(m.Layout(L"Setup.exe"), "setup");
    for (const wchar_t* name : kEveryInstaller) {
        EXPECT_EQ(m.Layout(std::wstring(L"redist\\") + name),
                  std::wstring(name) == L"gs927w32.exe" ? "gs 9.27 from REDISTDIR" : "downloaded")
            << Narrow(name);
    }
    EXPECT_EQ(m.downloader.calls.size(), 4u);
    EXPECT_EQ(m.downloader.calls[0].url, PrerequisiteDownloadUrl(L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe"));
    EXPECT_TRUE(m.files.FilesIn(m.WorkFolder()).empty()) << "downloads go through the working folder, then away";
    EXPECT_FALSE(m.files.HasFolder(m.WorkFolder()));
    const std::vector<std::string> lines = m.log.Texts("Layout");
    EXPECT_EQ(lines.front(), "Copied: E:\\Point\\Setup.exe");
    EXPECT_EQ(lines.back(), "Copied: E:\\Point\\redist\\eDocPrintPro.exe");
    EXPECT_EQ(m.log.Texts("BootStrapper").back(), "Done");

    // The second run keeps what is there and verified, and fills only the gap: from REDISTDIR, without a download.
    m.files.DeleteFile(L"E:\\Point\\redist\\gs950w64.exe");
    m.files.AddFile(L"C:\\Media\\redist\\gs950w64.exe", "gs 9.50 from REDISTDIR");
    const size_t downloads = m.downloader.calls.size();
    EXPECT_EQ(m.Run(), 0u);
    EXPECT_EQ(m.downloader.calls.size(), downloads) << "nothing downloaded";
    EXPECT_EQ(m.Layout(L"redist\\gs950w64.exe"), "gs 9.50 from REDISTDIR");
    size_t kept = 0;
    for (const std::string& line : m.log.Texts("Layout")) kept += line.rfind("Kept: ", 0) == 0;
    EXPECT_EQ(kept, 4u);
}

TEST(AdminSwitches, LayoutAttemptsEveryFileAndEndsWithTheFirstFailure)
{
    LayoutMachine m;
    // .NET: three failed downloads; Ghostscript 9.50: a download that fails verification three times.
    m.downloader.script = {{0x800C0008, false, ""}, {0x800C0008, false, ""}, {0x800C0008, false, ""}};
    m.trust.SetSignature(m.WorkFolder() + L"\\gs950w64.exe", 0x800B0100, L"");
    for (int i = 0; i < 6; ++i) m.downloader.script.push_back({0, true, "downloaded"});
    EXPECT_EQ(m.Run(), 0x800C0008u);
    EXPECT_FALSE(m.files.Has(L"E:\\Point\\redist\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe"));
    EXPECT_FALSE(m.files.Has(L"E:\\Point\\redist\\gs950w64.exe")) << "an unverified file is never laid out";
    for (const wchar_t* name : {L"gs927w32.exe", L"eDocPrintPro_x64.exe", L"eDocPrintPro.exe"})
        EXPECT_EQ(m.Layout(std::wstring(L"redist\\") + name), "downloaded") << Narrow(name);
    const std::vector<std::string> lines = m.log.Texts("Layout");
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Failed: E:\\Point\\redist\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe (800c0008)"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Failed: E:\\Point\\redist\\gs950w64.exe (800b0100)"), lines.end());
    EXPECT_EQ(m.log.Texts("BootStrapper").back(), "Setup failed: 800c0008");
    EXPECT_FALSE(m.files.HasFolder(m.WorkFolder()));
}

TEST(AdminSwitches, LayoutStartedFromItsOwnFolderKeepsItsSetup)
{
    LayoutMachine m;
    m.admin.executable = L"e:\\point\\setup.exe";
    m.files.folders.insert(fake::Fold(L"E:\\Point"));
    m.files.AddFile(L"E:\\Point\\Setup.exe", "running setup");
    m.downloader.otherwise = {0, true, "downloaded"};
    m.options.layoutFolder = L"E:\\Point\\";
    EXPECT_EQ(m.Run(), 0u);
    EXPECT_EQ(m.Layout(L"Setup.exe"), "running setup");
    EXPECT_EQ(m.log.Texts("Layout").front(), "Kept: E:\\Point\\Setup.exe");
}

}  // namespace
