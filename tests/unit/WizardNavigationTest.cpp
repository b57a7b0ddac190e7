// Tests of the wizard's page order and navigation through the welcome, maintenance-choice and feature pages,
// with the install modes they set and the button word each page leaves.
#include <gtest/gtest.h>

#include <memory>

#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/WizardPages.h"

namespace {

// The sheet of the wizard run for an install state; pages whose classes are not part of this test's subject
// are stand-ins with the same template ids.
class AssembledWizard {
public:
    explicit AssembledWizard(WizardEngine& engine) : sheet(&engine.controller)
    {
        for (uint32_t id : WizardPageOrder(engine.controller.installState)) {
            CMyPropertyPage* page = pages.Find(id);
            if (!page) {
                standIns.push_back(std::make_unique<StandInPage>(id));
                page = standIns.back().get();
            }
            sheet.AddPage(page);
        }
        wizard = std::make_unique<FakeWizard>(sheet);
    }

    CWizardPages pages;
    std::vector<std::unique_ptr<StandInPage>> standIns;
    CMyPropertySheet sheet;
    std::unique_ptr<FakeWizard> wizard;
};

std::vector<uint32_t> TemplatesOf(const CMyPropertySheet& sheet)
{
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < sheet.PageCount(); ++i) ids.push_back(sheet.Page(i)->TemplateId());
    return ids;
}

TEST(WizardNavigation, PageOrderByInstallState)
{
    const struct {
        InstallState state;
        std::vector<uint32_t> order;
    } cases[] = {
        {NotInstalled, {103, 137, 140, 111, 134, 139, 105, 104}},
        {PackageUnreadable, {103, 137, 140, 111, 134, 139, 105, 104}},
        {LowerVersionInstalled, {103, 106, 137, 140, 111, 134, 139, 105, 104}},
        {SameVersionInstalled, {103, 107, 137, 140, 111, 134, 139, 105, 104}},
        {HigherVersionInstalled, {103, 108, 134, 139, 105, 104}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WizardPageOrder(c.state), c.order) << c.state;
        // Until every page class exists the sheet holds those that do, in the same order.
        CWizardPages pages;
        CMyPropertySheet sheet;
        pages.AddTo(sheet, c.state);
        std::vector<uint32_t> existing;
        for (uint32_t id : c.order) {
            if (pages.Find(id)) existing.push_back(id);
        }
        EXPECT_EQ(TemplatesOf(sheet), existing) << c.state;
        EXPECT_EQ(existing.front(), 103u);
    }
}

TEST(WizardNavigation, EveryPageClassIsListedOnceInConstructionOrder)
{
    std::vector<uint32_t> ids;
    for (const WizardPageClass& c : WizardPageClasses()) ids.push_back(c.templateId);
    EXPECT_EQ(ids, std::vector<uint32_t>({103, 106, 107, 137, 108, 140, 111, 134, 139, 105, 104}));
    CWizardPages pages;
    for (uint32_t id : {103u, 106u, 107u, 137u, 108u}) {
        ASSERT_NE(pages.Find(id), nullptr) << id;
        EXPECT_EQ(pages.Find(id)->TemplateId(), id);
    }
}

enum Move { N, B };

struct NavigationCase {
    const char* name;
    InstallState state;
    std::function<void(CInstallController&)> plan;  // prerequisite flags before the wizard starts
    int choice;                                     // radio button or check box on the second page; 0 = none
    std::vector<Move> moves;
    std::vector<uint32_t> shown;  // pages activated, the first (Welcome) included
    uint32_t mode;                // install mode at the end
};

const std::vector<int> kUpdateGroup = {IDC_UPDATE_RADIO, IDC_UPDATE_REMOVE_RADIO};
const std::vector<int> kRepairGroup = {IDC_REPAIR_RADIO, IDC_MODIFY_RADIO, IDC_REPAIR_REMOVE_RADIO};

void NoPlan(CInstallController&) {}

TEST(WizardNavigation, NextAndBackFollowTheChoicesOfEachInstallState)
{
    const NavigationCase cases[] = {
        {"new installation: Welcome, Features, then Confirmation", NotInstalled, NoPlan, 0, {N, N},
         {103, 137, 134}, InstallNewProduct},
        {"new installation, .NET missing: Prerequisites", NotInstalled,
         [](CInstallController& c) { c.needDotNet = true; }, 0, {N, N}, {103, 137, 111}, InstallNewProduct},
        {"Back from Features to Welcome resets the mode", NotInstalled, NoPlan, 0, {N, B}, {103, 137, 103},
         InstallNewProduct},
        {"unreadable package: as not installed", PackageUnreadable, NoPlan, 0, {N, N}, {103, 137, 134},
         InstallNewProduct},
        {"lower version, Update: Features", LowerVersionInstalled, NoPlan, IDC_UPDATE_RADIO, {N, N},
         {103, 106, 137}, UpdateExistingProduct},
        {"lower version, Remove: Confirmation", LowerVersionInstalled, NoPlan, IDC_UPDATE_REMOVE_RADIO, {N, N},
         {103, 106, 134}, UnInstallExistingProduct},
        {"lower version, Back from Update: Welcome", LowerVersionInstalled, NoPlan, 0, {N, B}, {103, 106, 103},
         InstallNewProduct},
        {"lower version, Update then Back from Features: Update", LowerVersionInstalled, NoPlan, IDC_UPDATE_RADIO,
         {N, N, B}, {103, 106, 137, 106}, UpdateExistingProduct},
        {"same version, Repair, nothing missing: Confirmation", SameVersionInstalled, NoPlan, IDC_REPAIR_RADIO,
         {N, N}, {103, 107, 134}, RepairExistingProduct},
        {"same version, Repair, .NET missing: Prerequisites", SameVersionInstalled,
         [](CInstallController& c) { c.needDotNet = true; }, IDC_REPAIR_RADIO, {N, N}, {103, 107, 111},
         RepairExistingProduct},
        {"same version, Repair, Ghostscript missing: Prerequisites", SameVersionInstalled,
         [](CInstallController& c) { c.needGhostscript = true; }, IDC_REPAIR_RADIO, {N, N}, {103, 107, 111},
         RepairExistingProduct},
        {"same version, Repair, eDocPrintPro missing: Prerequisites", SameVersionInstalled,
         [](CInstallController& c) { c.needEDocPrintPro = true; }, IDC_REPAIR_RADIO, {N, N}, {103, 107, 111},
         RepairExistingProduct},
        {"same version, Modify: Features", SameVersionInstalled, NoPlan, IDC_MODIFY_RADIO, {N, N},
         {103, 107, 137}, ModifyExistingProduct},
        {"same version, Remove: Confirmation even with .NET missing", SameVersionInstalled,
         [](CInstallController& c) { c.needDotNet = true; }, IDC_REPAIR_REMOVE_RADIO, {N, N}, {103, 107, 134},
         UnInstallExistingProduct},
        {"same version, Back from Maintenance: Welcome", SameVersionInstalled, NoPlan, 0, {N, B}, {103, 107, 103},
         InstallNewProduct},
        {"higher version, box checked: Confirmation", HigherVersionInstalled, NoPlan, 1001, {N, N},
         {103, 108, 134}, UnInstallExistingProduct},
        {"higher version, Back from Downgrade: Welcome", HigherVersionInstalled, NoPlan, 0, {N, B},
         {103, 108, 103}, InstallNewProduct},
    };
    for (const NavigationCase& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installState = c.state;
        c.plan(engine.controller);
        AssembledWizard assembled(engine);
        FakeWizard& wizard = *assembled.wizard;
        wizard.Start();
        for (size_t i = 0; i < c.moves.size(); ++i) {
            if (i == 1 && c.choice != 0) {
                FakePageControls& controls = wizard.CurrentControls();
                if (c.choice == 1001) controls.SetCheck(1001, kButtonChecked);
                else controls.ClickRadio(c.choice, c.state == LowerVersionInstalled ? kUpdateGroup : kRepairGroup);
            }
            if (c.moves[i] == N) wizard.Next();
            else wizard.Back();
        }
        EXPECT_EQ(wizard.shown, c.shown) << c.name;
        EXPECT_EQ(engine.controller.installMode, c.mode) << c.name;
    }
}

TEST(WizardNavigation, EveryActivationLogsOnSetActiveWithTheClassName)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installState = LowerVersionInstalled;
    AssembledWizard assembled(engine);
    FakeWizard& wizard = *assembled.wizard;
    wizard.Start();
    wizard.Next();
    wizard.Next();
    wizard.Back();
    wizard.Back();
    const std::vector<std::string> onSetActive = {"OnSetActive"};
    EXPECT_EQ(log.Texts("CWelcomePage"), std::vector<std::string>({"OnSetActive", "OnSetActive"}));
    EXPECT_EQ(log.Texts("CUpdatePage"), std::vector<std::string>({"OnSetActive", "OnSetActive"}));
    EXPECT_EQ(log.Texts("CFeatureSelectionPage"), onSetActive);
    EXPECT_EQ(log.Texts("CInstallController"),
              std::vector<std::string>({"Set install mode: InstallNewProduct", "Set install mode: UpdateExistingProduct",
                                        "Set install mode: InstallNewProduct"}));
}

TEST(WizardNavigation, ButtonWordPerPage)
{
    const struct {
        const char* name;
        InstallState state;
        std::vector<uint32_t> welcome;  // posts when the welcome page is shown
        std::vector<uint32_t> second;   // posts when Next shows the second page
    } cases[] = {
        {"Welcome then Features", NotInstalled, {0, 2}, {3, 3}},
        {"Welcome then Update", LowerVersionInstalled, {0, 2}, {3, 3}},
        {"Welcome then Maintenance", SameVersionInstalled, {0, 2}, {3, 3}},
        {"Welcome then Downgrade: Next off", HigherVersionInstalled, {0, 2}, {3, 1}},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installState = c.state;
        AssembledWizard assembled(engine);
        FakeWizard& wizard = *assembled.wizard;
        wizard.Start();
        EXPECT_EQ(wizard.window.posts, c.welcome) << c.name;
        wizard.window.posts.clear();
        wizard.Next();
        EXPECT_EQ(wizard.window.posts, c.second) << c.name;
    }
}

TEST(WizardNavigation, DowngradeNextFollowsTheCheckBoxAndKeepsBack)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installState = HigherVersionInstalled;
    AssembledWizard assembled(engine);
    FakeWizard& wizard = *assembled.wizard;
    wizard.Start();
    wizard.Next();
    ASSERT_EQ(wizard.CurrentTemplate(), 108u);
    FakePageControls& controls = wizard.CurrentControls();
    EXPECT_EQ(assembled.sheet.wizardButtons, 1u);

    wizard.window.posts.clear();
    controls.SetCheck(1001, kButtonChecked);
    wizard.Current().OnCommand(1001, kBnClicked);
    EXPECT_EQ(wizard.window.posts, std::vector<uint32_t>({1, 3}));

    wizard.window.posts.clear();
    controls.SetCheck(1001, 0);
    wizard.Current().OnCommand(1001, kBnClicked);
    EXPECT_EQ(wizard.window.posts, std::vector<uint32_t>({3, 1}));

    // Another notification of the box changes nothing.
    wizard.window.posts.clear();
    wizard.Current().OnCommand(1001, 5);
    EXPECT_TRUE(wizard.window.posts.empty());
}

TEST(WizardNavigation, MaintenancePagesShowTheVersionLinesAndTheInitialChoice)
{
    const struct {
        InstallState state;
        uint32_t page;
        std::map<int, uint32_t> checks;
        bool versionLines;
    } cases[] = {
        {LowerVersionInstalled, 106, {{IDC_UPDATE_RADIO, 1}}, true},
        {SameVersionInstalled, 107, {{IDC_REPAIR_RADIO, 1}}, false},
        {HigherVersionInstalled, 108, {}, true},
    };
    for (const auto& c : cases) {
        LogFixture log;
        log.Initialize();
        WizardEngine engine;
        engine.controller.installState = c.state;
        engine.controller.installedVersion = L"6.6.2100";
        AssembledWizard assembled(engine);
        FakeWizard& wizard = *assembled.wizard;
        wizard.Start();
        wizard.Next();
        ASSERT_EQ(wizard.CurrentTemplate(), c.page);
        FakePageControls& controls = wizard.CurrentControls();
        EXPECT_EQ(controls.buttonStates, c.checks) << c.page;
        if (c.versionLines) {
            EXPECT_EQ(controls.texts[IDC_INSTALLED_VERSION], L"Installed version: v6.6.2100") << c.page;
            EXPECT_EQ(controls.texts[IDC_INSTALLER_VERSION], L"Installer version: v6.7.3.319") << c.page;
        } else {
            EXPECT_EQ(controls.texts.count(IDC_INSTALLED_VERSION), 0u);
        }
    }
}

TEST(WizardNavigation, ChoicesSurviveGoingBackToWelcome)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    engine.controller.installState = SameVersionInstalled;
    AssembledWizard assembled(engine);
    FakeWizard& wizard = *assembled.wizard;
    wizard.Start();
    wizard.Next();
    wizard.CurrentControls().ClickRadio(IDC_REPAIR_REMOVE_RADIO, kRepairGroup);
    wizard.Back();
    wizard.Next();
    EXPECT_EQ(wizard.CurrentControls().GetButtonState(IDC_REPAIR_REMOVE_RADIO), 1u);
    wizard.Next();
    EXPECT_EQ(wizard.CurrentTemplate(), 134u);
    EXPECT_EQ(engine.controller.installMode, static_cast<uint32_t>(UnInstallExistingProduct));
}

TEST(WizardNavigation, PagesWithoutControllerStayAndSetNoMode)
{
    // A sheet without controller: Repair stays, the other choices go where they would without setting a mode.
    const struct {
        uint32_t page;
        int choice;
        int expected;
    } cases[] = {
        {107, IDC_REPAIR_RADIO, -1},
        {107, IDC_MODIFY_RADIO, 0},
        {107, IDC_REPAIR_REMOVE_RADIO, 134},
        {106, IDC_UPDATE_RADIO, 0},
        {106, IDC_UPDATE_REMOVE_RADIO, 134},
        {108, 0, 0},
        {137, 0, 0},
    };
    for (const auto& c : cases) {
        CWizardPages pages;
        CMyPropertySheet sheet;
        CMyPropertyPage* page = pages.Find(c.page);
        sheet.AddPage(page);
        FakeWizard wizard(sheet);
        wizard.Start();
        if (c.choice) wizard.Controls(*page).ClickRadio(c.choice, c.page == 107 ? kRepairGroup : kUpdateGroup);
        EXPECT_EQ(page->OnWizardNext(), c.expected) << c.page << " " << c.choice;
    }
}

}  // namespace
