// The install controller's queue: enqueue records, the run loop's results, and what each action runs.
#include <gtest/gtest.h>

#include <thread>

#include "support/FakeEngine.h"

using namespace engine_fake;

namespace {

std::string Narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w) s.push_back(static_cast<unsigned>(c) < 0x100 ? static_cast<char>(c) : '?');
    return s;
}

const std::wstring kLogs = L"C:\\Users\\Jörg\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup\\logs\\";

TEST(InstallController, SetInstallModeStoresAndLogsEveryValue)
{
    Machine m;
    CInstallController& c = m.Controller();
    for (uint32_t mode : {1u, 2u, 3u, 4u, 5u, 0u, 7u, 26u}) c.SetInstallMode(mode);
    EXPECT_EQ(c.installMode, 26u);
    const std::vector<std::string> expected = {
        "Set install mode: InstallNewProduct",      "Set install mode: UpdateExistingProduct",
        "Set install mode: RepairExistingProduct",  "Set install mode: ModifyExistingProduct",
        "Set install mode: UnInstallExistingProduct", "Set install mode: 0",
        "Set install mode: 7",                       "Set install mode: 1a"};
    EXPECT_EQ(m.log.Texts("CInstallController"), expected);
}

TEST(InstallController, EnqueueOperationsFillTheirRecordsAndLog)
{
    Machine m;
    m.Installed(kSameCode, L"6.7.3319");
    CInstallController& c = m.Controller();
    c.customConfigFiles = L"C:\\Cfg";
    c.addLocal = L"FeatureFax";
    c.remove = L"FeatureSnomD7";
    c.runAfterInstall = true;
    c.noRestart = true;
    c.quietFlags = L"qb";
    m.NewTexts("InstallController");

    c.EnqueueUninstallRelatedProducts();
    c.EnqueueRepairProduct();
    c.EnqueueModifyProduct();
    c.EnqueueInstallProduct();
    c.EnqueueUninstallViaMsiExec(L"GPL Ghostscript v9.26", L"{GS}");
    c.EnqueueUninstallCommandLine(L"GPL Ghostscript v9.20", L"C:\\gs\\uninstgs.exe /S");
    c.EnqueuePrerequisite(DotNetPrerequisite());
    c.EnqueueServiceAction(L"Print Spooler", L"Spooler", false);
    c.EnqueueCleanTool();

    const std::string msi = Narrow(m.MsiPath());
    const std::vector<std::string> expected = {
        "Enqueue uninstallation of related product: " + Narrow(kSameCode),
        "Enqueue repair of related product: " + msi,
        "Enqueue modify of related product: " + msi,
        "Enqueue installation of embedded msi file: " + msi,
        "Enqueue uninstallation of related product: {GS}",
        "Enqueue uninstallation of related product: C:\\gs\\uninstgs.exe /S",
        "Enqueue installation of prerequisite: .NET Framework 4.7.2",
        "Enqueue start service: Spooler, start: 0",
        "Enqueue clean tool: " + Narrow(c.cleanToolPath),
    };
    EXPECT_EQ(m.NewTexts("InstallController"), expected);

    ASSERT_EQ(c.actionQueue.size(), 9u);
    const CInstallAction& removal = c.actionQueue[0];
    EXPECT_EQ(removal.kind, UninstallRelatedProductViaMsiExec);
    EXPECT_EQ(removal.productCode, kSameCode);
    EXPECT_TRUE(removal.addLocal.empty() && removal.remove.empty() && removal.customConfigFiles.empty());
    EXPECT_FALSE(removal.runAfterInstall);
    EXPECT_TRUE(removal.noRestart);
    EXPECT_EQ(removal.quietFlags, L"qb");
    for (size_t i : {1u, 2u, 3u}) {
        const CInstallAction& a = c.actionQueue[i];
        EXPECT_EQ(a.msiPath, m.MsiPath());
        EXPECT_EQ(a.addLocal, L"FeatureFax");
        EXPECT_EQ(a.remove, L"FeatureSnomD7");
        EXPECT_EQ(a.customConfigFiles, L"C:\\Cfg");
        EXPECT_TRUE(a.runAfterInstall);
        EXPECT_EQ(a.displayName, L"KELVARO VOV Client for Windows");
    }
    EXPECT_EQ(c.actionQueue[1].kind, RepairInstalledProductViaMsiExec);
    EXPECT_EQ(c.actionQueue[2].kind, ModifyInstalledProductViaMsiExec);
    EXPECT_EQ(c.actionQueue[3].kind, InstallProductViaMsiExec);
    const CInstallAction& gs = c.actionQueue[4];
    EXPECT_TRUE(gs.quiet && gs.noRestart);  // fixed for a legacy removal
    EXPECT_EQ(c.actionQueue[5].kind, UninstallProductCommandLine);
    EXPECT_EQ(c.actionQueue[6].prerequisiteKind, DotNetFramework);
    EXPECT_EQ(c.actionQueue[6].fileName, L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
    EXPECT_EQ(c.actionQueue[6].downloadUrl,
              L"https://download.kelvaro.com/kelvaro/clients/Windows/redist/NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
    EXPECT_EQ(c.actionQueue[7].serviceName, L"Spooler");
    EXPECT_EQ(c.actionQueue[8].displayName, L"CleanupTool");

    c.ClearInstallActionQueue();
    c.ClearInstallActionQueue();
    EXPECT_TRUE(c.actionQueue.empty());
    EXPECT_EQ(m.NewTexts("InstallController"),
              (std::vector<std::string>{"ClearInstallActionQueue", "ClearInstallActionQueue"}));
}

TEST(InstallController, NoRelatedProductsQueuesNoRemoval)
{
    Machine m;
    CInstallController& c = m.Controller();
    m.NewTexts("InstallController");
    c.EnqueueUninstallRelatedProducts();
    EXPECT_TRUE(c.actionQueue.empty());
    EXPECT_TRUE(m.NewTexts("InstallController").empty());
}

struct PlanQueueCase {
    const char* name;
    bool x64;
    bool dotNet, ghostscript, eDoc;
    bool quiet;
    const wchar_t* quietFlags;
    std::vector<std::wstring> expected;  // display name (or service + start) and switches
};

std::vector<std::wstring> Describe(const std::deque<CInstallAction>& queue)
{
    std::vector<std::wstring> out;
    for (const CInstallAction& a : queue) {
        if (a.kind == StartServiceAction) out.push_back(a.displayName + L"/" + a.serviceName + (a.start ? L" start" : L" stop"));
        else out.push_back(a.displayName + L" [" + a.fileName + L"] " + a.switches);
    }
    return out;
}

TEST(InstallController, EnqueuePrerequisitesInPlanOrderWithTheirSwitches)
{
    const std::wstring gs64 = L"Ghostscript 9.50 for Windows (64 bit) AGPL Release [gs950w64.exe] /S";
    const std::wstring gs32 = L"Ghostscript 9.27 for Windows (32 bit) AGPL Release [gs927w32.exe] /S";
    const std::wstring net = L".NET Framework 4.7.2 [NDP472-KB4054530-x86-x64-AllOS-ENU.exe] /norestart /passive";
    const std::wstring stop = L"Print Spooler/Spooler stop", start = L"Print Spooler/Spooler start";
    const std::wstring quiet = L"/exenoui /exenoupdates /norestart /quiet";
    const std::wstring basic = L"/exebasicui /exenoupdates /norestart /passive";
    const PlanQueueCase cases[] = {
        {"nothing missing", true, false, false, false, false, L"", {}},
        {"only .NET", true, true, false, false, false, L"", {net}},
        {"full plan on x64", true, true, true, true, false, L"",
         {net, gs64, stop, L"eDocPrintPro v4.1.1 free [eDocPrintPro_x64.exe] " + basic, start}},
        {"full plan on 32-bit", false, true, true, true, false, L"",
         {net, gs32, stop, L"eDocPrintPro v4.0.2 free [eDocPrintPro.exe] " + basic, start}},
        {"quiet", true, false, false, true, true, L"", {stop, L"eDocPrintPro v4.1.1 free [eDocPrintPro_x64.exe] " + quiet, start}},
        {"qn+", true, false, false, true, false, L"qn+", {stop, L"eDocPrintPro v4.1.1 free [eDocPrintPro_x64.exe] " + quiet, start}},
        {"qn", true, false, false, true, false, L"qn", {stop, L"eDocPrintPro v4.1.1 free [eDocPrintPro_x64.exe] " + basic, start}},
        {"QN+", true, false, false, true, false, L"QN+", {stop, L"eDocPrintPro v4.1.1 free [eDocPrintPro_x64.exe] " + basic, start}},
    };
    for (const PlanQueueCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.system.x64 = c.x64;
        CInstallController& controller = m.Controller();
        controller.needDotNet = c.dotNet;
        controller.needGhostscript = c.ghostscript;
        controller.needEDocPrintPro = c.eDoc;
        controller.quiet = c.quiet;
        controller.quietFlags = c.quietFlags;
        controller.EnqueuePrerequisites();
        EXPECT_EQ(Describe(controller.actionQueue), c.expected);
    }
}

TEST(InstallController, LegacyGhostscriptRemovalQueuesOnlyOlderEntries)
{
    Machine m;
    m.UninstallEntry(L"{GS926}", L"GPL Ghostscript MSI Distribution 9.26", L"9.26", L"MsiExec.exe /X{GS926}");
    m.UninstallEntry(L"GS920", L"GPL Ghostscript", L"9.20", L"C:\\gs\\uninstgs.exe");
    m.UninstallEntry(L"GS953", L"GPL Ghostscript", L"9.53.3", L"C:\\gs953\\uninstgs.exe");
    CInstallController& c = m.Controller();
    c.EnqueueLegacyGhostscriptRemoval();
    ASSERT_EQ(c.actionQueue.size(), 2u);
    EXPECT_EQ(c.actionQueue[0].kind, UninstallRelatedProductViaMsiExec);
    EXPECT_EQ(c.actionQueue[0].productCode, L"{GS926}");
    EXPECT_EQ(c.actionQueue[1].kind, UninstallProductCommandLine);
    EXPECT_EQ(c.actionQueue[1].uninstallCommand, L"C:\\gs\\uninstgs.exe /S");
    EXPECT_EQ(c.actionQueue[1].displayName, L"GPL Ghostscript v9.20");
}

// Queues three product installs and runs them with the given exit codes.
struct RunCase {
    const char* name;
    std::vector<uint32_t> exitCodes;
    uint32_t lastResult;
    bool reboot;
    size_t left;
    size_t started;
};

TEST(InstallController, RunInstallActionsResults)
{
    const RunCase cases[] = {
        {"all succeed", {0, 0, 0}, 0, false, 0, 3},
        {"3010 is success with a reboot", {3010, 0, 0}, 0, true, 0, 3},
        {"1641 stops like any failure", {0, 1641, 0}, 1641, false, 1, 2},
        {"failure in the first of three", {1603, 0, 0}, 1603, false, 2, 1},
        {"reboot then failure", {3010, 1603, 0}, 1603, true, 1, 2},
    };
    for (const RunCase& rc : cases) {
        SCOPED_TRACE(rc.name);
        Machine m;
        CInstallController& c = m.Controller();
        for (uint32_t code : rc.exitCodes) {
            FakeProcessLauncher::Outcome o;
            o.exitCode = code;
            m.launcher.script.push_back(o);
        }
        c.EnqueueInstallProduct();
        c.EnqueueInstallProduct();  // duplicates are queued and run twice
        c.EnqueueInstallProduct();
        c.running = true;
        c.RunInstallActions();
        EXPECT_FALSE(c.running);
        EXPECT_EQ(c.lastResult, rc.lastResult);
        EXPECT_EQ(c.rebootRequired, rc.reboot);
        EXPECT_EQ(c.actionQueue.size(), rc.left);
        EXPECT_EQ(m.launcher.commandLines.size(), rc.started);
        EXPECT_EQ(m.launcher.OpenHandles(), 0u);
    }
}

// The full plan (.NET, Ghostscript, Spooler stop, eDocPrintPro, Spooler start) and the client, with the installers'
// exit codes in queue order; a prerequisite that is not in the cache fails its download.
struct SpoolerCase {
    const char* name;
    std::vector<uint32_t> exitCodes;
    bool eDocPrintProCached;
    uint32_t lastResult;
    std::vector<std::string> runs;  // "Run: ..." and "Result of ..." lines, shortened to the name and the result
    size_t left;                    // records that stay unrun
};

TEST(InstallController, AStoppedSpoolerIsStartedAgainEvenAfterAFailure)
{
    const std::string net = ".NET Framework 4.7.2", gs = "Ghostscript 9.50 for Windows (64 bit) AGPL Release",
                      edoc = "eDocPrintPro v4.1.1 free", spooler = "Print Spooler", client = "KELVARO VOV Client for Windows";
    auto ran = [](const std::string& name, const std::string& result) { return name + " " + result; };
    const SpoolerCase cases[] = {
        {"everything succeeds", {0, 0, 0, 0}, true, 0,
         {ran(net, "0"), ran(gs, "0"), ran(spooler, "0"), ran(edoc, "0"), ran(spooler, "0"), ran(client, "0")}, 0},
        {"eDocPrintPro fails: the Spooler is started, then the run stops with the failure", {0, 0, 1603}, true, 0x643,
         {ran(net, "0"), ran(gs, "0"), ran(spooler, "0"), ran(edoc, "643"), ran(spooler, "0")}, 1},
        {"eDocPrintPro cannot be downloaded", {0, 0}, false, 0x800C0008,
         {ran(net, "0"), ran(gs, "0"), ran(spooler, "0"), ran(edoc, "800c0008"), ran(spooler, "0")}, 1},
        {"eDocPrintPro asks for a reboot: success", {0, 0, 3010, 0}, true, 0,
         {ran(net, "0"), ran(gs, "0"), ran(spooler, "0"), ran(edoc, "0"), ran(spooler, "0"), ran(client, "0")}, 0},
        {"a failure before the stop: the Spooler was never stopped", {0, 1603}, true, 0x643,
         {ran(net, "0"), ran(gs, "643")}, 4},
        {"a failure after the start: nothing more runs", {0, 0, 0, 1603}, true, 0x643,
         {ran(net, "0"), ran(gs, "0"), ran(spooler, "0"), ran(edoc, "0"), ran(spooler, "0"), ran(client, "643")}, 0},
    };
    for (const SpoolerCase& sc : cases) {
        SCOPED_TRACE(sc.name);
        Machine m;
        m.services.Add(L"Spooler", true);
        CInstallController& c = m.Controller();
        c.needDotNet = c.needGhostscript = c.needEDocPrintPro = true;
        for (const wchar_t* file : {L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", L"gs950w64.exe"})
            m.files.AddFile(m.WorkFolder() + L"\\" + file, "cached");
        if (sc.eDocPrintProCached) m.files.AddFile(m.WorkFolder() + L"\\eDocPrintPro_x64.exe", "cached");
        for (uint32_t code : sc.exitCodes) {
            FakeProcessLauncher::Outcome o;
            o.exitCode = code;
            m.launcher.script.push_back(o);
        }
        c.EnqueuePrerequisites();
        c.EnqueueInstallProduct();
        m.NewTexts("InstallController");
        c.running = true;
        c.RunInstallActions();

        EXPECT_FALSE(c.running);
        EXPECT_EQ(c.lastResult, sc.lastResult);
        EXPECT_EQ(c.actionQueue.size(), sc.left);
        // The Spooler runs at the end whatever failed.
        EXPECT_TRUE(m.services.services[L"spooler"].running);
        std::vector<std::string> runs;
        std::string name;
        for (const std::string& line : m.NewTexts("InstallController")) {
            if (line.rfind("Run: ", 0) == 0) {
                name = line.substr(5);
            } else if (line.rfind("Result of " + name + ": ", 0) == 0) {
                runs.push_back(name + " " + line.substr(12 + name.size()));
            }
        }
        EXPECT_EQ(runs, sc.runs);
        EXPECT_EQ(m.launcher.OpenHandles(), 0u);
        EXPECT_EQ(m.services.OpenHandles(), 0u);
    }
}

TEST(InstallController, EmptyQueueOnlyClearsRunning)
{
    Machine m;
    CInstallController& c = m.Controller();
    m.NewTexts("InstallController");
    c.running = true;
    c.lastResult = 5;
    c.RunInstallActions();
    EXPECT_FALSE(c.running);
    EXPECT_EQ(c.lastResult, 5u);
    EXPECT_TRUE(m.NewTexts("InstallController").empty());
}

TEST(InstallController, RebootRequestDropsRunAfterInstallFromLaterProductActionsOnly)
{
    Machine m;
    m.Installed(kSameCode, L"6.7.3319");
    CInstallController& c = m.Controller();
    c.runAfterInstall = true;
    c.EnqueuePrerequisite(DotNetPrerequisite());
    c.EnqueueInstallProduct();
    c.EnqueueModifyProduct();
    c.EnqueueUninstallRelatedProducts();
    m.files.AddFile(m.WorkFolder() + L"\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe", "cached");
    FakeProcessLauncher::Outcome reboot;
    reboot.exitCode = 3010;
    m.launcher.script.push_back(reboot);
    m.NewTexts("InstallController");
    c.RunInstallActions();
    ASSERT_EQ(m.launcher.commandLines.size(), 4u);
    const std::wstring msi = m.MsiPath();
    const std::wstring options = L" /qn /promptrestart /lvoicewarmupx \"";
    EXPECT_EQ(m.launcher.commandLines[1],
              L"C:\\Windows\\system32\\msiexec.exe /i \"" + msi + L"\"" + options + kLogs + L"DiDeraveInstall.log\" ");
    EXPECT_EQ(m.launcher.commandLines[2],
              L"C:\\Windows\\system32\\msiexec.exe /i \"" + msi + L"\"" + options + kLogs + L"DiDeraveModify.log\" ");
    EXPECT_EQ(m.launcher.commandLines[3], L"C:\\Windows\\system32\\msiexec.exe /x \"" + kSameCode + L"\"" + options +
                                              kLogs + L"DiDeraveUnInstall.log\" ");
    EXPECT_TRUE(c.runAfterInstall) << "the controller's own flag stays";
    const auto lines = m.NewTexts("InstallController");
    EXPECT_EQ(lines[0], "Run: .NET Framework 4.7.2");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Component was installed, but reboot is required"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Result of .NET Framework 4.7.2: 0"), lines.end());
}

TEST(InstallAction, RunProcessLogsEveryStepAndMapsItsOutcome)
{
    struct Case {
        const char* name;
        FakeProcessLauncher::Outcome outcome;
        uint32_t result;
        std::vector<std::string> tail;  // the lines after "Create process"
    };
    const Case cases[] = {
        {"exit code", {0, 1603, 0}, 1603, {"Wait for process", "Process done", "Process exit code: 643"}},
        {"still active", {0, 259, 0}, 0,
         {"Wait for process", "Process done", "Process exit code: 103", "Process is still active"}},
        {"missing program", {2, 0, 0}, 2, {"Create process failed: 2"}},
        {"exit code unreadable", {0, 77, 6}, 6,
         {"Wait for process", "Process done", "Process exit code: 0", "Could not get process exit code: 6"}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        Machine m;
        CInstallController& c = m.Controller();
        m.launcher.script.push_back(tc.outcome);
        c.EnqueueCleanTool();
        m.NewTexts("CInstallAction");
        c.RunInstallActions();
        EXPECT_EQ(c.lastResult, tc.result);
        std::vector<std::string> expected = {"\"" + Narrow(c.cleanToolPath) + "\"", "Create process"};
        expected.insert(expected.end(), tc.tail.begin(), tc.tail.end());
        EXPECT_EQ(m.NewTexts("CInstallAction"), expected);
        EXPECT_EQ(m.launcher.OpenHandles(), 0u);
    }
}

TEST(InstallAction, EachKindLogsSetsItsJobAndRunsItsCommandLine)
{
    Machine m;
    m.Installed(kSameCode, L"6.7.3319");
    CInstallController& c = m.Controller();
    c.extractor.localRedistFolder = L"C:\\R";
    m.files.AddFile(L"C:\\R\\gs950w64.exe");
    m.files.AddFile(L"C:\\gs\\uninstgs.exe");
    c.customConfigFiles = L"C:\\Cfg";
    c.EnqueueRepairProduct();
    c.EnqueueUninstallCommandLine(L"GPL Ghostscript v9.20", L"C:\\gs\\uninstgs.exe /S");
    c.EnqueuePrerequisite(GhostscriptPrerequisite(true));
    c.EnqueueServiceAction(L"Print Spooler", L"Spooler", true);
    m.services.Add(L"Spooler", false);
    m.NewTexts("CInstallAction");
    m.NewTexts("InstallController");
    c.RunInstallActions();
    EXPECT_EQ(c.lastResult, 0u);

    const std::wstring msi = m.MsiPath();
    const std::vector<std::wstring> commands = {
        L"C:\\Windows\\system32\\msiexec.exe /faumsv \"" + msi + L"\" /qn /promptrestart CUSTOMCONFIGFILES=\"C:\\Cfg\" "
        L"/lvoicewarmupx \"" + kLogs + L"DiDeraveRepair.log\" ",
        L"C:\\gs\\uninstgs.exe /S",
        L"\"C:\\R\\gs950w64.exe\" /S ",
    };
    EXPECT_EQ(m.launcher.commandLines, commands);
    // Every program is named by its full path, and every child starts in the working folder.
    const std::vector<std::wstring> programs = {L"C:\\Windows\\system32\\msiexec.exe", L"C:\\gs\\uninstgs.exe",
                                                L"C:\\R\\gs950w64.exe"};
    EXPECT_EQ(m.launcher.applications, programs);
    EXPECT_EQ(m.launcher.currentFolders, std::vector<std::wstring>(3, m.WorkFolder()));
    // The msiexec log folder is opened folder by folder without following links, from the temporary folder down.
    const std::wstring temp = L"C:\\Users\\Jörg\\AppData\\Local\\Temp";
    const std::vector<std::wstring> opened = {temp, temp + L"\\KELVARO GmbH", temp + L"\\KELVARO GmbH\\Setup",
                                              temp + L"\\KELVARO GmbH\\Setup\\logs"};
    EXPECT_EQ(m.files.openedFolders, opened);
    const auto action = m.NewTexts("CInstallAction");
    EXPECT_EQ(action[0], "RepairInstalledProductViaMsiExec: " + Narrow(msi));
    EXPECT_NE(std::find(action.begin(), action.end(), "UninstallProductCommandLine: C:\\gs\\uninstgs.exe /S"), action.end());
    EXPECT_NE(std::find(action.begin(), action.end(), "DownloadAndInstallPrerequisite: Ghostscript 9.50 for Windows (64 bit) AGPL Release"),
              action.end());
    EXPECT_EQ(action.back(), "StartServiceAction: Spooler, start: 1");
    std::vector<std::string> jobs;
    for (const std::string& line : m.NewTexts("InstallController")) {
        if (line.rfind("SetCurrentJobDescription: ", 0) == 0) jobs.push_back(line.substr(26));
    }
    const std::vector<std::string> expectedJobs = {
        "Repairing: KELVARO VOV Client for Windows", "Removing: GPL Ghostscript v9.20",
        "Downloading: Ghostscript 9.50 for Windows (64 bit) AGPL Release",
        "Installing: Ghostscript 9.50 for Windows (64 bit) AGPL Release", "Starting service: Print Spooler"};
    EXPECT_EQ(jobs, expectedJobs);
    EXPECT_EQ(c.CurrentJobDescription(), L"Starting service: Print Spooler");
    EXPECT_TRUE(m.services.services[L"spooler"].running);
}

TEST(InstallAction, ServiceActionSucceedsWhateverTheServiceAnswers)
{
    Machine m;
    CInstallController& c = m.Controller();
    c.EnqueueServiceAction(L"Print Spooler", L"NoSuchService", false);
    c.EnqueueServiceAction(L"Print Spooler", L"Spooler", false);
    c.RunInstallActions();
    EXPECT_EQ(c.lastResult, 0u);
    EXPECT_TRUE(c.actionQueue.empty());
}

// An installer that cannot be had marks the prerequisite and stops the queue, with the download's or the
// verification's result: nothing that fails verification runs. The administrator's file stays where it is; what
// was downloaded is deleted.
TEST(InstallAction, AnInstallerThatCannotBeHadOrVerifiedStopsTheQueueAndNeverRuns)
{
    const struct {
        const char* name;
        bool unsignedEverywhere;  // a file in REDISTDIR and every download fail verification
        uint32_t expected;
    } cases[] = {
        {"every download fails", false, 0x800C0008u},
        {"every copy fails verification", true, 0x800B0100u},
    };
    for (const auto& t : cases) {
        Machine m;
        CInstallController& c = m.Controller();
        c.extractor.localRedistFolder = L"C:\\R";
        if (t.unsignedEverywhere) {
            m.files.AddFile(L"C:\\R\\eDocPrintPro_x64.exe", "MZ unsigned");
            m.trust.otherwise = {0x800B0100, L""};
            m.downloader.otherwise = {0, true, "MZ unsigned"};
        }
        c.EnqueuePrerequisite(EDocPrintProPrerequisite(true, kEDocPrintProBasicSwitches));
        c.EnqueueInstallProduct();
        c.RunInstallActions();
        EXPECT_EQ(c.lastResult, t.expected) << t.name;
        EXPECT_TRUE(c.downloadFailed) << t.name;
        EXPECT_EQ(c.failedPrerequisite, EDocPrintPro) << t.name;
        EXPECT_EQ(c.downloadErrorText, L"Could not download: \r\neDocPrintPro v4.1.1 free \r\n\r\n"
                                       L"https://download.kelvaro.com/kelvaro/clients/\r\nWindows/redist/"
                                       L"eDocPrintPro_x64_v4.1.1.0.exe")
            << t.name;
        ASSERT_EQ(m.downloader.calls.size(), 3u) << t.name;
        EXPECT_EQ(m.downloader.calls[0].path, m.WorkFolder() + L"\\eDocPrintPro_x64.exe") << t.name;
        EXPECT_TRUE(m.launcher.commandLines.empty()) << t.name;
        EXPECT_EQ(c.actionQueue.size(), 1u) << t.name << ": the product stays queued, not run";
        EXPECT_EQ(m.files.Has(L"C:\\R\\eDocPrintPro_x64.exe"), t.unsignedEverywhere) << t.name;
        EXPECT_FALSE(m.files.Has(m.WorkFolder() + L"\\eDocPrintPro_x64.exe")) << t.name;
        EXPECT_TRUE(m.trust.OpenPaths().empty()) << t.name;
    }
}

TEST(InstallAction, TheVerifiedInstallerIsHeldOpenUntilItHasExited)
{
    Machine m;
    CInstallController& c = m.Controller();
    c.extractor.localRedistFolder = L"C:\\R";
    m.files.AddFile(L"C:\\R\\gs950w64.exe", "MZ signed");
    // The folder is reached through a link: the program started is the held file where it really is.
    m.trust.links[fake::Fold(L"C:\\R\\gs950w64.exe")] = L"D:\\Media\\redist\\gs950w64.exe";
    std::vector<std::vector<std::wstring>> openAtStart;
    m.launcher.onStart = [&m, &openAtStart](const std::wstring&) { openAtStart.push_back(m.trust.OpenPaths()); };
    c.EnqueuePrerequisite(GhostscriptPrerequisite(true));
    c.RunInstallActions();
    EXPECT_EQ(c.lastResult, 0u);
    EXPECT_EQ(m.launcher.commandLines, std::vector<std::wstring>{L"\"C:\\R\\gs950w64.exe\" /S "});
    EXPECT_EQ(m.launcher.applications, std::vector<std::wstring>{L"D:\\Media\\redist\\gs950w64.exe"});
    EXPECT_EQ(m.launcher.currentFolders, std::vector<std::wstring>{m.WorkFolder()});
    EXPECT_EQ(openAtStart, std::vector<std::vector<std::wstring>>{{L"C:\\R\\gs950w64.exe"}});
    EXPECT_EQ(m.trust.signatureChecks, std::vector<std::wstring>{L"C:\\R\\gs950w64.exe"});
    EXPECT_EQ(m.launcher.waited.size(), 1u);
    EXPECT_TRUE(m.trust.OpenPaths().empty()) << "closed after the wait";
}


TEST(InstallController, WorkerThreadRunsTheQueueAndPublishesWholeJobTexts)
{
    Machine m;
    CInstallController& c = m.Controller();
    for (int i = 0; i < 50; ++i) c.EnqueueServiceAction(L"Print Spooler", L"Spooler", i % 2 == 0);
    c.running = true;
    std::thread worker([&c] { CInstallController::InstallWorkerThread(&c); });
    // The reader always sees one of the complete texts.
    while (c.running) {
        const std::wstring text = c.CurrentJobDescription();
        EXPECT_TRUE(text.empty() || text == L"Starting service: Print Spooler" || text == L"Stopping service: Print Spooler")
            << Narrow(text);
    }
    worker.join();
    const auto lines = m.log.Texts("InstallController");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Worker thread started"), lines.end());
    EXPECT_EQ(lines.back(), "Worker thread done");
    EXPECT_TRUE(c.actionQueue.empty());
}

TEST(InstallController, OutlookIsFoundByNameIgnoringCase)
{
    Machine m;
    CInstallController& c = m.Controller();
    EXPECT_FALSE(c.IsOutlookRunning());
    m.processes.Add(4711, "OUTLOOK.EXE");
    EXPECT_TRUE(c.IsOutlookRunning());
}

}  // namespace
