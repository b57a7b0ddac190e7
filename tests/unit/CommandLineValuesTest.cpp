// Values that reach a child's command line: refused with 1639 before anything is extracted or run when they
// would add anything but themselves; feature lists lose the blanks around their commas; the programs that run.
#include <gtest/gtest.h>

#include "app/CommandLineParser.h"
#include "app/SetupRun.h"
#include "engine/CommandLineValues.h"
#include "support/FakeEngine.h"

using namespace engine_fake;

namespace {

const std::wstring kFolder = L"C:\\Media\\";

std::string Narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w) s.push_back(static_cast<unsigned>(c) < 0x100 ? static_cast<char>(c) : '?');
    return s;
}

TEST(CommandLineValues, FeatureListsQuietFlagsAndFolders)
{
    struct ListCase {
        const wchar_t* list;
        bool valid;
        const wchar_t* normalized;
    };
    const ListCase lists[] = {
        {L"", true, L""},
        {L"MainFeature", true, L"MainFeature"},
        {L"MainFeature,FeatureFax", true, L"MainFeature,FeatureFax"},
        {L"MainFeature , FeatureFax", true, L"MainFeature,FeatureFax"},
        {L" MainFeature,\tFeatureFax ", true, L"MainFeature,FeatureFax"},
        {L"ALL", true, L"ALL"},
        {L"X=1", true, L"X=1"},
        {L"A,,B", true, L"A,,B"},
        {L"MainFeature REBOOT=Force", false, nullptr},
        {L"MainFeature,Feature\tFax", false, nullptr},
        {L"Main\"Feature", false, nullptr},
        {L"MainFeature,/qn", false, nullptr},
        {L"A/B", false, nullptr},
        {L"A\r\nB", false, nullptr},
    };
    for (const ListCase& c : lists) {
        std::wstring normalized = L"untouched";
        EXPECT_EQ(NormalizeFeatureList(c.list, normalized), c.valid) << Narrow(c.list);
        EXPECT_EQ(normalized, c.valid ? c.normalized : L"untouched") << Narrow(c.list);
    }

    const std::pair<const wchar_t*, bool> flags[] = {
        {L"", true},       {L"qn", true},  {L"qb!", true},  {L"qn+", true},  {L"qb-!", true}, {L"QUIETLY", true},
        {L"qn REBOOT=Force", false}, {L"qn/x", false}, {L"q\"n", false}, {L"qn1", false}, {L"qn\t", false},
        {L"q\u00e9", false},
    };
    for (const auto& f : flags) EXPECT_EQ(IsValidQuietFlags(f.first), f.second) << Narrow(f.first);

    const std::pair<const wchar_t*, bool> folders[] = {
        {L"", true}, {L"C:\\Cfg", true}, {L"C:\\Cfg Files\\", true}, {L"\\\\server\\share\\K Cfg", true},
        {L"C:\\x\" /qn", false}, {L"\"", false}, {L"C:\\a\tb", false}, {L"C:\\a\nb", false},
    };
    for (const auto& f : folders) EXPECT_EQ(IsValidQuotedFolder(f.first), f.second) << Narrow(f.first);
}

// One table of whole command lines (the arguments as Windows splits them). A refused one ends with 1639 and
// "Invalid command line: <argument>" before anything is extracted or run; an accepted one reaches msiexec with
// nothing but its own tokens.
TEST(CommandLineValues, InjectionsAreRefusedWith1639BeforeAnythingHappens)
{
    struct Case {
        const char* name;
        std::vector<std::wstring> args;
        const char* refused;      // the argument in the log line, or null when the run goes ahead
        const wchar_t* options;   // msiexec's option text when the run goes ahead
    };
    const Case cases[] = {
        {"a property after the feature list", {L"ADDLOCAL=MainFeature REBOOT=Force"},
         "ADDLOCAL=MainFeature REBOOT=Force", nullptr},
        {"a property after the removal list", {L"/passive", L"REMOVE=FeatureFax REBOOT=Force"},
         "REMOVE=FeatureFax REBOOT=Force", nullptr},
        {"a switch in the feature list", {L"ADDLOCAL=MainFeature,/qn"}, "ADDLOCAL=MainFeature,/qn", nullptr},
        {"a quote in the feature list", {L"ADDLOCAL=Main\"Feature"}, "ADDLOCAL=Main\"Feature", nullptr},
        {"a property after a q-switch", {L"/qn REBOOT=Force"}, "/qn REBOOT=Force", nullptr},
        {"a switch in a q-switch", {L"/qn/norestart"}, "/qn/norestart", nullptr},
        {"a quote closing the folder", {L"/passive", L"CUSTOMCONFIGFILES=C:\\Cfg\" REBOOT=Force \"x"},
         "CUSTOMCONFIGFILES=C:\\Cfg\" REBOOT=Force \"x", nullptr},
        {"a quote in the redistributables folder", {L"/passive", L"REDISTDIR=C:\\R\" /x"}, "REDISTDIR=C:\\R\" /x",
         nullptr},
        {"a line break in the folder", {L"/passive", L"CUSTOMCONFIGFILES=C:\\a\nb"}, "CUSTOMCONFIGFILES=C:\\a\nb",
         nullptr},
        {"the wizard's folder is checked too", {L"CUSTOMCONFIGFILES=C:\\a\"b"}, "CUSTOMCONFIGFILES=C:\\a\"b", nullptr},
        {"blanks around commas are dropped", {L"/qn", L"ADDLOCAL=MainFeature , FeatureDiagnostics"}, nullptr,
         L"/qn /promptrestart ADDLOCAL=MainFeature,FeatureDiagnostics CUSTOMCONFIGFILES=\"C:\\Media\\CustomConfigFiles\""},
        {"a folder with blanks", {L"/passive", L"CUSTOMCONFIGFILES=C:\\Cfg Files"}, nullptr,
         L"/qn /promptrestart CUSTOMCONFIGFILES=\"C:\\Cfg Files\""},
        {"q-switch flags", {L"/qb-!", L"REMOVE=FeatureFax"}, nullptr,
         L"/qb-! /promptrestart REMOVE=FeatureFax CUSTOMCONFIGFILES=\"C:\\Media\\CustomConfigFiles\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        CMyCommandLineParser parser;
        std::vector<std::wstring> argv = {L"Setup.exe"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        parser.ParseArguments(argv);
        const uint32_t code = RunSetup(m.engine, parser.Options(), kFolder, nullptr);
        if (c.refused) {
            EXPECT_EQ(code, 1639u);
            EXPECT_EQ(m.log.Texts("BootStrapper"), std::vector<std::string>{std::string("Invalid command line: ") + c.refused});
            EXPECT_TRUE(m.files.privateFolders.empty()) << "no working folder";
            EXPECT_TRUE(m.files.writeCalls.empty()) << "nothing extracted";
            EXPECT_TRUE(m.launcher.commandLines.empty()) << "nothing run";
            EXPECT_TRUE(m.msi.calls.empty()) << "no package opened";
            // The parser's own lines stay as they are.
            EXPECT_EQ(m.log.Texts("CommandLineParser").size(), 2 * c.args.size());
        } else {
            EXPECT_EQ(code, 0u);
            ASSERT_EQ(m.launcher.commandLines.size(), 1u);
            EXPECT_EQ(m.launcher.commandLines[0],
                      L"C:\\Windows\\system32\\msiexec.exe /i \"" + m.MsiPath() + L"\" " + c.options +
                          L" /lvoicewarmupx \"C:\\Users\\Jörg\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup\\logs\\"
                          L"DiDeraveInstall.log\" ");
        }
    }
}

TEST(CommandLineValues, TheCleanRunDisregardsTheOtherOptions)
{
    Machine m;
    CMyCommandLineParser parser;
    parser.ParseArguments({L"Setup.exe", L"/clean", L"ADDLOCAL=A B", L"/qn x"});
    EXPECT_EQ(RunSetup(m.engine, parser.Options(), kFolder, nullptr), 0u);
    ASSERT_EQ(m.launcher.commandLines.size(), 1u);
    EXPECT_EQ(m.launcher.commandLines[0], L"\"" + m.WorkFolder() + L"\\CleanupInstallation.exe\"");
}

// The values of an action are checked again where its command line is built: a list the wizard assembled is
// refused there just the same, and nothing runs.
TEST(CommandLineValues, ActionsRefuseWhatTheirCommandLineWouldNotHold)
{
    struct Case {
        const char* name;
        void (*set)(CInstallController&);
        const char* line;
    };
    const Case cases[] = {
        {"feature list", [](CInstallController& c) { c.addLocal = L"MainFeature REBOOT=Force"; },
         "Invalid command line: ADDLOCAL=MainFeature REBOOT=Force"},
        {"feature list with blanks around a comma", [](CInstallController& c) { c.remove = L"A , B"; },
         "Invalid command line: REMOVE=A , B"},
        {"q-switch", [](CInstallController& c) { c.quietFlags = L"qn REBOOT=Force"; },
         "Invalid command line: /qn REBOOT=Force"},
        {"folder", [](CInstallController& c) { c.customConfigFiles = L"C:\\x\" /qn"; },
         "Invalid command line: CUSTOMCONFIGFILES=C:\\x\" /qn"},
        {"redistributables folder", [](CInstallController& c) { c.extractor.localRedistFolder = L"C:\\R\""; },
         "Invalid command line: C:\\R\"\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Machine m;
        m.DotNet(1);
        CInstallController& c = m.Controller();
        k.set(c);
        m.files.AddFile(L"C:\\R\"\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
        if (c.extractor.localRedistFolder.empty()) c.EnqueueInstallProduct();
        else c.EnqueuePrerequisites();
        c.RunInstallActions();
        EXPECT_EQ(c.lastResult, 1639u);
        EXPECT_TRUE(m.launcher.commandLines.empty());
        const auto lines = m.log.Texts("CInstallAction");
        EXPECT_NE(std::find(lines.begin(), lines.end(), k.line), lines.end());
    }
}

TEST(CommandLineValues, UninstallCommandsRunTheProgramWindowsWouldRunNeverOneBesideSetup)
{
    struct Case {
        const wchar_t* command;
        std::vector<std::wstring> existing;
        const wchar_t* program;  // empty: none
    };
    const std::wstring sys = L"C:\\Windows\\system32\\";
    const Case cases[] = {
        {L"C:\\gs\\gs9.20\\uninstgs.exe /S", {L"C:\\gs\\gs9.20\\uninstgs.exe"}, L"C:\\gs\\gs9.20\\uninstgs.exe"},
        {L"\"C:\\Program Files\\gs\\uninstgs.exe\" /S", {L"C:\\Program Files\\gs\\uninstgs.exe"},
         L"C:\\Program Files\\gs\\uninstgs.exe"},
        // Unquoted with blanks: the shortest beginning that exists wins, as Windows runs it.
        {L"C:\\Program Files\\gs\\uninstgs.exe /S", {L"C:\\Program Files\\gs\\uninstgs.exe"},
         L"C:\\Program Files\\gs\\uninstgs.exe"},
        {L"C:\\Program Files\\gs\\uninstgs.exe /S",
         {L"C:\\Program.exe", L"C:\\Program Files\\gs\\uninstgs.exe"}, L"C:\\Program.exe"},
        {L"C:\\Program Files\\gs\\uninstgs /S", {L"C:\\Program Files\\gs\\uninstgs.exe"},
         L"C:\\Program Files\\gs\\uninstgs.exe"},
        // A bare name comes from the system folder only.
        {L"rundll32.exe gs.dll,Uninstall", {sys + L"rundll32.exe", kFolder + L"rundll32.exe"},
         L"C:\\Windows\\system32\\rundll32.exe"},
        {L"uninstgs.exe /S", {kFolder + L"uninstgs.exe"}, L""},
        {L"C:\\gs\\missing.exe /S", {}, L""},
        {L"\"C:\\gs\\unclosed.exe /S", {L"C:\\gs\\unclosed.exe"}, L""},
        {L"", {}, L""},
    };
    for (const Case& c : cases) {
        FakeFileSystem files;
        for (const std::wstring& path : c.existing) files.AddFile(path);
        EXPECT_EQ(UninstallProgram(c.command, files), c.program) << Narrow(c.command);
    }

    // A command whose program does not exist fails as CreateProcessW would, with 2, and nothing starts.
    Machine m;
    CInstallController& c = m.Controller();
    c.EnqueueUninstallCommandLine(L"GPL Ghostscript v9.20", L"uninstgs.exe /S");
    m.files.AddFile(kFolder + L"uninstgs.exe");
    c.RunInstallActions();
    EXPECT_EQ(c.lastResult, 2u);
    EXPECT_TRUE(m.launcher.commandLines.empty());
    const std::vector<std::string> expected = {"UninstallProductCommandLine: uninstgs.exe /S", "uninstgs.exe /S",
                                               "Create process", "Create process failed: 2"};
    EXPECT_EQ(m.log.Texts("CInstallAction"), expected);
}

// msiexec writes its log with full rights: when the log folder or the log file is not safe, the log goes into the
// run's own working folder instead.
TEST(CommandLineValues, MsiexecLogGoesIntoTheWorkingFolderWhenTheLogFolderIsNotSafe)
{
    const std::wstring logs = L"C:\\Users\\Jörg\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup\\logs";
    struct Case {
        const char* name;
        std::wstring link;        // a folder that is a link
        std::wstring unsafeFile;  // a log file that is a link or has a second name
        bool inLogFolder;
    };
    const Case cases[] = {
        {"safe", L"", L"", true},
        {"logs is a link", logs, L"", false},
        {"KELVARO GmbH is a link", L"C:\\Users\\Jörg\\AppData\\Local\\Temp\\KELVARO GmbH", L"", false},
        {"the log file is a hard link", L"", logs + L"\\DiDeraveInstall.log", false},
        {"another log file is a link", L"", logs + L"\\DiDeraveModify.log", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Machine m;
        if (!k.link.empty()) m.files.links.insert(fake::Fold(k.link));
        if (!k.unsafeFile.empty()) m.files.unsafeFiles.insert(fake::Fold(k.unsafeFile));
        CInstallController& c = m.Controller();
        c.EnqueueInstallProduct();
        c.RunInstallActions();
        ASSERT_EQ(m.launcher.commandLines.size(), 1u);
        const std::wstring folder = k.inLogFolder ? logs : m.WorkFolder();
        EXPECT_EQ(m.launcher.commandLines[0], L"C:\\Windows\\system32\\msiexec.exe /i \"" + m.MsiPath() +
                                                  L"\" /qn /promptrestart /lvoicewarmupx \"" + folder +
                                                  L"\\DiDeraveInstall.log\" ");
    }
}

}  // namespace
