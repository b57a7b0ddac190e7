// The setup run: the clean-tool run, the folders, and every row of the unattended decision.
#include <gtest/gtest.h>

#include "app/SetupRun.h"
#include "support/FakeEngine.h"

using namespace engine_fake;

namespace {

const std::wstring kFolder = L"C:\\Media\\";

std::vector<std::string> BootStrapperLines(Machine& m) { return m.log.Texts("BootStrapper"); }

// The kind and target of a process's command line: "install/modify", "repair", "remove {code}", "dotnet", "clean".
std::string StartedKind(const std::wstring& line)
{
    if (line.find(L"msiexec.exe /i ") != std::wstring::npos) return "install/modify";
    if (line.find(L"msiexec.exe /faumsv ") != std::wstring::npos) return "repair";
    if (line.find(L"msiexec.exe /x ") != std::wstring::npos)
        return "remove " + std::string(line.begin() + line.find(L'{'), line.begin() + line.find(L'}') + 1);
    if (line.find(L"NDP472") != std::wstring::npos) return "dotnet";
    if (line.find(L"CleanupInstallation.exe") != std::wstring::npos) return "clean";
    return "other";
}

// The kind of every process started, in order.
std::vector<std::string> Started(Machine& m)
{
    std::vector<std::string> out;
    for (const std::wstring& line : m.launcher.commandLines) out.push_back(StartedKind(line));
    return out;
}

struct DecisionCase {
    const char* name;
    InstallState state;
    bool uninstall;
    bool lists;
    std::vector<std::string> lines;    // BootStrapper lines after "Unattended setup"
    std::string mode;                  // CInstallController line, or "" when none
    std::vector<std::string> started;  // processes
    uint32_t exitCode;
};

void InstallFor(Machine& m, InstallState state)
{
    if (state == LowerVersionInstalled) m.Installed(kLowerCode, L"6.6.2100");
    if (state == SameVersionInstalled) m.Installed(kSameCode, L"6.7.3319");
    if (state == HigherVersionInstalled) m.Installed(kHigherCode, L"6.8.1000");
    if (state == PackageUnreadable) m.msi.packages.clear();
}

TEST(SetupRun, EveryRowOfTheUnattendedDecision)
{
    const std::string lower = "remove " + std::string(kLowerCode.begin(), kLowerCode.end());
    const std::string same = "remove " + std::string(kSameCode.begin(), kSameCode.end());
    const std::string higher = "remove " + std::string(kHigherCode.begin(), kHigherCode.end());
    const DecisionCase cases[] = {
        {"nothing, /x", NotInstalled, true, false, {"Not installed", "Uninstall requested, nothing installed"}, "", {}, 1605},
        {"nothing, /x with lists", NotInstalled, true, true, {"Not installed", "Uninstall requested, nothing installed"}, "", {}, 1605},
        {"unreadable, /x", PackageUnreadable, true, false, {"Not installed", "Uninstall requested, nothing installed"}, "", {}, 1605},
        {"nothing, install", NotInstalled, false, false, {"Not installed", "Install requested", "Done"},
         "Set install mode: InstallNewProduct", {"install/modify"}, 0},
        {"unreadable, install", PackageUnreadable, false, true, {"Not installed", "Install requested", "Done"},
         "Set install mode: InstallNewProduct", {"install/modify"}, 0},
        {"lower, /x", LowerVersionInstalled, true, false, {"Lower version installed", "Uninstall requested", "Done"},
         "Set install mode: UnInstallExistingProduct", {lower}, 0},
        {"lower, install", LowerVersionInstalled, false, true, {"Lower version installed", "Install requested", "Done"},
         "Set install mode: InstallNewProduct", {"install/modify"}, 0},
        {"same, /x wins over lists", SameVersionInstalled, true, true, {"Same version installed", "Uninstall requested", "Done"},
         "Set install mode: UnInstallExistingProduct", {same}, 0},
        {"same, lists", SameVersionInstalled, false, true, {"Same version installed", "Modify requested", "Done"},
         "Set install mode: ModifyExistingProduct", {"install/modify"}, 0},
        {"same, no lists", SameVersionInstalled, false, false, {"Same version installed", "Repair", "Done"},
         "Set install mode: RepairExistingProduct", {"repair"}, 0},
        {"higher, /x", HigherVersionInstalled, true, false, {"Higher version installed", "Uninstall requested", "Done"},
         "Set install mode: UnInstallExistingProduct", {higher}, 0},
        {"higher, install", HigherVersionInstalled, false, false,
         {"Higher version installed", "Install requested, downgrade not supported"}, "", {}, 1638},
        {"higher, lists", HigherVersionInstalled, false, true,
         {"Higher version installed", "Install requested, downgrade not supported"}, "", {}, 1638},
    };
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        InstallFor(m, c.state);
        SetupOptions options;
        options.install = !c.uninstall;
        options.uninstall = c.uninstall;
        if (c.lists) options.addLocalFeatures = L"MainFeature";
        const uint32_t code = RunSetup(m.engine, options, kFolder, nullptr);
        EXPECT_EQ(code, c.exitCode);
        std::vector<std::string> expected = {"CustomConfigFilesPath: C:\\Media\\CustomConfigFiles",
                                             "LocalRedistPath: C:\\Media\\redist", "Unattended setup"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(BootStrapperLines(m), expected);
        const auto modes = m.log.Texts("CInstallController");
        EXPECT_EQ(modes.empty() ? std::string() : modes.back(), c.mode);
        EXPECT_EQ(Started(m), c.started);
        EXPECT_EQ(m.files.FileCount(), 0u) << "extracted files are deleted";
    }
}

TEST(SetupRun, UnattendedOptionsReachTheInstallerAndPrerequisitesComeFirst)
{
    Machine m;
    m.DotNet(1);
    m.files.AddFile(L"D:\\Redist\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
    SetupOptions options;
    options.passive = true;
    options.noReboot = true;
    options.runAfterSetup = true;
    options.quietFlags = L"qb!";
    options.localRedistPath = L"D:\\Redist";
    options.customConfigFilesPath = L"D:\\Cfg";
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr), 0u);
    ASSERT_EQ(m.launcher.commandLines.size(), 2u);
    EXPECT_EQ(m.launcher.commandLines[0], L"\"D:\\Redist\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe\" /norestart /passive ");
    EXPECT_EQ(m.launcher.commandLines[1],
              L"C:\\Windows\\system32\\msiexec.exe /i \"" + m.MsiPath() +
                  L"\" /qb! /norestart CUSTOMCONFIGFILES=\"D:\\Cfg\" RUNAFTERINSTALL=1 /lvoicewarmupx "
                  L"\"C:\\Users\\Jörg\\AppData\\Local\\Temp\\KELVARO GmbH\\Setup\\logs\\DiDeraveInstall.log\" ");
    const std::vector<std::string> controllerLines = m.log.Texts("InstallController");
    EXPECT_NE(std::find(controllerLines.begin(), controllerLines.end(), "CustomConfigPath: D:\\Cfg"), controllerLines.end());
    EXPECT_NE(std::find(controllerLines.begin(), controllerLines.end(), "LocalRedistPath: D:\\Redist"), controllerLines.end());
}

struct ExitCase {
    const char* name;
    std::vector<uint32_t> exitCodes;  // .NET installer, then msiexec
    uint32_t expected;
};

TEST(SetupRun, ExitCodeFollowsWindowsInstallerConventions)
{
    const ExitCase cases[] = {
        {"success", {0, 0}, 0},
        {"reboot requested by a prerequisite", {3010, 0}, 3010},
        {"reboot requested by the package", {0, 3010}, 3010},
        {"prerequisite failed", {1603}, 1603},
        {"reboot then failure", {3010, 1603}, 1603},
        {"process could not start", {0xFFFFFFFF}, 2},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.DotNet(1);
        m.files.AddFile(L"C:\\Media\\redist\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
        for (uint32_t code : c.exitCodes) {
            FakeProcessLauncher::Outcome o;
            if (code == 0xFFFFFFFF) o.startError = 2;
            else o.exitCode = code;
            m.launcher.script.push_back(o);
        }
        SetupOptions options;
        options.quiet = true;
        EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr), c.expected);
        EXPECT_EQ(BootStrapperLines(m).back(), "Done");
    }
}

TEST(SetupRun, CleanRunsOnlyTheCleanUpToolAfterTheFullSetUp)
{
    Machine m;
    m.Installed(kSameCode, L"6.7.3319");
    SetupOptions options;
    options.clean = true;
    options.uninstall = true;
    options.addLocalFeatures = L"FeatureFax";
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr), 0u);
    EXPECT_EQ(BootStrapperLines(m), (std::vector<std::string>{"Launch clean tool", "Done"}));
    EXPECT_EQ(Started(m), std::vector<std::string>{"clean"});
    EXPECT_EQ(m.launcher.commandLines[0], L"\"" + m.WorkFolder() + L"\\CleanupInstallation.exe\"");
    EXPECT_EQ(m.launcher.applications[0], m.WorkFolder() + L"\\CleanupInstallation.exe");
    const auto lines = m.log.Texts("InstallController");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Installed version: 6.7.3.319"), lines.end())
        << "detection ran before the clean-tool check";
}

class RecordingWizard : public IWizardRun {
public:
    int runs = 0;
    bool runAfterInstall = false;
    std::wstring customConfigFiles;
    uint32_t Run(CInstallController& controller) override
    {
        ++runs;
        runAfterInstall = controller.runAfterInstall;
        customConfigFiles = controller.customConfigFiles;
        return 1602;
    }
    void ShowSetupError(uint32_t error) override { setupErrors.push_back(error); }
    std::vector<uint32_t> setupErrors;
};

TEST(SetupRun, WithoutUnattendedOptionsTheWizardRunsWithRunAfterInstallSet)
{
    for (bool given : {false, true}) {
        Machine m;
        SetupOptions options;
        options.noReboot = true;       // no effect on a wizard run
        options.runAfterSetup = true;  // no effect either
        if (given) options.customConfigFilesPath = L"";
        RecordingWizard wizard;
        EXPECT_EQ(RunSetup(m.engine, options, kFolder, &wizard), 1602u);
        EXPECT_EQ(wizard.runs, 1);
        EXPECT_TRUE(wizard.runAfterInstall);
        EXPECT_EQ(wizard.customConfigFiles, L"C:\\Media\\CustomConfigFiles");
        EXPECT_EQ(BootStrapperLines(m).back(), "Done");
        EXPECT_TRUE(m.launcher.commandLines.empty());
    }
    Machine m;
    SetupOptions options;
    EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr), 0u) << "no wizard available: the run only ends";
    EXPECT_EQ(BootStrapperLines(m).back(), "Done");
}

// A payload that cannot be written ends every kind of run with that Windows error: nothing is detected or run,
// the working folder goes, and only a run that would show the wizard tells the user, instead of the wizard.
TEST(SetupRun, APayloadThatCannotBeWrittenEndsTheRunWithItsError)
{
    struct Case {
        const char* name;
        void (*set)(SetupOptions&);
        bool messageShown;
    };
    const Case cases[] = {
        {"wizard", [](SetupOptions&) {}, true},
        {"wizard with a folder", [](SetupOptions& o) { o.customConfigFilesPath = L"D:\\Cfg"; }, true},
        {"passive", [](SetupOptions& o) { o.passive = true; }, false},
        {"quiet removal", [](SetupOptions& o) { o.uninstall = o.quiet = true; }, false},
        {"feature list", [](SetupOptions& o) { o.addLocalFeatures = L"MainFeature"; }, false},
        {"clean", [](SetupOptions& o) { o.clean = true; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.Installed(kSameCode, L"6.7.3319");
        // Another process holds the name of the 64-bit package.
        m.files.failWrite[m.MsiPath(true)] = 32;
        SetupOptions options;
        c.set(options);
        RecordingWizard wizard;
        EXPECT_EQ(RunSetup(m.engine, options, kFolder, &wizard), 32u);
        EXPECT_EQ(wizard.runs, 0);
        EXPECT_EQ(wizard.setupErrors, c.messageShown ? std::vector<uint32_t>{32} : std::vector<uint32_t>{});
        EXPECT_EQ(BootStrapperLines(m), std::vector<std::string>{"Setup failed: 20"});
        EXPECT_TRUE(m.launcher.commandLines.empty());
        EXPECT_TRUE(m.msi.calls.empty());
        const std::vector<std::string> extractor = m.log.Texts("ResourceExtractor");
        EXPECT_EQ(std::count(extractor.begin(), extractor.end(), "Extract failed: 20"), 1);
        EXPECT_EQ(m.files.FileCount(), 0u);
        EXPECT_FALSE(m.files.HasFolder(m.WorkFolder()));
    }
}

// Records the progress window's calls among the processes the run starts: "show <caption>", "start <kind>",
// "close <job description at that moment>".
class RecordingProgress : public IProgressDisplay {
public:
    explicit RecordingProgress(Machine& m)
    {
        m.launcher.onStart = [this](const std::wstring& line) { events.push_back("start " + StartedKind(line)); };
    }
    void Show(CInstallController& controller) override
    {
        shownController_ = &controller;
        events.push_back("show " + Narrow(controller.productDisplayName));
    }
    void Close() override
    {
        events.push_back("close " + (shownController_ ? Narrow(shownController_->CurrentJobDescription()) : ""));
        shownController_ = nullptr;
    }
    std::vector<std::string> events;

private:
    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
    CInstallController* shownController_ = nullptr;
};

// The progress window of /passive comes up before the first action starts and goes after the last one ended, for
// every kind of unattended run; a quiet switch, the other unattended switches and a refused request show none.
TEST(SetupRun, PassiveShowsTheProgressAroundTheActionsAndQuietSwitchesDoNot)
{
    struct Case {
        const char* name;
        InstallState state;
        void (*set)(SetupOptions&);
        std::vector<std::string> events;
        uint32_t exitCode;
    };
    const std::string show = "show KELVARO VOV Client for Windows";
    const std::string msi = "start install/modify";
    const std::string removeSame = "start remove " + std::string(kSameCode.begin(), kSameCode.end());
    const Case cases[] = {
        {"/passive, install", NotInstalled, [](SetupOptions& o) { o.passive = true; },
         {show, "start dotnet", msi, "close Installing: KELVARO VOV Client for Windows"}, 0},
        {"/passive, upgrade", LowerVersionInstalled, [](SetupOptions& o) { o.passive = true; },
         {show, "start dotnet", msi, "close Installing: KELVARO VOV Client for Windows"}, 0},
        {"/passive, repair", SameVersionInstalled, [](SetupOptions& o) { o.passive = true; },
         {show, "start dotnet", "start repair", "close Repairing: KELVARO VOV Client for Windows"}, 0},
        {"/passive ADDLOCAL, modify", SameVersionInstalled,
         [](SetupOptions& o) { o.passive = true; o.addLocalFeatures = L"MainFeature"; },
         {show, "start dotnet", msi, "close Modifying: KELVARO VOV Client for Windows"}, 0},
        {"/passive /x, removal", SameVersionInstalled, [](SetupOptions& o) { o.passive = o.uninstall = true; },
         {show, removeSame, "close Removing: KELVARO VOV Client for Windows"}, 0},
        {"/passive /quiet", NotInstalled, [](SetupOptions& o) { o.passive = o.quiet = true; },
         {"start dotnet", msi}, 0},
        {"/passive /qn", NotInstalled, [](SetupOptions& o) { o.passive = true; o.quietFlags = L"qn"; },
         {"start dotnet", msi}, 0},
        {"/passive /qb!", NotInstalled, [](SetupOptions& o) { o.passive = true; o.quietFlags = L"qb!"; },
         {"start dotnet", msi}, 0},
        {"/quiet", NotInstalled, [](SetupOptions& o) { o.quiet = true; }, {"start dotnet", msi}, 0},
        {"/qn", NotInstalled, [](SetupOptions& o) { o.quietFlags = L"qn"; }, {"start dotnet", msi}, 0},
        {"/i", NotInstalled, [](SetupOptions& o) { o.install = true; }, {"start dotnet", msi}, 0},
        {"/x", SameVersionInstalled, [](SetupOptions& o) { o.uninstall = true; }, {removeSame}, 0},
        {"ADDLOCAL only", SameVersionInstalled, [](SetupOptions& o) { o.addLocalFeatures = L"MainFeature"; },
         {"start dotnet", msi}, 0},
        {"/passive /x, nothing installed", NotInstalled, [](SetupOptions& o) { o.passive = o.uninstall = true; },
         {}, 1605},
        {"/passive, downgrade refused", HigherVersionInstalled, [](SetupOptions& o) { o.passive = true; }, {}, 1638},
        {"/passive /clean", SameVersionInstalled, [](SetupOptions& o) { o.passive = o.clean = true; },
         {"start clean"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        InstallFor(m, c.state);
        m.DotNet(1);
        m.files.AddFile(L"C:\\Media\\redist\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
        SetupOptions options;
        c.set(options);
        RecordingProgress progress(m);
        EXPECT_EQ(RunSetup(m.engine, options, kFolder, nullptr, &progress), c.exitCode);
        EXPECT_EQ(progress.events, c.events);
    }
}

}  // namespace
