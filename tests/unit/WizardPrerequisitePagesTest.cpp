// Tests of the legacy-Ghostscript and prerequisites pages: what they list, the hint, what Next records for the
// confirmation page to queue, and Back, which empties the queue, forgets what was recorded and returns to the page
// the user came from.
#include <gtest/gtest.h>

#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/ConfirmPage.h"
#include "wizard/GhostscriptPage.h"
#include "wizard/PrerequisitesPage.h"

namespace {

LegacyGhostscriptEntry Legacy(const std::wstring& name, const std::wstring& productCode, bool older)
{
    LegacyGhostscriptEntry entry;
    entry.displayName = name;
    entry.productCode = productCode;
    entry.uninstallCommand = L"C:\\gs\\" + name + L"\\uninstgs.exe /S";
    entry.isOlder = older;
    return entry;
}

// One page on a sheet with the controller of a fake engine.
template <class Page>
class OnePage {
public:
    explicit OnePage(WizardEngine& engine) : sheet(&engine.controller)
    {
        sheet.AddPage(&page);
        wizard = std::make_unique<FakeWizard>(sheet);
    }
    FakePageControls& Controls() { return wizard->Controls(page); }

    Page page;
    CMyPropertySheet sheet;
    std::unique_ptr<FakeWizard> wizard;
};

// The page followed by the confirmation page, whose Next builds the queue.
template <class Page>
class PageThenConfirmation : public OnePage<Page> {
public:
    explicit PageThenConfirmation(WizardEngine& engine) : OnePage<Page>(engine) { this->sheet.AddPage(&confirm); }
    CConfirmPage confirm;
};

// The log lines of the queue's operations.
std::vector<std::string> QueueLines(LogFixture& log)
{
    std::vector<std::string> lines;
    for (const std::string& text : log.Texts("InstallController")) {
        if (text.rfind("Enqueue", 0) == 0 || text == "ClearInstallActionQueue") lines.push_back(text);
    }
    return lines;
}

class LegacyGhostscriptPageTest : public ::testing::Test {
protected:
    LegacyGhostscriptPageTest()
    {
        log.Initialize();
        engine.controller.installMode = InstallNewProduct;
        engine.controller.legacyGhostscripts = {Legacy(L"GPL Ghostscript v9.20", L"", true),
                                                Legacy(L"gs_x64 v9.50", L"", false),
                                                Legacy(L"GPL Ghostscript v9.05", L"{1E2C9A3B-0000-4C5D-8E9F-123456789ABC}", true)};
    }

    LogFixture log;
    WizardEngine engine;
    OnePage<CGhostscript> one{engine};
};

TEST_F(LegacyGhostscriptPageTest, ListsOnlyTheOlderVersionsAllCheckedAndStoresTheirLines)
{
    one.wizard->Start();
    FakeListBox& list = one.Controls().lists[IDC_GHOSTSCRIPT_LIST];
    EXPECT_EQ(list.lines, std::vector<std::wstring>({L"GPL Ghostscript v9.20", L"GPL Ghostscript v9.05"}));
    EXPECT_EQ(list.checks, std::vector<int>({1, 1}));
    const auto& entries = engine.controller.legacyGhostscripts;
    EXPECT_EQ(entries[0].listIndex, 0);
    EXPECT_EQ(entries[1].listIndex, -1);
    EXPECT_EQ(entries[2].listIndex, 1);
    EXPECT_EQ(one.Controls().texts[IDC_GHOSTSCRIPT_TEXT],
              L"It is recommended to uninstall legacy installations of Ghostscript due to known security issues. "
              L"Remove the checkmarks from all listed versions that you want to keep.");
    EXPECT_EQ(log.Texts("CGhostscript"), std::vector<std::string>({"OnSetActive"}));
    // The page keeps the buttons the previous page left.
    EXPECT_TRUE(one.wizard->window.posts.empty());
}

TEST_F(LegacyGhostscriptPageTest, NextRecordsTheCheckedLinesThatConfirmationQueuesByProductCodeOrByCommand)
{
    const struct {
        const char* name;
        std::vector<int> checks;  // of the two lines
        std::vector<std::string> queued;
    } cases[] = {
        {"both checked", {1, 1},
         {"Enqueue uninstallation of related product: C:\\gs\\GPL Ghostscript v9.20\\uninstgs.exe /S",
          "Enqueue uninstallation of related product: {1E2C9A3B-0000-4C5D-8E9F-123456789ABC}"}},
        {"first unchecked", {0, 1}, {"Enqueue uninstallation of related product: {1E2C9A3B-0000-4C5D-8E9F-123456789ABC}"}},
        {"second unchecked", {1, 0},
         {"Enqueue uninstallation of related product: C:\\gs\\GPL Ghostscript v9.20\\uninstgs.exe /S"}},
        {"none checked", {0, 0}, {}},
    };
    for (const auto& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        WizardEngine caseEngine;
        caseEngine.controller.installMode = UpdateExistingProduct;
        caseEngine.controller.legacyGhostscripts = engine.controller.legacyGhostscripts;
        PageThenConfirmation<CGhostscript> page(caseEngine);
        page.wizard->Start();
        page.Controls().lists[IDC_GHOSTSCRIPT_LIST].checks = c.checks;
        EXPECT_EQ(page.page.OnWizardNext(), IDD_CONFIRM) << c.name;
        // Nothing is queued before the confirmation page's Next.
        EXPECT_TRUE(QueueLines(caseLog).empty()) << c.name;
        EXPECT_TRUE(caseEngine.controller.actionQueue.empty()) << c.name;
        EXPECT_EQ(page.sheet.queueChoices.legacyRemovals.size(), c.queued.size()) << c.name;

        page.wizard->Activate(1);
        page.confirm.OnWizardNext();
        std::vector<std::string> expected = c.queued;
        expected.push_back("Enqueue installation of embedded msi file: " +
                           std::string(caseEngine.controller.msiPath.begin(), caseEngine.controller.msiPath.end()));
        EXPECT_EQ(QueueLines(caseLog), expected) << c.name;
        ASSERT_EQ(caseEngine.controller.actionQueue.size(), c.queued.size() + 1) << c.name;
        for (size_t i = 0; i < c.queued.size(); ++i) {
            const CInstallAction& action = caseEngine.controller.actionQueue[i];
            if (action.productCode.empty()) {
                EXPECT_EQ(action.kind, UninstallProductCommandLine) << c.name;
            } else {
                EXPECT_EQ(action.kind, UninstallRelatedProductViaMsiExec) << c.name;
                EXPECT_TRUE(action.noRestart && action.quiet) << c.name;
            }
        }
        EXPECT_EQ(caseEngine.controller.actionQueue.back().kind, InstallProductViaMsiExec) << c.name;
    }
}

TEST_F(LegacyGhostscriptPageTest, EveryActivationChecksTheLinesAgain)
{
    one.wizard->Start();
    one.Controls().lists[IDC_GHOSTSCRIPT_LIST].checks = {0, 0};
    one.wizard->Activate(0);
    EXPECT_EQ(one.Controls().lists[IDC_GHOSTSCRIPT_LIST].checks, std::vector<int>({1, 1}));
    EXPECT_EQ(one.Controls().lists[IDC_GHOSTSCRIPT_LIST].lines.size(), 2u);
}

TEST_F(LegacyGhostscriptPageTest, NextGoesToPrerequisitesWhenOneIsMissing)
{
    const struct {
        void (*plan)(CInstallController&);
        int expected;
    } cases[] = {
        {[](CInstallController&) {}, IDD_CONFIRM},
        {[](CInstallController& c) { c.needDotNet = true; }, IDD_PREREQUISITES},
        {[](CInstallController& c) { c.needGhostscript = true; }, IDD_PREREQUISITES},
        {[](CInstallController& c) { c.needEDocPrintPro = true; }, IDD_PREREQUISITES},
    };
    for (const auto& c : cases) {
        WizardEngine caseEngine;
        caseEngine.controller.installMode = InstallNewProduct;
        c.plan(caseEngine.controller);
        OnePage<CGhostscript> page(caseEngine);
        page.wizard->Start();
        EXPECT_EQ(page.page.OnWizardNext(), c.expected);
    }
}

TEST(PrerequisitePages, OutsideInstallUpdateRepairModifyTheListsStayEmptyAndNothingIsQueued)
{
    for (uint32_t mode : {0u, 5u, 6u}) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = mode;
        engine.controller.needDotNet = engine.controller.needGhostscript = true;
        engine.controller.legacyGhostscripts = {Legacy(L"GPL Ghostscript v9.20", L"", true)};
        OnePage<CGhostscript> legacy(engine);
        OnePage<CPrerequisites> prerequisites(engine);
        legacy.wizard->Start();
        prerequisites.wizard->Start();
        EXPECT_TRUE(legacy.Controls().lists[IDC_GHOSTSCRIPT_LIST].lines.empty()) << mode;
        EXPECT_TRUE(prerequisites.Controls().lists[IDC_PREREQUISITES_LIST].lines.empty()) << mode;
        EXPECT_EQ(prerequisites.Controls().texts[IDC_PREREQUISITES_HINT], L"") << mode;
        EXPECT_EQ(log.Texts("CPrerequisites"), std::vector<std::string>({"OnSetActive", "Hint: "})) << mode;
        EXPECT_EQ(legacy.page.OnWizardNext(), IDD_PREREQUISITES) << mode;
        EXPECT_EQ(prerequisites.page.OnWizardNext(), 0) << mode;
        EXPECT_TRUE(engine.controller.actionQueue.empty()) << mode;
        EXPECT_TRUE(legacy.sheet.queueChoices.legacyRemovals.empty()) << mode;
        EXPECT_FALSE(prerequisites.sheet.queueChoices.prerequisites) << mode;
    }
}

const std::wstring kHint =
    L"The free eDocPrintPro and Ghostscript AGPL are used by the optional feature 'Fax Printer'. Click on 'Back' and "
    L"uncheck 'Fax Printer' when you don't want to install eDocPrintPro or Ghostscript AGPL.";

TEST(PrerequisitePages, NamesPerWindowsAndTheHint)
{
    const struct {
        const char* name;
        bool x64, dotNet, ghostscript, eDocPrintPro;
        std::vector<std::wstring> lines;
        bool hint;
    } cases[] = {
        {"only .NET", true, true, false, false, {L".NET Framework 4.7.2"}, false},
        {"only .NET, 32-bit", false, true, false, false, {L".NET Framework 4.7.2"}, false},
        {"all, 64-bit", true, true, true, true,
         {L".NET Framework 4.7.2", L"Ghostscript 9.50 for Windows (64 bit) AGPL Release", L"eDocPrintPro v4.1.1 free"},
         true},
        {"all, 32-bit", false, true, true, true,
         {L".NET Framework 4.7.2", L"Ghostscript 9.27 for Windows (32 bit) AGPL Release", L"eDocPrintPro v4.0.2 free"},
         true},
        {"Ghostscript, 32-bit", false, false, true, false, {L"Ghostscript 9.27 for Windows (32 bit) AGPL Release"}, true},
        {"eDocPrintPro, 64-bit", true, false, false, true, {L"eDocPrintPro v4.1.1 free"}, true},
        {"nothing", true, false, false, false, {}, false},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = RepairExistingProduct;
        engine.controller.isX64Windows = c.x64;
        engine.controller.needDotNet = c.dotNet;
        engine.controller.needGhostscript = c.ghostscript;
        engine.controller.needEDocPrintPro = c.eDocPrintPro;
        OnePage<CPrerequisites> one(engine);
        one.wizard->Start();
        EXPECT_EQ(one.Controls().lists[IDC_PREREQUISITES_LIST].lines, c.lines) << c.name;
        EXPECT_EQ(one.Controls().texts[IDC_PREREQUISITES_HINT], c.hint ? kHint : L"") << c.name;
        std::vector<std::string> expected = {"OnSetActive"};
        for (const std::wstring& line : c.lines) expected.push_back("Missing: " + std::string(line.begin(), line.end()));
        expected.push_back(c.hint ? "Hint: " + std::string(kHint.begin(), kHint.end()) : "Hint: ");
        EXPECT_EQ(log.Texts("CPrerequisites"), expected) << c.name;
    }
}

TEST(PrerequisitePages, NextRecordsTheMissingPrerequisitesThatConfirmationQueuesBeforeTheProduct)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installMode = ModifyExistingProduct;
    engine.controller.isX64Windows = true;
    engine.controller.msiPath = L"C:\\T\\p.msi";
    engine.controller.needDotNet = engine.controller.needEDocPrintPro = true;
    engine.resources.strings[IDS_PRINT_SPOOLER] = L"Print Spooler";
    PageThenConfirmation<CPrerequisites> one(engine);
    one.wizard->Start();
    EXPECT_EQ(one.page.OnWizardNext(), 0);
    EXPECT_TRUE(QueueLines(log).empty());
    EXPECT_TRUE(one.sheet.queueChoices.prerequisites);
    one.wizard->Activate(1);
    one.confirm.OnWizardNext();
    EXPECT_EQ(QueueLines(log), std::vector<std::string>({"Enqueue installation of prerequisite: .NET Framework 4.7.2",
                                                         "Enqueue start service: Spooler, start: 0",
                                                         "Enqueue installation of prerequisite: eDocPrintPro v4.1.1 free",
                                                         "Enqueue start service: Spooler, start: 1",
                                                         "Enqueue modify of related product: C:\\T\\p.msi"}));
}

TEST(PrerequisitePages, BackEmptiesTheQueueForgetsTheChoicesAndReturnsWhereTheUserCameFrom)
{
    const struct {
        const char* name;
        uint32_t mode;
        bool offerLegacy;
        int legacyBack;         // Back on the legacy-Ghostscript page
        int prerequisitesBack;  // Back on the prerequisites page
    } cases[] = {
        {"install", InstallNewProduct, false, 0, IDD_FEATURES},
        {"install, legacy offered", InstallNewProduct, true, 0, IDD_GHOSTSCRIPT},
        {"update", UpdateExistingProduct, false, 0, IDD_FEATURES},
        {"modify", ModifyExistingProduct, false, 0, IDD_FEATURES},
        {"repair", RepairExistingProduct, false, IDD_REPAIR, IDD_REPAIR},
        {"repair, legacy offered", RepairExistingProduct, true, IDD_REPAIR, IDD_GHOSTSCRIPT},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installMode = c.mode;
        engine.controller.offerLegacyGhostscriptRemoval = c.offerLegacy;
        engine.controller.needDotNet = true;
        OnePage<CGhostscript> legacy(engine);
        OnePage<CPrerequisites> prerequisites(engine);
        legacy.wizard->Start();
        prerequisites.wizard->Start();

        engine.controller.EnqueueInstallProduct();
        legacy.sheet.queueChoices.legacyRemovals = {Legacy(L"GPL Ghostscript v9.20", L"", true)};
        legacy.sheet.queueChoices.prerequisites = true;
        EXPECT_EQ(legacy.page.OnWizardBack(), c.legacyBack) << c.name;
        EXPECT_TRUE(engine.controller.actionQueue.empty()) << c.name;
        EXPECT_TRUE(legacy.sheet.queueChoices.legacyRemovals.empty()) << c.name;
        EXPECT_FALSE(legacy.sheet.queueChoices.prerequisites) << c.name;
        engine.controller.EnqueuePrerequisites();
        prerequisites.sheet.queueChoices.legacyRemovals = {Legacy(L"GPL Ghostscript v9.20", L"", true)};
        prerequisites.sheet.queueChoices.prerequisites = true;
        EXPECT_EQ(prerequisites.page.OnWizardBack(), c.prerequisitesBack) << c.name;
        EXPECT_TRUE(engine.controller.actionQueue.empty()) << c.name;
        EXPECT_TRUE(prerequisites.sheet.queueChoices.legacyRemovals.empty()) << c.name;
        EXPECT_FALSE(prerequisites.sheet.queueChoices.prerequisites) << c.name;
        EXPECT_EQ(log.Texts("InstallController").back(), "ClearInstallActionQueue") << c.name;
    }
}

TEST(PrerequisitePages, WithoutControllerNextAndBackStay)
{
    CGhostscript legacy;
    CPrerequisites prerequisites;
    for (CMyPropertyPage* page : std::vector<CMyPropertyPage*>{&legacy, &prerequisites}) {
        CMyPropertySheet sheet;
        sheet.AddPage(page);
        FakeWizard wizard(sheet);
        LogFixture log;
        log.Initialize();
        wizard.Start();
        EXPECT_EQ(wizard.CurrentTemplate(), page->TemplateId());
        EXPECT_EQ(page->OnWizardNext(), -1);
        EXPECT_EQ(page->OnWizardBack(), -1);
    }
}

}  // namespace
