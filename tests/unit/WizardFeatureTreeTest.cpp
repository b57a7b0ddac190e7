// Tests of the feature page: the tree built in passes with its initial checks, descriptions, the "Default"
// button, the run-after-install box, and the ADDLOCAL and REMOVE lists with the page that Next shows.
#include <gtest/gtest.h>

#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/FeatureSelectionPage.h"

namespace {

using Cell = FakeMsi::Cell;
using Rows = std::vector<std::vector<Cell>>;

constexpr int kDisallowAbsent = 0x10;

// The sample package's features: name, parent, title, description, display, level, attributes.
const Rows kSampleFeatures = {
    {L"MainFeature", Cell(), L"KELVARO VOV Client", L"The client application.", 1, 1, kDisallowAbsent},
    {L"FeatureOutlook", L"MainFeature", L"Outlook Add-in", L"Dial from Outlook contacts.", 2, 1, 0},
    {L"FeatureOutlookCalendar", L"FeatureOutlook", L"Outlook Calendar", L"", 3, 3, 0},
    {L"FeatureFax", L"MainFeature", L"Fax Printer", L"Send faxes from any program.", 4, 200, 0},
    {L"FeatureDiagnostics", Cell(), L"Diagnostics", L"Tools for support.", 5, 0, 0},
};

class FeaturePageTest : public ::testing::Test {
protected:
    FeaturePageTest() { log.Initialize(); }

    // Reads the features as the wizard run does, then shows the page.
    void Show(const Rows& rows, InstallState state, const std::vector<std::wstring>& installed = {})
    {
        engine.SetFeatures(rows);
        engine.controller.ReadFeatures(L"");
        for (FeatureInfo& f : engine.controller.features) {
            for (const std::wstring& name : installed) {
                if (f.Feature == name) f.installed = true;
            }
        }
        engine.controller.installState = state;
        sheet.AddPage(&page);
        wizard = std::make_unique<FakeWizard>(sheet);
        wizard->Start();
    }
    FakeTreeView& Tree() { return wizard->Controls(page).trees[IDC_FEATURE_TREE]; }
    FakePageControls& Controls() { return wizard->Controls(page); }

    LogFixture log;
    WizardEngine engine;
    CMyPropertySheet sheet{&engine.controller};
    CFeatureSelectionPage page;
    std::unique_ptr<FakeWizard> wizard;
};

TEST_F(FeaturePageTest, NewInstallationChecksExactlyLevelOneAndDisallowAbsentHasNoCheckBox)
{
    Show(kSampleFeatures, NotInstalled);
    const std::vector<std::wstring> expected = {L"KELVARO VOV Client=0", L"Outlook Add-in=2", L"Outlook Calendar=1",
                                                L"Fax Printer=1", L"Diagnostics=1"};
    EXPECT_EQ(Tree().States(), expected);
    EXPECT_EQ(Tree().Children(0), std::vector<std::wstring>({L"KELVARO VOV Client", L"Diagnostics"}));
    EXPECT_EQ(Tree().Children(Tree().ByText(L"KELVARO VOV Client")),
              std::vector<std::wstring>({L"Outlook Add-in", L"Fax Printer"}));
    EXPECT_EQ(Tree().Children(Tree().ByText(L"Outlook Add-in")), std::vector<std::wstring>({L"Outlook Calendar"}));
    EXPECT_EQ(Tree().checkBoxResets, 1);
    for (const auto& [handle, item] : Tree().items) EXPECT_TRUE(item.expanded);
}

TEST_F(FeaturePageTest, MaintenanceChecksTheInstalledFeatures)
{
    const InstallState states[] = {LowerVersionInstalled, SameVersionInstalled, PackageUnreadable};
    for (InstallState state : states) {
        WizardEngine other;
        CMyPropertySheet otherSheet(&other.controller);
        CFeatureSelectionPage otherPage;
        other.SetFeatures(kSampleFeatures);
        other.controller.ReadFeatures(L"");
        other.controller.features[3].installed = true;  // FeatureFax (display order 4)
        other.controller.installState = state;
        otherSheet.AddPage(&otherPage);
        FakeWizard otherWizard(otherSheet);
        otherWizard.Start();
        const std::vector<std::wstring> expected = {L"KELVARO VOV Client=0", L"Outlook Add-in=1",
                                                    L"Outlook Calendar=1", L"Fax Printer=2", L"Diagnostics=1"};
        EXPECT_EQ(otherWizard.Controls(otherPage).trees[IDC_FEATURE_TREE].States(), expected) << state;
    }
}

TEST_F(FeaturePageTest, ChildBeforeParentAndMissingParent)
{
    const Rows rows = {
        {L"Child", L"Parent", L"Child", L"", 1, 1, 0},
        {L"Orphan", L"NoSuchFeature", L"Orphan", L"", 2, 1, 0},
        {L"Sibling", L"Parent", L"Sibling", L"", 3, 1, 0},
        {L"Parent", Cell(), L"Parent", L"", 4, 1, 0},
        {L"Grandchild", L"Child", L"Grandchild", L"", 5, 1, 0},
    };
    Show(rows, NotInstalled);
    // Pass 1 inserts Parent; pass 2 Child, Sibling (table order) and Grandchild; Orphan never.
    EXPECT_EQ(Tree().Children(0), std::vector<std::wstring>({L"Parent"}));
    EXPECT_EQ(Tree().Children(Tree().ByText(L"Parent")), std::vector<std::wstring>({L"Child", L"Sibling"}));
    EXPECT_EQ(Tree().Children(Tree().ByText(L"Child")), std::vector<std::wstring>({L"Grandchild"}));
    EXPECT_EQ(Tree().ByText(L"Orphan"), 0u);
    EXPECT_EQ(Tree().items.size(), 4u);
    EXPECT_EQ(engine.controller.features[1].treeItem, 0u);

    // The orphan never shown stays out of both lists, even when installed.
    engine.controller.features[1].installed = true;
    page.OnWizardNext();
    EXPECT_EQ(engine.controller.addLocal, L"Child,Sibling,Parent,Grandchild");
    EXPECT_EQ(engine.controller.remove, L"");
}

TEST_F(FeaturePageTest, ChildListedBeforeItsParentComesAfterEarlierSiblings)
{
    const Rows rows = {
        {L"Late", L"Root", L"Late", L"", 1, 1, 0},
        {L"Root", Cell(), L"Root", L"", 2, 1, 0},
        {L"Early", L"Root", L"Early", L"", 3, 1, 0},
    };
    Show(rows, NotInstalled);
    // Root and Early are inserted in the first pass, Late only in the second.
    EXPECT_EQ(Tree().Children(Tree().ByText(L"Root")), std::vector<std::wstring>({L"Early", L"Late"}));
}

TEST_F(FeaturePageTest, DescriptionOfTheSelectedItem)
{
    Show(kSampleFeatures, NotInstalled);
    bool handled = false;
    ControlNotification changed{IDC_FEATURE_TREE, kTvnSelChanged, Tree().ByText(L"Fax Printer"), L""};
    page.OnNotify(changed, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(Controls().texts[IDC_FEATURE_DESCRIPTION], L"Send faxes from any program.");

    changed.newItem = Tree().ByText(L"Outlook Calendar");  // empty description
    page.OnNotify(changed, handled);
    EXPECT_EQ(Controls().texts[IDC_FEATURE_DESCRIPTION], L"Select item for more details.");

    changed.newItem = 0;  // no item: unchanged
    page.OnNotify(changed, handled);
    changed.newItem = 0x9999;  // unknown item: unchanged
    page.OnNotify(changed, handled);
    EXPECT_EQ(Controls().texts[IDC_FEATURE_DESCRIPTION], L"Select item for more details.");

    ControlNotification click{IDC_FEATURE_TREE, kNmClick, 0, L""};
    EXPECT_EQ(page.OnNotify(click, handled), 0);
    EXPECT_TRUE(handled);
    ControlNotification other{IDC_DEFAULT_BUTTON, kNmClick, 0, L""};
    page.OnNotify(other, handled);
    EXPECT_FALSE(handled);
}

TEST_F(FeaturePageTest, DefaultRestoresTheInitialChecksButNotTheRunAfterInstallBox)
{
    engine.controller.runAfterInstall = true;
    Show(kSampleFeatures, NotInstalled);
    EXPECT_EQ(Controls().GetCheck(IDC_RUN_AFTER_INSTALL_CHECK), 1u);
    const std::vector<std::wstring> initial = Tree().States();
    Tree().Check(L"Fax Printer", true);
    Tree().Check(L"Outlook Add-in", false);
    Controls().SetCheck(IDC_RUN_AFTER_INSTALL_CHECK, 0);

    page.OnCommand(IDC_DEFAULT_BUTTON, kBnClicked);
    EXPECT_EQ(Tree().States(), initial);
    EXPECT_EQ(Tree().checkBoxResets, 2);
    EXPECT_EQ(Controls().GetCheck(IDC_RUN_AFTER_INSTALL_CHECK), 0u);
    // The records point at the new items.
    EXPECT_EQ(engine.controller.features[3].treeItem, Tree().ByText(L"Fax Printer"));
}

struct ListsCase {
    const char* name;
    InstallState state;
    std::vector<std::wstring> installed;
    std::vector<std::pair<std::wstring, bool>> clicks;  // title, checked
    std::wstring add;
    std::wstring remove;
};

TEST_F(FeaturePageTest, NextBuildsTheFeatureListsInTableOrder)
{
    const ListsCase cases[] = {
        {"new installation as proposed", NotInstalled, {}, {}, L"MainFeature,FeatureOutlook", L""},
        {"new installation with fax", NotInstalled, {}, {{L"Fax Printer", true}},
         L"MainFeature,FeatureOutlook,FeatureFax", L""},
        {"everything unchecked keeps the feature without check box", NotInstalled, {},
         {{L"Outlook Add-in", false}}, L"MainFeature", L""},
        {"maintenance: unchecked installed feature is removed", SameVersionInstalled,
         {L"MainFeature", L"FeatureOutlook", L"FeatureFax"}, {{L"Outlook Add-in", false}},
         L"MainFeature,FeatureFax", L"FeatureOutlook"},
        {"maintenance: a feature not installed is added, installed ones again", LowerVersionInstalled,
         {L"MainFeature", L"FeatureOutlook"}, {{L"Diagnostics", true}},
         L"MainFeature,FeatureOutlook,FeatureDiagnostics", L""},
        {"maintenance: several removals in table order", SameVersionInstalled,
         {L"MainFeature", L"FeatureOutlook", L"FeatureOutlookCalendar"},
         {{L"Outlook Add-in", false}, {L"Outlook Calendar", false}}, L"MainFeature",
         L"FeatureOutlook,FeatureOutlookCalendar"},
    };
    for (const ListsCase& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        WizardEngine other;
        CMyPropertySheet otherSheet(&other.controller);
        CFeatureSelectionPage otherPage;
        other.SetFeatures(kSampleFeatures);
        other.controller.ReadFeatures(L"");
        for (FeatureInfo& f : other.controller.features) {
            for (const std::wstring& name : c.installed) {
                if (f.Feature == name) f.installed = true;
            }
        }
        other.controller.installState = c.state;
        other.controller.ghostscriptInstalled = true;  // no prerequisite page for the fax feature
        other.controller.eDocPrintProInstalled = true;
        otherSheet.AddPage(&otherPage);
        FakeWizard otherWizard(otherSheet);
        otherWizard.Start();
        FakeTreeView& tree = otherWizard.Controls(otherPage).trees[IDC_FEATURE_TREE];
        for (const auto& [title, checked] : c.clicks) tree.Check(title, checked);

        EXPECT_EQ(otherPage.OnWizardNext(), 134) << c.name;
        EXPECT_EQ(other.controller.addLocal, c.add) << c.name;
        EXPECT_EQ(other.controller.remove, c.remove) << c.name;
        const std::string add(c.add.begin(), c.add.end());
        const std::string remove(c.remove.begin(), c.remove.end());
        EXPECT_EQ(caseLog.Texts("InstallController").back(), "addlocal: " + add + ", remove: " + remove) << c.name;
        for (const FeatureInfo& f : other.controller.features) {
            const bool listed = (L"," + c.add + L",").find(L"," + f.Feature + L",") != std::wstring::npos;
            EXPECT_EQ(f.selected, listed) << c.name;
        }
    }
}

TEST_F(FeaturePageTest, NextGoesToTheFirstPageThatApplies)
{
    const struct {
        const char* name;
        bool fax;
        bool dotNetMissing;
        bool ghostscriptInstalled;
        bool eDocPrintProInstalled;
        bool legacyGhostscript;
        int expected;
    } cases[] = {
        {"nothing missing", false, false, true, true, false, 134},
        {".NET missing", false, true, true, true, false, 111},
        {"fax without Ghostscript", true, false, false, true, false, 111},
        {"fax without eDocPrintPro", true, false, true, false, false, 111},
        {"fax with legacy Ghostscript", true, false, true, true, true, 140},
        {"legacy Ghostscript without fax is not offered", false, false, true, true, true, 134},
        {"fax, everything present", true, false, true, true, false, 134},
    };
    for (const auto& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        WizardEngine other;
        CMyPropertySheet otherSheet(&other.controller);
        CFeatureSelectionPage otherPage;
        other.SetFeatures(kSampleFeatures);
        other.controller.ReadFeatures(L"");
        other.controller.needDotNet = c.dotNetMissing;
        other.controller.ghostscriptInstalled = c.ghostscriptInstalled;
        other.controller.eDocPrintProInstalled = c.eDocPrintProInstalled;
        other.controller.legacyGhostscriptFound = c.legacyGhostscript;
        otherSheet.AddPage(&otherPage);
        FakeWizard otherWizard(otherSheet);
        otherWizard.Start();
        otherWizard.Controls(otherPage).trees[IDC_FEATURE_TREE].Check(L"Fax Printer", c.fax);
        EXPECT_EQ(otherPage.OnWizardNext(), c.expected) << c.name;
    }
}

TEST_F(FeaturePageTest, NextTakesTheRunAfterInstallBox)
{
    Show(kSampleFeatures, NotInstalled);
    EXPECT_EQ(Controls().GetCheck(IDC_RUN_AFTER_INSTALL_CHECK), 0u);
    Controls().SetCheck(IDC_RUN_AFTER_INSTALL_CHECK, kButtonChecked);
    page.OnWizardNext();
    EXPECT_TRUE(engine.controller.runAfterInstall);
    Controls().SetCheck(IDC_RUN_AFTER_INSTALL_CHECK, 0);
    page.OnWizardNext();
    EXPECT_FALSE(engine.controller.runAfterInstall);
}

TEST_F(FeaturePageTest, ActivationKeepsTheUsersChoices)
{
    Show(kSampleFeatures, NotInstalled);
    Tree().Check(L"Fax Printer", true);
    page.OnSetActive();
    EXPECT_EQ(Tree().GetStateImage(Tree().ByText(L"Fax Printer")), 2);
    EXPECT_EQ(Tree().checkBoxResets, 1);
    EXPECT_EQ(wizard->window.posts, std::vector<uint32_t>({1, 3, 3, 3}));
}

TEST_F(FeaturePageTest, WithoutControllerTheTreeStaysEmpty)
{
    CMyPropertySheet bare;
    CFeatureSelectionPage barePage;
    bare.AddPage(&barePage);
    FakeWizard bareWizard(bare);
    bareWizard.Start();
    EXPECT_TRUE(bareWizard.Controls(barePage).trees[IDC_FEATURE_TREE].items.empty());
    EXPECT_EQ(barePage.OnWizardNext(), 0);
}

}  // namespace
