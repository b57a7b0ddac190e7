// Tests of the confirmation page (texts, verbs, Back targets, the product action queued on Next and the shut-down
// of a running client) and of the running-applications page (Outlook check, Retry).
#include <gtest/gtest.h>

#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/ConfirmPage.h"
#include "wizard/RunningAppsPage.h"

namespace {

constexpr uint32_t kClientId = 4711;
constexpr uint32_t kOutlookId = 815;

// Confirmation, Running Applications and a stand-in for Progress on one sheet.
class ConfirmWizard {
public:
    explicit ConfirmWizard(WizardEngine& engine) : sheet(&engine.controller)
    {
        sheet.AddPage(&confirm);
        sheet.AddPage(&runningApps);
        sheet.AddPage(&progress);
        wizard = std::make_unique<FakeWizard>(sheet);
    }
    FakeSheetWindow& Window() { return wizard->window; }

    CConfirmPage confirm;
    CRunningAppsPage runningApps;
    StandInPage progress{IDD_PROGRESS};
    CMyPropertySheet sheet;
    std::unique_ptr<FakeWizard> wizard;
};

TEST(ConfirmPage, TextAndNextVerbPerMode)
{
    const struct {
        uint32_t mode;
        std::vector<std::string> log;
        std::wstring text;     // empty: the control keeps its template text
        std::wstring caption;  // empty: the Next caption is not set
    } cases[] = {
        {InstallNewProduct, {"OnSetActive", "InstallNewProduct"},
         L"Click 'Install' to complete the KELVARO VOV Client installation.", L"&Install"},
        {UpdateExistingProduct, {"OnSetActive", "UpdateExistingProduct"},
         L"Click 'Update' to complete the KELVARO VOV Client update.", L"U&pdate"},
        {RepairExistingProduct, {"OnSetActive", "RepairExistingProduct"},
         L"Click 'Repair' to resolve issues with the KELVARO VOV Client installation.", L"Re&pair"},
        {ModifyExistingProduct, {"OnSetActive", "ModifyExistingProduct"},
         L"Click 'Modify' to select features to be installed.", L"&Modify"},
        {UnInstallExistingProduct, {"OnSetActive", "UnInstallExistingProduct"},
         L"Click 'Remove' to uninstall the KELVARO VOV Client.", L"Re&move"},
        {0, {"OnSetActive"}, L"", L""},
        {9, {"OnSetActive"}, L"", L""},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = c.mode;
        ConfirmWizard w(engine);
        w.wizard->Start();
        EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_CONFIRM) << c.mode;
        EXPECT_EQ(log.Texts("CConfirmPage"), c.log) << c.mode;
        FakePageControls& controls = w.wizard->Controls(w.confirm);
        EXPECT_EQ(controls.texts.count(IDC_CONFIRM_TEXT) ? controls.texts[IDC_CONFIRM_TEXT] : L"", c.text) << c.mode;
        auto& captions = w.Window().controlTexts;
        EXPECT_EQ(captions.count(kIdWizNext) ? captions[kIdWizNext] : L"", c.caption) << c.mode;
        EXPECT_TRUE(w.Window().posts.empty()) << c.mode;  // the buttons stay as they were
    }
}

TEST(ConfirmPage, WithoutControllerTheActivationIsRefused)
{
    CConfirmPage confirm;
    CMyPropertySheet sheet;
    sheet.AddPage(&confirm);
    FakeWizard wizard(sheet);
    LogFixture log;
    log.Initialize();
    wizard.Start();
    EXPECT_EQ(wizard.CurrentIndex(), -1);
    EXPECT_EQ(log.Texts("CConfirmPage"), std::vector<std::string>({"OnSetActive"}));
    EXPECT_EQ(confirm.OnWizardNext(), -1);
    EXPECT_EQ(confirm.OnWizardBack(), -1);
    EXPECT_EQ(wizard.window.controlTexts[kIdWizNext], L"&Next >");
}

TEST(ConfirmPage, BackRestoresNextAndReturnsByModeAndState)
{
    const struct {
        const char* name;
        uint32_t mode;
        InstallState state;
        bool missing;
        int expected;
    } cases[] = {
        {"install", InstallNewProduct, NotInstalled, false, IDD_FEATURES},
        {"install, .NET missing", InstallNewProduct, NotInstalled, true, IDD_PREREQUISITES},
        {"update", UpdateExistingProduct, LowerVersionInstalled, false, IDD_FEATURES},
        {"update, .NET missing", UpdateExistingProduct, LowerVersionInstalled, true, IDD_PREREQUISITES},
        {"modify", ModifyExistingProduct, SameVersionInstalled, false, IDD_FEATURES},
        {"modify, .NET missing", ModifyExistingProduct, SameVersionInstalled, true, IDD_PREREQUISITES},
        {"repair", RepairExistingProduct, SameVersionInstalled, false, IDD_REPAIR},
        {"repair, .NET missing", RepairExistingProduct, SameVersionInstalled, true, IDD_REPAIR},
        {"remove, lower version", UnInstallExistingProduct, LowerVersionInstalled, true, IDD_UPDATE},
        {"remove, same version", UnInstallExistingProduct, SameVersionInstalled, false, IDD_REPAIR},
        {"remove, higher version", UnInstallExistingProduct, HigherVersionInstalled, false, IDD_DOWNGRADE},
        {"remove, not installed", UnInstallExistingProduct, NotInstalled, false, 0},
        {"remove, unreadable package", UnInstallExistingProduct, PackageUnreadable, false, 0},
        {"no mode, same version", 0, SameVersionInstalled, false, IDD_REPAIR},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = c.mode;
        engine.controller.installState = c.state;
        engine.controller.needDotNet = c.missing;
        ConfirmWizard w(engine);
        w.wizard->Start();
        EXPECT_EQ(w.confirm.OnWizardBack(), c.expected) << c.name;
        EXPECT_EQ(w.Window().controlTexts[kIdWizNext], L"&Next >") << c.name;
    }
}

TEST(ConfirmPage, NextReplacesTheQueueWithTheProductActionOfTheMode)
{
    const struct {
        uint32_t mode;
        std::vector<InstallActionKind> kinds;  // after two presses of Next
        std::vector<std::string> queueLines;
    } cases[] = {
        {InstallNewProduct, {InstallProductViaMsiExec},
         {"Enqueue installation of embedded msi file: C:\\P.msi", "ClearInstallActionQueue",
          "Enqueue installation of embedded msi file: C:\\P.msi"}},
        {UpdateExistingProduct, {InstallProductViaMsiExec},
         {"Enqueue installation of embedded msi file: C:\\P.msi", "ClearInstallActionQueue",
          "Enqueue installation of embedded msi file: C:\\P.msi"}},
        {RepairExistingProduct, {RepairInstalledProductViaMsiExec},
         {"Enqueue repair of related product: C:\\P.msi", "ClearInstallActionQueue",
          "Enqueue repair of related product: C:\\P.msi"}},
        {ModifyExistingProduct, {ModifyInstalledProductViaMsiExec},
         {"Enqueue modify of related product: C:\\P.msi", "ClearInstallActionQueue",
          "Enqueue modify of related product: C:\\P.msi"}},
        {UnInstallExistingProduct, {UninstallRelatedProductViaMsiExec},
         {"Enqueue uninstallation of related product: {23EA6169-CCA9-4815-96BF-5AC4082FE794}",
          "ClearInstallActionQueue",
          "Enqueue uninstallation of related product: {23EA6169-CCA9-4815-96BF-5AC4082FE794}"}},
        {0, {}, {}},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = c.mode;
        engine.controller.msiPath = L"C:\\P.msi";
        engine.controller.relatedProductCodes = {L"{23EA6169-CCA9-4815-96BF-5AC4082FE794}"};
        ConfirmWizard w(engine);
        w.wizard->Start();
        // A second Next, as after Back from the running-applications page, replaces what the first queued.
        EXPECT_EQ(w.confirm.OnWizardNext(), IDD_PROGRESS) << c.mode;
        EXPECT_EQ(w.confirm.OnWizardNext(), IDD_PROGRESS) << c.mode;
        std::vector<InstallActionKind> kinds;
        for (const CInstallAction& action : engine.controller.actionQueue) kinds.push_back(action.kind);
        EXPECT_EQ(kinds, c.kinds) << c.mode;
        std::vector<std::string> queueLines;
        for (const std::string& line : log.Texts("InstallController")) {
            if (line.rfind("Enqueue", 0) == 0 || line == "ClearInstallActionQueue") queueLines.push_back(line);
        }
        EXPECT_EQ(queueLines, c.queueLines) << c.mode;
    }
}

TEST(ConfirmPage, NextGoesToRunningApplicationsWhileOutlookRuns)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installMode = InstallNewProduct;
    engine.processes.Add(kOutlookId, "OUTLOOK.EXE");
    ConfirmWizard w(engine);
    w.wizard->Start();
    EXPECT_EQ(w.wizard->Next(), 1);
    EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_RUNNINGAPPS);
    // Outlook is not ended by the page.
    EXPECT_TRUE(engine.processes.terminated.empty());
}

// The client's semaphore and process as the test scripts them, and what Next then does: the calls of the Windows
// services, the page's own traces (process enumerations are counted instead) and the processes ended by force.
struct TerminationCase {
    const char* name;
    bool semaphoreExists;
    bool semaphoreFails;
    bool clientRuns;
    uint32_t quitsAfterMs;  // 0: ignores the request
    std::vector<std::wstring> calls;
    std::vector<std::string> traces;
    int enumerations;  // looks for the client while waiting, the forced end (2) and the Outlook check (1)
    std::vector<uint32_t> terminated;
};

std::vector<std::wstring> Sleeps(int count)
{
    return std::vector<std::wstring>(static_cast<size_t>(count), L"Sleep 1000");
}

std::vector<std::wstring> Join(std::vector<std::wstring> a, const std::vector<std::wstring>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ConfirmPage, NextAsksARunningClientToQuitAndEndsWhatRemains)
{
    const std::wstring create = L"CreateSemaphore KvDiDeraveRunning 0 1";
    const std::wstring broadcast = L"Broadcast TermKvDiDeraveReq";
    const std::wstring close = L"CloseHandle 94";
    const TerminationCase cases[] = {
        {"no client", false, false, false, 0, {create, close},
         {"TerminateDiDerave", "No running instance found -> ok", "TerminateDiDerave done"}, 3, {}},
        {"client quits 2.5 s after the request: the third check finds it gone", true, false, true, 2500,
         Join(Join({create, broadcast}, Sleeps(3)), {close}),
         {"TerminateDiDerave", "Terminate running instance", "TerminateDiDerave done"}, 3 + 3, {}},
        {"client ignores the request: ten waits, then the forced end", true, false, true, 0,
         Join(Join({create, broadcast}, Sleeps(10)), {close}),
         {"TerminateDiDerave", "Terminate running instance", "TerminateDiDerave done",
          "Terminate process: KelvaroDiDerave.exe"},
         10 + 3, {kClientId}},
        {"semaphore cannot be created: counts as running, no handle to close", false, true, false, 0,
         {create, broadcast, L"Sleep 1000"},
         {"TerminateDiDerave", "Terminate running instance", "TerminateDiDerave done"}, 1 + 3, {}},
    };
    const std::set<std::string> pageTraces = {"TerminateDiDerave", "Terminate running instance",
                                              "No running instance found -> ok", "TerminateDiDerave done",
                                              "Terminate process: KelvaroDiDerave.exe"};
    for (const TerminationCase& c : cases) {
        LogFixture log;
        log.Initialize();
        DebugRecorder trace;
        WizardEngine engine;
        engine.controller.installMode = InstallNewProduct;
        if (c.clientRuns) engine.processes.Add(kClientId, "KelvaroDiDerave.exe");
        ConfirmWizard w(engine);
        FakeWizardSystem& system = w.Window().system;
        system.semaphoreExists = c.semaphoreExists;
        system.semaphoreFails = c.semaphoreFails;
        const uint32_t quitsAfter = c.quitsAfterMs;
        system.onSleep = [&engine, quitsAfter](uint32_t elapsed) {
            if (quitsAfter != 0 && elapsed >= quitsAfter) engine.processes.ById(kClientId)->running = false;
        };
        w.wizard->Start();
        trace.lines.clear();
        EXPECT_EQ(w.wizard->Next(), 2) << c.name;  // Outlook does not run: straight to Progress
        EXPECT_EQ(system.calls, c.calls) << c.name;
        std::vector<std::string> traces;
        int enumerations = 0;
        for (const std::string& line : trace.lines) {
            if (pageTraces.count(line)) traces.push_back(line);
            enumerations += line == "Start enum processes";
        }
        EXPECT_EQ(traces, c.traces) << c.name;
        EXPECT_EQ(enumerations, c.enumerations) << c.name;
        EXPECT_EQ(engine.processes.terminated, c.terminated) << c.name;
        EXPECT_EQ(system.openHandles, 0) << c.name;
    }
}

TEST(RunningAppsPage, NextOnlyWhileOutlookIsClosed)
{
    for (bool outlook : {true, false}) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = InstallNewProduct;
        if (outlook) engine.processes.Add(kOutlookId, "outlook.exe");
        ConfirmWizard w(engine);
        w.wizard->Activate(1);
        EXPECT_EQ(w.Window().posts, std::vector<uint32_t>({1, outlook ? 1u : 3u})) << outlook;
        EXPECT_EQ(log.Texts("CRunningAppsPage"), std::vector<std::string>({"OnSetActive"}));
        // Back leads to the confirmation page, Next to the progress page.
        EXPECT_EQ(w.runningApps.OnWizardBack(), 0);
        EXPECT_EQ(w.runningApps.OnWizardNext(), 0);
    }
}

TEST(RunningAppsPage, RetryStaysWhileOutlookRunsAndProceedsOnceItIsClosed)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installMode = InstallNewProduct;
    engine.processes.Add(kOutlookId, "outlook.exe");
    ConfirmWizard w(engine);
    w.wizard->Start();
    w.wizard->Next();
    ASSERT_EQ(w.wizard->CurrentTemplate(), IDD_RUNNINGAPPS);

    w.Window().posts.clear();
    w.runningApps.OnCommand(IDC_RETRY_BUTTON, kBnClicked);
    EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_RUNNINGAPPS);
    EXPECT_EQ(w.Window().posts, std::vector<uint32_t>({1, 1}));
    EXPECT_EQ(log.Texts("CRunningAppsPage"), std::vector<std::string>({"OnSetActive", "OnButtonCheckRunningApps"}));

    // Another notification of the button is not a click.
    w.runningApps.OnCommand(IDC_RETRY_BUTTON, 5);
    EXPECT_EQ(log.Texts("CRunningAppsPage").size(), 2u);

    engine.processes.ById(kOutlookId)->running = false;
    w.Window().posts.clear();
    w.runningApps.OnCommand(IDC_RETRY_BUTTON, kBnClicked);
    EXPECT_EQ(w.wizard->CurrentTemplate(), IDD_PROGRESS);
    EXPECT_EQ(w.Window().posts, std::vector<uint32_t>({1, 3}));
    EXPECT_EQ(log.Texts("CRunningAppsPage"),
              std::vector<std::string>({"OnSetActive", "OnButtonCheckRunningApps", "OnButtonCheckRunningApps", "Proceed"}));
    // The verb stays on the Next button.
    EXPECT_EQ(w.Window().controlTexts[kIdWizNext], L"&Install");
}

}  // namespace
