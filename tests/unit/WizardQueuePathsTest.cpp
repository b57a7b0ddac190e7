// Tests of the queue that the progress page receives after the user went back and forward through the pages
// after the features (legacy Ghostscript, prerequisites, confirmation, running applications): each chosen action is
// queued once, in the order legacy removals, prerequisites, product action.
#include <gtest/gtest.h>

#include <memory>

#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/WizardPages.h"

namespace {

constexpr uint32_t kOutlookId = 815;
const wchar_t* const kRelatedProduct = L"{23EA6169-CCA9-4815-96BF-5AC4082FE794}";

// What the user does, page by page.
enum class Step { Next, Back, Modify, Repair, Remove, UncheckFax, OutlookEnds, Retry };

struct PathCase {
    const char* name;
    InstallState state;
    bool dotNetMissing;       // .NET Framework is missing
    bool faxPrerequisites;    // with the fax printer, Ghostscript and eDocPrintPro are missing too
    bool outlookRuns;
    std::vector<Step> steps;  // from the welcome page; the last one shows the progress page
    std::vector<std::wstring> queue;
};

// One line per queued action: what it runs.
std::wstring Describe(const CInstallAction& action)
{
    switch (action.kind) {
    case UninstallRelatedProductViaMsiExec: return L"msiexec /x " + action.productCode;
    case UninstallProductCommandLine: return L"run " + action.uninstallCommand;
    case RepairInstalledProductViaMsiExec: return L"repair";
    case ModifyInstalledProductViaMsiExec: return L"modify";
    case InstallProductViaMsiExec: return L"install";
    case DownloadAndInstallPrerequisite: return L"prerequisite " + action.displayName;
    case StartServiceAction: return (action.start ? L"start " : L"stop ") + action.serviceName;
    default: return L"other";
    }
}

// The whole wizard for the case's install state with the real pages on the engine fakes: the client with a fax
// printer feature, one older Ghostscript installed.
class PathWizard {
public:
    explicit PathWizard(const PathCase& c)
    {
        engine.SetFeatures({{L"MainFeature", FakeMsi::Cell(), L"KELVARO VOV Client", L"", 1, 1, 0},
                            {L"FeatureFax", L"MainFeature", L"Fax Printer", L"", 2, 1, 0}});
        engine.resources.strings[IDS_PRINT_SPOOLER] = L"Print Spooler";
        CInstallController& controller = engine.controller;
        controller.installState = c.state;
        controller.relatedProductCodes = {kRelatedProduct};
        controller.ReadFeatures(L"");
        // An installed client has both features.
        for (FeatureInfo& feature : controller.features) feature.installed = c.state != NotInstalled;
        LegacyGhostscriptEntry legacy;
        legacy.displayName = L"GPL Ghostscript v9.20";
        legacy.uninstallCommand = L"C:\\gs\\gs9.20\\uninstgs.exe /S";
        legacy.isOlder = true;
        controller.legacyGhostscripts = {legacy};
        controller.legacyGhostscriptFound = true;
        controller.needDotNet = c.dotNetMissing;
        controller.ghostscriptInstalled = controller.eDocPrintProInstalled = !c.faxPrerequisites;
        if (c.outlookRuns) engine.processes.Add(kOutlookId, "outlook.exe");

        sheet = std::make_unique<CMyPropertySheet>(&controller);
        pages.AddTo(*sheet, c.state);
        wizard = std::make_unique<FakeWizard>(*sheet);
    }

    // Performs the step; false when the wizard did not move as a Next, Back or Retry should.
    bool Do(Step step)
    {
        FakePageControls& controls = wizard->CurrentControls();
        const bool update = wizard->CurrentTemplate() == IDD_UPDATE;
        switch (step) {
        case Step::Next: return wizard->Next() >= 0;
        case Step::Back: return wizard->Back() >= 0;
        case Step::Modify: controls.ClickRadio(IDC_MODIFY_RADIO, MaintenanceRadios()); return true;
        case Step::Repair: controls.ClickRadio(IDC_REPAIR_RADIO, MaintenanceRadios()); return true;
        case Step::Remove:
            if (update) controls.ClickRadio(IDC_UPDATE_REMOVE_RADIO, {IDC_UPDATE_RADIO, IDC_UPDATE_REMOVE_RADIO});
            else controls.ClickRadio(IDC_REPAIR_REMOVE_RADIO, MaintenanceRadios());
            return true;
        case Step::UncheckFax: controls.trees[IDC_FEATURE_TREE].Check(L"Fax Printer", false); return true;
        case Step::OutlookEnds: engine.processes.ById(kOutlookId)->running = false; return true;
        case Step::Retry: {
            const uint32_t before = wizard->CurrentTemplate();
            wizard->Current().OnCommand(IDC_RETRY_BUTTON, kBnClicked);
            return wizard->CurrentTemplate() != before;
        }
        }
        return false;
    }

    static std::vector<int> MaintenanceRadios() { return {IDC_REPAIR_RADIO, IDC_MODIFY_RADIO, IDC_REPAIR_REMOVE_RADIO}; }

    WizardEngine engine;
    CWizardPages pages;
    std::unique_ptr<CMyPropertySheet> sheet;
    std::unique_ptr<FakeWizard> wizard;
};

const std::wstring kRemoveLegacy = L"run C:\\gs\\gs9.20\\uninstgs.exe /S";
const std::wstring kDotNet = L"prerequisite .NET Framework 4.7.2";
const std::vector<std::wstring> kFaxPrerequisites = {L"prerequisite Ghostscript 9.50 for Windows (64 bit) AGPL Release",
                                                     L"stop Spooler", L"prerequisite eDocPrintPro v4.1.1 free",
                                                     L"start Spooler"};

std::vector<std::wstring> Queue(std::initializer_list<std::vector<std::wstring>> parts)
{
    std::vector<std::wstring> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Walks the case's steps from the welcome page and compares the queue the progress page received.
void CheckPath(const PathCase& c)
{
    PathWizard w(c);
    w.wizard->Start();
    for (size_t i = 0; i < c.steps.size(); ++i) {
        ASSERT_TRUE(w.Do(c.steps[i])) << "step " << i << " on page " << w.wizard->CurrentTemplate();
    }
    ASSERT_EQ(w.wizard->CurrentTemplate(), IDD_PROGRESS) << ::testing::PrintToString(w.wizard->shown);
    ASSERT_EQ(w.wizard->window.threads.size(), 1u);
    std::vector<std::wstring> queue;
    for (const CInstallAction& action : w.engine.controller.actionQueue) queue.push_back(Describe(action));
    EXPECT_EQ(queue, c.queue);
}

TEST(WizardQueuePaths, EveryChosenActionIsQueuedOnceInOrderWhicheverWayTheUserWent)
{
    using S = Step;
    const PathCase cases[] = {
        {"install: features, legacy, confirmation, back to the features and forward again", NotInstalled, false, false,
         false, {S::Next, S::Next, S::Next, S::Back, S::Next, S::Next, S::Next}, {kRemoveLegacy, L"install"}},
        {"install: the same path twice over", NotInstalled, false, false, false,
         {S::Next, S::Next, S::Next, S::Back, S::Next, S::Next, S::Back, S::Next, S::Next, S::Next},
         {kRemoveLegacy, L"install"}},
        {"install: back to the features, fax unchecked: the legacy page is skipped and nothing of it is queued",
         NotInstalled, false, false, false, {S::Next, S::Next, S::Next, S::Back, S::UncheckFax, S::Next, S::Next},
         {L"install"}},
        {"install: every prerequisite, confirmation back to the prerequisites and forward", NotInstalled, true, true,
         false, {S::Next, S::Next, S::Next, S::Next, S::Back, S::Next, S::Next},
         Queue({{kRemoveLegacy, kDotNet}, kFaxPrerequisites, {L"install"}})},
        {"install: back from the confirmation over every page to the features, fax unchecked", NotInstalled, true, true,
         false,
         {S::Next, S::Next, S::Next, S::Next, S::Back, S::Back, S::Back, S::UncheckFax, S::Next, S::Next, S::Next},
         {kDotNet, L"install"}},
        {"install while Outlook runs: running applications, back, confirmation again, Retry", NotInstalled, true, true,
         true,
         {S::Next, S::Next, S::Next, S::Next, S::Next, S::Back, S::Next, S::OutlookEnds, S::Retry},
         Queue({{kRemoveLegacy, kDotNet}, kFaxPrerequisites, {L"install"}})},
        {"update: confirmation back to the prerequisites, back to the legacy page and forward", LowerVersionInstalled,
         false, true, false, {S::Next, S::Next, S::Next, S::Next, S::Next, S::Back, S::Back, S::Next, S::Next, S::Next},
         Queue({{kRemoveLegacy}, kFaxPrerequisites, {L"install"}})},
        {"modify: prerequisites back to the legacy page and forward", SameVersionInstalled, false, true, false,
         {S::Next, S::Modify, S::Next, S::Next, S::Next, S::Next, S::Back, S::Back, S::Next, S::Next, S::Next},
         Queue({{kRemoveLegacy}, kFaxPrerequisites, {L"modify"}})},
        {"modify while Outlook runs, back from running applications", SameVersionInstalled, false, false, true,
         {S::Next, S::Modify, S::Next, S::Next, S::Next, S::Next, S::Back, S::Next, S::OutlookEnds, S::Retry},
         {kRemoveLegacy, L"modify"}},
        {"repair with .NET missing: confirmation back to the maintenance page and forward", SameVersionInstalled, true,
         false, false, {S::Next, S::Repair, S::Next, S::Next, S::Back, S::Next, S::Next, S::Next}, {kDotNet, L"repair"}},
        // The features chosen for the modification (with the fax printer) still decide the prerequisites.
        {"repair after going through modify's pages first", SameVersionInstalled, true, true, false,
         {S::Next, S::Modify, S::Next, S::Next, S::Next, S::Next, S::Back, S::Back, S::Back, S::Back, S::Repair,
          S::Next, S::Next, S::Next},
         Queue({{kDotNet}, kFaxPrerequisites, {L"repair"}})},
        {"remove while Outlook runs: back from running applications and Next again", SameVersionInstalled, false,
         false, true, {S::Next, S::Remove, S::Next, S::Next, S::Back, S::Next, S::OutlookEnds, S::Retry},
         {L"msiexec /x " + std::wstring(kRelatedProduct)}},
        {"remove after modify's pages up to the confirmation", SameVersionInstalled, true, true, false,
         {S::Next, S::Modify, S::Next, S::Next, S::Next, S::Next, S::Back, S::Back, S::Back, S::Back, S::Remove,
          S::Next, S::Next},
         {L"msiexec /x " + std::wstring(kRelatedProduct)}},
        {"remove on the update page after the update's pages", LowerVersionInstalled, false, true, false,
         {S::Next, S::Next, S::Next, S::Next, S::Next, S::Back, S::Back, S::Back, S::Back, S::Remove, S::Next,
          S::Next},
         {L"msiexec /x " + std::wstring(kRelatedProduct)}},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogFixture log;
        log.Initialize();
        CheckPath(c);
    }
}

}  // namespace
