// Tests of the start-up sequence: banner first, process initialisation, arguments and the executable's folder.
#include <gtest/gtest.h>

#include "app/BootStrapperApp.h"
#include "support/FakeLogPlatform.h"

namespace {

class RecordingAppSystem : public IAppSystem {
public:
    std::vector<std::string> calls;
    std::vector<std::wstring> args = {L"C:\\Media\\Setup.exe"};
    std::wstring modulePath = L"C:\\Media\\Setup.exe";
    std::vector<std::wstring> restartArguments;
    uint32_t restartError = 0;

    void InitializeOle() override { calls.push_back("ole"); }
    void InitializeCommonControls() override { calls.push_back("commctrl"); }
    uint32_t RegisterForRestart(const std::wstring& arguments) override
    {
        calls.push_back("restart");
        restartArguments.push_back(arguments);
        return restartError;
    }
    std::vector<std::wstring> Arguments() override
    {
        calls.push_back("arguments");
        return args;
    }
    std::wstring ModulePath() override
    {
        calls.push_back("module");
        return modulePath;
    }
    // Relative paths are taken from C:\Work.
    std::wstring FullPath(const std::wstring& path) override
    {
        return path.size() > 1 && (path[1] == L':' || path[0] == L'\\') ? path : L"C:\\Work\\" + path;
    }
};

TEST(BootStrapperApp, BannerComesFirstThenTheArguments)
{
    LogFixture log;
    RecordingAppSystem system;
    system.args = {L"C:\\Media\\Setup.exe", L"/passive", L"ADDLOCAL=FeatureFax"};
    CBootStrapperApp app(system, nullptr);
    EXPECT_FALSE(app.StartUp());

    const std::vector<LogEntry> expected = {
        {"", "BootStrapper", "-----------------------------"},
        {"", "BootStrapper", "Setup v6.7.3.319"},
        {"", "CommandLineParser", "bFlag: 1, bLast: 0, param: passive"},
        {"", "CommandLineParser", "passive"},
        {"", "CommandLineParser", "bFlag: 0, bLast: 1, param: ADDLOCAL=FeatureFax"},
        {"", "CommandLineParser", "AddLocalFeatures: FeatureFax"},
    };
    EXPECT_EQ(log.Entries(), expected);
    const std::vector<std::string> order = {"arguments", "ole", "commctrl", "restart", "module"};
    EXPECT_EQ(system.calls, order);
    EXPECT_EQ(system.restartArguments, std::vector<std::wstring>({L"/passive ADDLOCAL=FeatureFax"}));
    EXPECT_TRUE(app.Options().passive);
    EXPECT_EQ(app.Options().addLocalFeatures, L"FeatureFax");
    EXPECT_EQ(app.ShutDown(), 0u);
}

// Splits a command line by the rules of CommandLineToArgvW (after the program name): blanks separate outside quotes;
// 2n backslashes before a quote give n and the quote toggles quoting, 2n+1 give n and a literal quote.
std::vector<std::wstring> SplitLikeWindows(const std::wstring& line)
{
    std::vector<std::wstring> args;
    std::wstring current;
    bool inQuotes = false, any = false;
    for (size_t i = 0; i < line.size();) {
        const wchar_t c = line[i];
        if (c == L'\\') {
            size_t n = 0;
            while (i < line.size() && line[i] == L'\\') ++n, ++i;
            if (i < line.size() && line[i] == L'"') {
                current.append(n / 2, L'\\');
                if (n % 2 == 1) current.push_back(L'"'), ++i;
            } else {
                current.append(n, L'\\');
            }
            any = true;
        } else if (c == L'"') {
            if (inQuotes && i + 1 < line.size() && line[i + 1] == L'"') {
                current.push_back(L'"');
                i += 2;
            } else {
                inQuotes = !inQuotes;
                ++i;
            }
            any = true;
        } else if ((c == L' ' || c == L'\t') && !inQuotes) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
            ++i;
        } else {
            current.push_back(c);
            any = true;
            ++i;
        }
    }
    if (any) args.push_back(current);
    return args;
}

TEST(BootStrapperApp, RestartArgumentsGiveTheSameArgumentsBack)
{
    const struct {
        std::vector<std::wstring> arguments;  // after the program
        std::wstring line;
    } cases[] = {
        {{}, L""},
        {{L"/x"}, L"/x"},
        {{L"/passive", L"ADDLOCAL=MainFeature,FeatureFax", L"/noreboot"}, L"/passive ADDLOCAL=MainFeature,FeatureFax /noreboot"},
        {{L"REDISTDIR=C:\\My Media\\redist\\", L"/qn"}, L"\"REDISTDIR=C:\\My Media\\redist\\\\\" /qn"},
        {{L"CUSTOMCONFIGFILES=C:\\Cfg\\"}, L"CUSTOMCONFIGFILES=C:\\Cfg\\"},
        {{L"a\"b", L"c\\\"d"}, L"\"a\\\"b\" \"c\\\\\\\"d\""},
        {{L"", L"/i"}, L"\"\" /i"},
        {{L"tab\there"}, L"\"tab\there\""},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> arguments = {L"C:\\Media\\Setup.exe"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const std::wstring line = RestartArguments(arguments);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(SplitLikeWindows(line), c.arguments) << std::string(line.begin(), line.end());
    }
}

TEST(BootStrapperApp, AFailedRestartRegistrationIsLoggedAndTheRunGoesOn)
{
    LogFixture log;
    RecordingAppSystem system;
    system.args = {L"C:\\Media\\Setup.exe", L"/x"};
    system.restartError = 0x80070057;  // E_INVALIDARG: longer than the Restart Manager takes
    bool ran = false;
    CBootStrapperApp app(system, [&ran](const SetupOptions& options, const std::wstring&) {
        ran = options.uninstall;
        return 0u;
    });
    app.StartUp();
    EXPECT_TRUE(ran);
    EXPECT_EQ(system.restartArguments, std::vector<std::wstring>({L"/x"}));
    const std::vector<std::string> lines = log.Texts("BootStrapper");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Restart registration failed. Error: 0x80070057");
}

TEST(BootStrapperApp, ExecutableFolderKeepsItsTrailingBackslash)
{
    LogFixture log;
    RecordingAppSystem system;
    CBootStrapperApp app(system, nullptr);
    app.StartUp();
    EXPECT_EQ(app.ExecutablePath(), L"C:\\Media\\Setup.exe");
    EXPECT_EQ(app.ExecutableFolder(), L"C:\\Media\\");
    EXPECT_EQ(FolderOfPath(L"Setup.exe"), L"");
    EXPECT_EQ(FolderOfPath(L"\\\\server\\share\\dir\\Setup.exe"), L"\\\\server\\share\\dir\\");
}

}  // namespace

TEST(BootStrapperApp, EveryLineGoesToTheLogFileGivenWithLog)
{
    {
        LogFixture log;
        RecordingAppSystem system;
        system.args = {L"C:\\Media\\Setup.exe", L"/x", L"/log", L"logs\\kelvaro setup.log", L"/extract", L"out"};
        CBootStrapperApp app(system, nullptr);
        app.StartUp();
        EXPECT_EQ(LogFilePath(), L"C:\\Work\\logs\\kelvaro setup.log") << "taken from the current folder";
        const std::vector<LogEntry> entries = log.Entries();
        ASSERT_GE(entries.size(), 2u);
        EXPECT_EQ(entries[0].text, "-----------------------------");
        EXPECT_EQ(entries[1].text, "Setup v6.7.3.319");
        EXPECT_EQ(app.Options().logFile, L"C:\\Work\\logs\\kelvaro setup.log");
        EXPECT_EQ(app.Options().extractFolder, L"C:\\Work\\out");
    }
    {
        // A folder that is a link: the usual log, whose first line says why.
        LogFixture log;
        log.files.links.insert(L"D:\\logs");
        RecordingAppSystem system;
        system.args = {L"C:\\Media\\Setup.exe", L"/log", L"D:\\logs\\s.log"};
        CBootStrapperApp app(system, nullptr);
        app.StartUp();
        EXPECT_EQ(LogFilePath(), log.files.temp + L"KELVARO GmbH\\Setup\\logs\\Setup.log");
        const std::vector<LogEntry> entries = log.Entries();
        ASSERT_GE(entries.size(), 3u);
        EXPECT_EQ(entries[0].tag + "|" + entries[0].text,
                  "BootStrapper|Log file not used, its folder cannot be created or is a link: D:\\logs\\s.log");
        EXPECT_EQ(entries[1].text, "-----------------------------");
    }
}
