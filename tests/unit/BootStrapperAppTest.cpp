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

    void InitializeOle() override { calls.push_back("ole"); }
    void InitializeCommonControls() override { calls.push_back("commctrl"); }
    void RegisterForRestart() override { calls.push_back("restart"); }
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
    const std::vector<std::string> order = {"ole", "commctrl", "restart", "arguments", "module"};
    EXPECT_EQ(system.calls, order);
    EXPECT_TRUE(app.Options().passive);
    EXPECT_EQ(app.Options().addLocalFeatures, L"FeatureFax");
    EXPECT_EQ(app.ShutDown(), 0u);
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
