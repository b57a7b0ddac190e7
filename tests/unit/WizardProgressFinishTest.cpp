// Tests of the progress page (start protocol, polls, the move to Finish, a worker that cannot be started) and of
// the finish page (the three outcomes, their texts, the Finish caption and the links).
#include <gtest/gtest.h>

#include "app/SetupRun.h"
#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/FinishPage.h"
#include "wizard/ProgressPage.h"

namespace {

// Progress and Finish on one sheet, behind a stand-in for the confirmation page.
class RunWizard {
public:
    explicit RunWizard(WizardEngine& engine) : sheet(&engine.controller)
    {
        sheet.AddPage(&confirm);
        sheet.AddPage(&progress);
        sheet.AddPage(&finish);
        wizard = std::make_unique<FakeWizard>(sheet);
        wizard->Start();
    }
    FakeSheetWindow& Window() { return wizard->window; }
    FakePageControls& ProgressControls() { return wizard->Controls(progress); }
    FakePageControls& FinishControls() { return wizard->Controls(finish); }
    // Runs the worker the progress page started, on this thread.
    void RunWorker()
    {
        ASSERT_EQ(Window().threads.size(), 1u);
        EXPECT_EQ(Window().threads[0].first(Window().threads[0].second), 0u);
    }

    StandInPage confirm{IDD_CONFIRM};
    CProgressPage progress;
    CFinishPage finish;
    CMyPropertySheet sheet;
    std::unique_ptr<FakeWizard> wizard;
};

TEST(ProgressPage, StartProtocol)
{
    LogFixture log;
    WizardEngine engine;
    log.Initialize();  // after the set-up's lines
    engine.controller.installMode = InstallNewProduct;
    engine.controller.lastResult = 1603;  // from nothing: the start resets it
    RunWizard w(engine);
    w.Window().posts.clear();
    w.wizard->Activate(1);

    EXPECT_EQ(w.ProgressControls().texts[IDC_JOB_DESCRIPTION], L"");
    EXPECT_EQ(w.Window().posts, std::vector<uint32_t>({0, 0}));
    EXPECT_EQ(w.Window().disabledControls, std::set<int>({kIdCancel}));
    const FakeProgressBar& bar = w.ProgressControls().progressBars[IDC_PROGRESS_BAR];
    EXPECT_EQ(bar.low, 0);
    EXPECT_EQ(bar.high, 100);
    EXPECT_TRUE(bar.marquee);
    EXPECT_EQ(bar.interval, 50u);
    EXPECT_EQ(w.ProgressControls().timers, (std::map<uintptr_t, uint32_t>{{42, 1000}}));
    EXPECT_EQ(w.progress.timerId, 42u);
    EXPECT_TRUE(engine.controller.running);
    EXPECT_EQ(engine.controller.lastResult, 0u);
    EXPECT_TRUE(engine.controller.queueStarted);
    ASSERT_EQ(w.Window().threads.size(), 1u);
    EXPECT_EQ(w.Window().threads[0].first, &CInstallController::InstallWorkerThread);
    EXPECT_EQ(w.Window().threads[0].second, &engine.controller);
    EXPECT_EQ(log.Texts("CProgressPage"), std::vector<std::string>({"OnSetActive"}));
    EXPECT_EQ(log.Texts("InstallController"), std::vector<std::string>({"StartProcessingInstallActions"}));
    // While the worker has not ended, Cancel and the sheet's own cancel path are refused.
    EXPECT_FALSE(w.sheet.OnCancel());
    EXPECT_FALSE(w.sheet.OnQueryCancel());
}

TEST(ProgressPage, TheDriverStoreIsRepairedBeforeTheWorkerStarts)
{
    LogFixture log;
    WizardEngine engine;
    log.Initialize();  // after the set-up's lines
    engine.controller.installMode = RepairExistingProduct;
    engine.controller.snomD7Installed = true;
    RunWizard w(engine);
    w.wizard->Activate(1);
    std::vector<std::string> lines;
    for (const auto& entry : log.Entries()) lines.push_back(entry.tag + "|" + entry.text);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "CProgressPage|OnSetActive");
    EXPECT_EQ(lines[1], "CInstallController|Snom D7 Driver Feature is installed");
    EXPECT_EQ(lines.back(), "InstallController|StartProcessingInstallActions");
    EXPECT_EQ(w.Window().threads.size(), 1u);
}

TEST(ProgressPage, PollsShowTheJobAndMoveToFinishWhenTheWorkerIsDone)
{
    LogFixture log;
    WizardEngine engine;
    log.Initialize();  // after the set-up's lines
    engine.controller.installMode = InstallNewProduct;
    RunWizard w(engine);
    w.wizard->Activate(1);

    engine.controller.SetCurrentJobDescription(IDS_JOB_INSTALLING, L"KELVARO VOV Client for Windows");
    engine.resources.strings[IDS_JOB_INSTALLING] = L"Installing: %s";
    engine.controller.SetCurrentJobDescription(IDS_JOB_INSTALLING, L"KELVARO VOV Client for Windows");
    w.progress.OnTimer(42);
    EXPECT_EQ(w.ProgressControls().texts[IDC_JOB_DESCRIPTION], L"Installing: KELVARO VOV Client for Windows");
    EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_PROGRESS);

    w.RunWorker();  // the queue is empty: the worker ends at once
    EXPECT_FALSE(engine.controller.running);
    w.progress.OnTimer(42);
    EXPECT_TRUE(w.ProgressControls().timers.empty());
    EXPECT_EQ(log.Texts("CProgressPage"), std::vector<std::string>({"OnSetActive", "done"}));
    EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_FINISH);
    EXPECT_EQ(w.FinishControls().texts[IDC_FINISH_TEXT], L"The KELVARO VOV Client has been installed.");
    EXPECT_EQ(log.Texts("InstallController"),
              std::vector<std::string>({"StartProcessingInstallActions", "SetCurrentJobDescription: ",
                                        "SetCurrentJobDescription: Installing: KELVARO VOV Client for Windows",
                                        "Worker thread started", "Worker thread done"}));
    // Cancel stays disabled on the finish page.
    EXPECT_EQ(w.Window().disabledControls, std::set<int>({kIdCancel}));
}

TEST(ProgressPage, AWorkerThatCannotBeStartedIsReportedAsTheFailure)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installMode = InstallNewProduct;
    engine.controller.EnqueueInstallProduct();
    RunWizard w(engine);
    w.Window().threadStartError = 8;  // ERROR_NOT_ENOUGH_MEMORY
    w.Window().system.errorTexts[8] = L"Not enough memory resources are available to process this command.\r\n";
    w.wizard->Activate(1);
    EXPECT_FALSE(engine.controller.running);
    EXPECT_EQ(engine.controller.lastResult, 8u);
    EXPECT_EQ(log.Texts("CProgressPage"), std::vector<std::string>({"OnSetActive", "Worker thread not started. Error: 8"}));

    w.progress.OnTimer(42);
    EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_FINISH);
    EXPECT_EQ(w.FinishControls().texts[IDC_FINISH_TEXT],
              L"Setup failed. Last result code: 8 (0x8)\r\nNot enough memory resources are available to process this "
              L"command.\r\n");
    EXPECT_EQ(log.Texts("CFinishPage"), std::vector<std::string>({"OnSetActive", "Result: 8"}));
    EXPECT_EQ(QueueExitCode(engine.controller), 8u);
    // Nothing ran: the product action is still queued.
    EXPECT_EQ(engine.controller.actionQueue.size(), 1u);
    EXPECT_TRUE(engine.launcher.commandLines.empty());
}

TEST(ProgressPage, WithoutControllerNothingStarts)
{
    LogFixture log;
    log.Initialize();
    CProgressPage progress;
    CMyPropertySheet sheet;
    sheet.AddPage(&progress);
    FakeWizard wizard(sheet);
    wizard.Start();
    EXPECT_EQ(wizard.CurrentTemplate(), IDD_PROGRESS);
    EXPECT_TRUE(wizard.window.threads.empty());
    EXPECT_TRUE(wizard.Controls(progress).timers.empty());
    EXPECT_TRUE(wizard.window.posts.empty());
    progress.OnTimer(42);
    EXPECT_EQ(log.Texts("CProgressPage"), std::vector<std::string>({"OnSetActive"}));
}

// ---- the finish page ----

struct FinishOutcome {
    uint32_t mode = InstallNewProduct;
    uint32_t lastResult = 0;
    bool rebootRequired = false;
    bool downloadFailed = false;
    PrerequisiteKind failedPrerequisite = NoPrerequisite;
    bool x64 = true;
    std::wstring detail;
};

// Shows the finish page for the outcome and gives the page's controls and the sheet window.
class FinishShown {
public:
    explicit FinishShown(const FinishOutcome& outcome)
    {
        log.Initialize();
        CInstallController& c = engine.controller;
        c.installMode = outcome.mode;
        c.lastResult = outcome.lastResult;
        c.rebootRequired = outcome.rebootRequired;
        c.downloadFailed = outcome.downloadFailed;
        c.failedPrerequisite = outcome.failedPrerequisite;
        c.isX64Windows = outcome.x64;
        c.downloadErrorText = outcome.detail;
        sheet = std::make_unique<CMyPropertySheet>(&c);
        sheet->AddPage(&finish);
        wizard = std::make_unique<FakeWizard>(*sheet);
        wizard->window.system.errorTexts = {{1603, L"Fatal error during installation.\r\n"},
                                            {0x80070005, L"Access is denied.\r\n"}};
        wizard->Start();
    }
    FakePageControls& Controls() { return wizard->Controls(finish); }

    LogFixture log;
    WizardEngine engine;
    CFinishPage finish;
    std::unique_ptr<CMyPropertySheet> sheet;
    std::unique_ptr<FakeWizard> wizard;
};

TEST(FinishPage, SuccessPerModeWithTheRebootRequest)
{
    const std::wstring reboot =
        L"\r\nPlease close all applications and restart the computer now! \r\nA reboot is required for applying updates.";
    const struct {
        uint32_t mode;
        bool reboot;
        std::wstring text;
        std::vector<std::string> log;
    } cases[] = {
        {InstallNewProduct, false, L"The KELVARO VOV Client has been installed.", {"OnSetActive", "InstallNewProduct done"}},
        {UpdateExistingProduct, true, L"The KELVARO VOV Client has been updated." + reboot,
         {"OnSetActive", "UpdateExistingProduct done"}},
        {RepairExistingProduct, false, L"The KELVARO VOV Client has been repaired.",
         {"OnSetActive", "RepairExistingProduct done"}},
        {ModifyExistingProduct, true, L"The KELVARO VOV Client has been modified." + reboot,
         {"OnSetActive", "ModifyExistingProduct done"}},
        {UnInstallExistingProduct, false, L"The KELVARO VOV Client has been removed.",
         {"OnSetActive", "UnInstallExistingProduct done"}},
        {0, false, L"Done", {"OnSetActive"}},
        {8, true, L"Done" + reboot, {"OnSetActive"}},
    };
    for (const auto& c : cases) {
        FinishOutcome outcome;
        outcome.mode = c.mode;
        outcome.rebootRequired = c.reboot;
        FinishShown shown(outcome);
        EXPECT_EQ(shown.Controls().texts[IDC_FINISH_TEXT], c.text) << c.mode;
        EXPECT_EQ(shown.Controls().hidden, std::set<int>({IDC_FINISH_LINK})) << c.mode;
        EXPECT_EQ(shown.log.Texts("CFinishPage"), c.log) << c.mode;
        EXPECT_EQ(shown.wizard->window.finishTexts,
                  c.reboot ? std::vector<std::wstring>({L"&Finish", L"&Reboot"}) : std::vector<std::wstring>({L"&Finish"}))
            << c.mode;
        EXPECT_EQ(shown.wizard->window.posts.back(), 4u) << c.mode;
    }
}

TEST(FinishPage, FailureWithCodeDetailAndTheSystemsText)
{
    const struct {
        const char* name;
        uint32_t code;
        std::wstring detail;
        std::wstring text;
        std::string log;
    } cases[] = {
        {"1603 without detail", 1603, L"",
         L"Setup failed. Last result code: 1603 (0x643)\r\nFatal error during installation.\r\n", "Result: 643"},
        {"1603 with detail", 1603, L"Could not download: \r\nx \r\n\r\ny",
         L"Setup failed. Could not download: \r\nx \r\n\r\ny \r\n\r\n(1603, 0x643)\r\nFatal error during installation.\r\n",
         "Result: 643"},
        {"HRESULT: negative decimal, eight hex digits", 0x80070005, L"",
         L"Setup failed. Last result code: -2147024891 (0x80070005)\r\nAccess is denied.\r\n", "Result: 80070005"},
        {"HRESULT with detail", 0x80070005, L"D",
         L"Setup failed. D \r\n\r\n(-2147024891, 0x80070005)\r\nAccess is denied.\r\n", "Result: 80070005"},
        {"no system text", 1641, L"", L"Setup failed. Last result code: 1641 (0x669)", "Result: 669"},
    };
    for (const auto& c : cases) {
        FinishOutcome outcome;
        outcome.lastResult = c.code;
        outcome.detail = c.detail;
        outcome.rebootRequired = true;  // shown only with success
        FinishShown shown(outcome);
        EXPECT_EQ(shown.Controls().texts[IDC_FINISH_TEXT], c.text) << c.name;
        EXPECT_EQ(shown.Controls().hidden, std::set<int>({IDC_FINISH_LINK})) << c.name;
        EXPECT_EQ(shown.log.Texts("CFinishPage"), std::vector<std::string>({"OnSetActive", c.log})) << c.name;
        EXPECT_EQ(shown.wizard->window.finishTexts, std::vector<std::wstring>({L"&Finish"})) << c.name;
    }
}

TEST(FinishPage, DownloadFailureShowsTheLinksForThisWindows)
{
    // The folder of the download server the build names; every file lies in it.
    const std::wstring server = PrerequisiteDownloadUrl(L"");
    const std::wstring detail = L"Could not download: \r\nGhostscript \r\n\r\nThe server did not answer.";
    const std::wstring faxStart =
        L"Setup failed. Downloading the prerequisites failed. Manually download and install <a href=\"";
    auto fax = [&](const std::wstring& gs, const std::wstring& edoc) {
        return faxStart + server + gs + L"\">Ghostscript (free)</a> and <a href=\"" + server + edoc +
               L"\">eDocPrintPro (free)</a> from the KELVARO server or use the latest free eDocPrintPro version from "
               L"<a href=\"https://www.edocprintpro.com\">https://www.edocprintpro.com</a>. Then run the setup again. "
               L"Alternatively you may install the software without the optional feature 'Fax Printer'. \r\n\r\n" +
               detail;
    };
    const std::wstring dotNet = L"Setup failed. Downloading the prerequisites failed. Manually download and install "
                                L"<a href=\"" + server + L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe\">.NET Framework "
                                L"4.7.2</a>. Then run the setup again. \r\n\r\n" + detail;
    const struct {
        const char* name;
        PrerequisiteKind kind;
        bool x64;
        std::wstring text;
    } cases[] = {
        {".NET, 64-bit", DotNetFramework, true, dotNet},
        {".NET, 32-bit", DotNetFramework, false, dotNet},
        {"Ghostscript, 64-bit", Ghostscript, true, fax(L"gs950w64.exe", L"eDocPrintPro_x64_v4.1.1.0.exe")},
        {"Ghostscript, 32-bit", Ghostscript, false, fax(L"gs927w32.exe", L"eDocPrintPro_v4.0.2.0.exe")},
        {"eDocPrintPro, 64-bit", EDocPrintPro, true, fax(L"gs950w64.exe", L"eDocPrintPro_x64_v4.1.1.0.exe")},
        {"eDocPrintPro, 32-bit", EDocPrintPro, false, fax(L"gs927w32.exe", L"eDocPrintPro_v4.0.2.0.exe")},
        {"no prerequisite named", NoPrerequisite, true, L""},
    };
    for (const auto& c : cases) {
        FinishOutcome outcome;
        outcome.downloadFailed = true;
        outcome.failedPrerequisite = c.kind;
        outcome.x64 = c.x64;
        outcome.lastResult = 0x800C0008;  // not looked at
        outcome.rebootRequired = true;    // not looked at
        outcome.detail = detail;
        FinishShown shown(outcome);
        EXPECT_EQ(shown.Controls().texts[IDC_FINISH_LINK], c.text) << c.name;
        EXPECT_EQ(shown.Controls().texts.count(IDC_FINISH_TEXT), 0u) << c.name;
        EXPECT_EQ(shown.Controls().hidden, std::set<int>({IDC_FINISH_TEXT})) << c.name;
        EXPECT_EQ(shown.log.Texts("CFinishPage"), std::vector<std::string>({"OnSetActive"})) << c.name;
        EXPECT_EQ(shown.wizard->window.finishTexts, std::vector<std::wstring>({L"&Finish"})) << c.name;
    }
}

TEST(FinishPage, AClickedLinkOpensItsAddress)
{
    FinishOutcome outcome;
    outcome.downloadFailed = true;
    outcome.failedPrerequisite = Ghostscript;
    FinishShown shown(outcome);
    ControlNotification click;
    click.controlId = IDC_FINISH_LINK;
    click.code = kNmClick;
    click.linkUrl = L"https://www.edocprintpro.com";
    bool handled = false;
    EXPECT_EQ(shown.finish.OnNotify(click, handled), 0);
    EXPECT_TRUE(handled);
    EXPECT_EQ(shown.wizard->window.opened,
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"open", L"https://www.edocprintpro.com"}}));

    // Other notifications and other controls are not the page's.
    for (const auto& [id, code] : std::vector<std::pair<int, int>>{{IDC_FINISH_LINK, -4}, {IDC_FINISH_TEXT, kNmClick}}) {
        ControlNotification other = click;
        other.controlId = id;
        other.code = code;
        handled = true;
        shown.finish.OnNotify(other, handled);
        EXPECT_FALSE(handled);
    }
    EXPECT_EQ(shown.wizard->window.opened.size(), 1u);
}

TEST(FinishPage, WithoutControllerOnlyTheFinishButton)
{
    LogFixture log;
    log.Initialize();
    CFinishPage finish;
    CMyPropertySheet sheet;
    sheet.AddPage(&finish);
    FakeWizard wizard(sheet);
    wizard.Start();
    EXPECT_EQ(wizard.CurrentIndex(), -1);
    EXPECT_EQ(wizard.window.finishTexts, std::vector<std::wstring>({L"&Finish"}));
    EXPECT_TRUE(wizard.Controls(finish).texts.empty());
}

}  // namespace
