// Tests of whole wizard runs through every page with the real pages on the engine fakes: what runs, what the
// finish page says, the reboot request and the exit code; and of the reboot request itself.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "app/WizardRun.h"
#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/ProgressPage.h"

namespace {

// Records the reboot's Windows calls; each can be told to fail.
class FakeShutdownApi : public IShutdownApi {
public:
    uint32_t openError = 0;
    uint32_t privilegeError = 0;
    uint32_t exitError = 0;
    std::vector<std::wstring> calls;

    uint32_t OpenProcessToken(uintptr_t& token) override
    {
        calls.push_back(L"OpenProcessToken");
        if (openError == 0) token = 0x70;
        return openError;
    }
    uint32_t EnablePrivilege(uintptr_t token, const std::wstring& privilege) override
    {
        calls.push_back(L"EnablePrivilege " + std::to_wstring(token) + L" " + privilege);
        return privilegeError;
    }
    void CloseToken(uintptr_t token) override { calls.push_back(L"CloseToken " + std::to_wstring(token)); }
    uint32_t RequestShutdown(uint32_t flags, uint32_t reason) override
    {
        calls.push_back(L"ExitWindowsEx " + std::to_wstring(flags) + L" " + std::to_wstring(reason));
        return exitError;
    }
};

TEST(TriggerReboot, EnablesTheShutdownPrivilegeAndAsksForARebootOrLogsWhyNot)
{
    const std::wstring open = L"OpenProcessToken";
    const std::wstring enable = L"EnablePrivilege 112 SeShutdownPrivilege";
    const std::wstring close = L"CloseToken 112";
    const std::wstring exitWindows = L"ExitWindowsEx 2 2147745794";  // EWX_REBOOT, 0x80040002
    const struct {
        const char* name;
        uint32_t openError, privilegeError, exitError;
        bool triggered;
        std::string line;
        std::vector<std::wstring> calls;
    } cases[] = {
        {"accepted", 0, 0, 0, true, "Reboot triggered.", {open, enable, close, exitWindows}},
        {"no token", 5, 0, 0, false, "Trigger reboot failed, adjusting token privileges not allowed. Error: 0x5", {open}},
        {"privilege not held", 0, 1300, 0, false, "Trigger reboot failed, adjusting token privilege failed. Error: 0x514",
         {open, enable, close}},
        {"reboot refused", 0, 0, 1190, false, "Trigger reboot failed. Error: 0x4a6", {open, enable, close, exitWindows}},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        FakeShutdownApi shutdown;
        shutdown.openError = c.openError;
        shutdown.privilegeError = c.privilegeError;
        shutdown.exitError = c.exitError;
        EXPECT_EQ(TriggerReboot(shutdown), c.triggered) << c.name;
        EXPECT_EQ(log.Texts("BootStrapper"), std::vector<std::string>({c.line})) << c.name;
        EXPECT_EQ(shutdown.calls, c.calls) << c.name;
    }
}

// Shows each sheet to the next scripted user, through the real pages.
class ScriptedHost : public IWizardHost {
public:
    using User = std::function<int(CMyPropertySheet&, FakeWizard&)>;
    std::deque<User> users;
    std::function<void(FakeSheetWindow&)> prepare;  // the window's fakes before the wizard starts

    std::wstring LoadString(uint16_t, uint32_t id) override { return id == IDS_LANGUAGE_CODE ? L"en-US" : L""; }
    int ShowSheet(CMyPropertySheet& sheet, uint16_t) override
    {
        FakeWizard wizard(sheet);
        if (prepare) prepare(wizard.window);
        wizard.Start();
        User user = users.front();
        users.pop_front();
        return user(sheet, wizard);
    }
    std::wstring SystemErrorText(uint32_t) override { return std::wstring(); }
    void ShowMessage(const std::wstring&, const std::wstring&) override {}
};

enum class End { Finish, Close };

// Next through every page up to Progress, the worker run on this thread, the poll that shows Finish, then the
// user's end. The finish page's text is kept.
ScriptedHost::User InstallThroughEveryPage(End end, std::wstring& finishText, std::vector<uint32_t>& shown)
{
    return [end, &finishText, &shown](CMyPropertySheet& sheet, FakeWizard& wizard) {
        while (wizard.CurrentTemplate() != IDD_PROGRESS) {
            if (wizard.Next() < 0) return sheet.result;
        }
        for (const auto& thread : wizard.window.threads) thread.first(thread.second);
        wizard.Current().OnTimer(kProgressTimerId);
        shown = wizard.shown;
        finishText = wizard.CurrentControls().texts[IDC_FINISH_TEXT];
        if (end == End::Finish) sheet.OnFinish();
        else sheet.OnCancel();
        return sheet.result;
    };
}

class CompleteRunTest : public ::testing::Test {
protected:
    CompleteRunTest()
    {
        log.Initialize();
        engine.SetFeatures({{L"MainFeature", FakeMsi::Cell(), L"KELVARO VOV Client", L"", 1, 1, 0}});
        engine.resources.strings = {{IDS_PRODUCT_NAME, L"KELVARO VOV Client for Windows"}};
        engine.controller.productDisplayName = L"KELVARO VOV Client for Windows";
        engine.controller.needDotNet = true;
        engine.downloader.otherwise = {0, true, "installer"};
        run.triggerReboot = [this] { return TriggerReboot(shutdown); };
    }

    // Runs the wizard with the .NET installer's and msiexec's exit codes.
    uint32_t Run(uint32_t dotNetExit, uint32_t msiExit, End end)
    {
        engine.launcher.script = {{0, dotNetExit, 0}, {0, msiExit, 0}};
        host.users = {InstallThroughEveryPage(end, finishText, shown)};
        return run.Run(engine.controller);
    }
    std::vector<std::string> Lines(const std::string& tag) { return log.Texts(tag); }

    LogFixture log;
    WizardEngine engine;
    FakeShutdownApi shutdown;
    ScriptedHost host;
    CWizardRun run{host};
    std::wstring finishText;
    std::vector<uint32_t> shown;
};

const std::wstring kRebootText =
    L"\r\nPlease close all applications and restart the computer now! \r\nA reboot is required for applying updates.";

TEST_F(CompleteRunTest, NewInstallationThroughEveryPage)
{
    EXPECT_EQ(Run(0, 0, End::Finish), 0u);
    EXPECT_EQ(shown, std::vector<uint32_t>({IDD_WELCOME, IDD_FEATURES, IDD_PREREQUISITES, IDD_CONFIRM, IDD_PROGRESS,
                                            IDD_FINISH}));
    EXPECT_EQ(finishText, L"The KELVARO VOV Client has been installed.");
    ASSERT_EQ(engine.launcher.commandLines.size(), 2u);
    EXPECT_NE(engine.launcher.commandLines[1].find(L"msiexec.exe /i"), std::wstring::npos);
    EXPECT_EQ(Lines("BootStrapper").back(), "Wizard done");
    EXPECT_TRUE(shutdown.calls.empty());
}

TEST_F(CompleteRunTest, ExitCodeAndRebootAfterFinishOrClose)
{
    const struct {
        const char* name;
        uint32_t dotNetExit, msiExit;
        End end;
        uint32_t privilegeError;
        uint32_t exitCode;
        std::wstring finishText;
        std::vector<std::string> lastLines;  // the last BootStrapper lines
    } cases[] = {
        {"3010, Finish, reboot accepted", 3010, 0, End::Finish, 0, 1641,
         L"The KELVARO VOV Client has been installed." + kRebootText,
         {"Wizard done", "Trigger reboot", "Reboot triggered."}},
        {"3010, Finish, reboot refused", 3010, 0, End::Finish, 1300, 3010,
         L"The KELVARO VOV Client has been installed." + kRebootText,
         {"Wizard done", "Trigger reboot", "Trigger reboot failed, adjusting token privilege failed. Error: 0x514"}},
        // Closing the finish page (close box, Escape) reports what the queue did, but never reboots.
        {"3010, closed on the finish page: the queue's 3010 and no reboot", 3010, 0, End::Close, 0, 3010,
         L"The KELVARO VOV Client has been installed." + kRebootText, {"Show wizard", "Wizard done"}},
        {"success, closed on the finish page", 0, 0, End::Close, 0, 0, L"The KELVARO VOV Client has been installed.",
         {"Show wizard", "Wizard done"}},
        {"the package fails, closed on the finish page", 0, 1603, End::Close, 0, 1603,
         L"Setup failed. Last result code: 1603 (0x643)", {"Show wizard", "Wizard done"}},
        {"the package fails", 0, 1603, End::Finish, 0, 1603, L"Setup failed. Last result code: 1603 (0x643)",
         {"Show wizard", "Wizard done"}},
        {"the package fails after a 3010: the failure is shown and Finish does not reboot", 3010, 1603, End::Finish, 0,
         1603, L"Setup failed. Last result code: 1603 (0x643)", {"Show wizard", "Wizard done"}},
    };
    for (const auto& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        WizardEngine caseEngine;
        caseEngine.SetFeatures({{L"MainFeature", FakeMsi::Cell(), L"KELVARO VOV Client", L"", 1, 1, 0}});
        caseEngine.controller.needDotNet = true;
        caseEngine.downloader.otherwise = {0, true, "installer"};
        caseEngine.launcher.script = {{0, c.dotNetExit, 0}, {0, c.msiExit, 0}};
        FakeShutdownApi caseShutdown;
        caseShutdown.privilegeError = c.privilegeError;
        ScriptedHost caseHost;
        std::wstring text;
        std::vector<uint32_t> pages;
        caseHost.users = {InstallThroughEveryPage(c.end, text, pages)};
        CWizardRun caseRun(caseHost);
        caseRun.triggerReboot = [&caseShutdown] { return TriggerReboot(caseShutdown); };
        EXPECT_EQ(caseRun.Run(caseEngine.controller), c.exitCode) << c.name;
        EXPECT_EQ(text, c.finishText) << c.name;
        std::vector<std::string> lines = caseLog.Texts("BootStrapper");
        ASSERT_GE(lines.size(), c.lastLines.size()) << c.name;
        lines.erase(lines.begin(), lines.end() - static_cast<long>(c.lastLines.size()));
        EXPECT_EQ(lines, c.lastLines) << c.name;
    }
}

TEST_F(CompleteRunTest, AWorkerThatCannotStartEndsWithItsErrorCode)
{
    host.prepare = [](FakeSheetWindow& window) { window.threadStartError = 1450; };  // ERROR_NO_SYSTEM_RESOURCES
    EXPECT_EQ(Run(0, 0, End::Finish), 1450u);
    EXPECT_EQ(finishText, L"Setup failed. Last result code: 1450 (0x5aa)");
    EXPECT_TRUE(engine.launcher.commandLines.empty());
    EXPECT_TRUE(shutdown.calls.empty());
}

}  // namespace
