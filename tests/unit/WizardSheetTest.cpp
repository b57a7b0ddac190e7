// Tests of the sheet and the page base: the button word, navigation answers, Cancel, Help and the helpers.
#include <gtest/gtest.h>

#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/MyPropertyPage.h"
#include "wizard/MyPropertySheet.h"

namespace {

// A page whose Next and Back answer what the test says.
class ScriptedPage : public CMyPropertyPage {
public:
    explicit ScriptedPage(uint32_t templateId) : CMyPropertyPage(templateId) {}
    int next = 0;
    int back = 0;
    int OnWizardNext() override { return next; }
    int OnWizardBack() override { return back; }
};

struct ButtonCase {
    const char* name;
    uint32_t before;
    bool back;
    bool next;
    std::vector<uint32_t> posts;
};

TEST(WizardSheet, EnableWizardButtonsPostsTheWholeWordTwiceBackFirst)
{
    const ButtonCase cases[] = {
        {"both on from nothing", 0, true, true, {1, 3}},
        {"back off, next on", 0, false, true, {0, 2}},
        {"next off keeps back", 3, true, false, {3, 1}},
        {"next on keeps back", 1, true, true, {1, 3}},
        {"back off keeps next", 3, false, true, {2, 2}},
        {"finish bit survives", 4 | 3, false, false, {4 | 2, 4}},
    };
    for (const ButtonCase& c : cases) {
        CMyPropertySheet sheet;
        ScriptedPage page(103);
        sheet.AddPage(&page);
        FakeWizard wizard(sheet);
        wizard.Start();
        sheet.wizardButtons = c.before;
        page.EnableWizardButtons(c.back, c.next);
        EXPECT_EQ(wizard.window.posts, c.posts) << c.name;
        EXPECT_EQ(sheet.wizardButtons, c.posts.back()) << c.name;
    }
}

TEST(WizardSheet, ShowFinishButtonSetsTheFinishBitAndTheCaption)
{
    CMyPropertySheet sheet;
    ScriptedPage page(104);
    sheet.AddPage(&page);
    FakeWizard wizard(sheet);
    wizard.Start();
    sheet.wizardButtons = 1;
    page.ShowFinishButton(133);
    EXPECT_EQ(wizard.window.posts, std::vector<uint32_t>({5}));
    EXPECT_EQ(wizard.window.finishTexts, std::vector<std::wstring>({L"&Finish"}));
}

TEST(WizardSheet, PageWithoutSheetChangesNoButtons)
{
    ScriptedPage page(103);
    page.EnableWizardButtons(true, true);
    page.ShowFinishButton(133);
    page.SetConfirmationText(140);
    EXPECT_EQ(page.sheet, nullptr);
}

TEST(WizardSheet, OnInitDialogBindsTheSidePictureAndTakesTheParentSheet)
{
    CMyPropertySheet sheet;
    ScriptedPage page(103);
    sheet.AddPage(&page);
    FakeWizard wizard(sheet);
    wizard.Start();
    EXPECT_EQ(page.sheet, &sheet);
    EXPECT_EQ(wizard.Controls(page).pictures[1025].loaded, std::vector<int32_t>({500}));
}

TEST(WizardSheet, SetButtonTextLoadsTheStringAndSkipsMissingControls)
{
    CMyPropertySheet sheet;
    FakeSheetWindow window;
    window.strings = EnglishWizardStrings();
    window.controls.erase(9);
    sheet.AttachWindow(&window);
    sheet.SetButtonText(12324, 144);
    sheet.SetButtonText(9, 165);
    sheet.SetButtonText(2, 999);  // a missing string gives an empty caption
    const std::map<int, std::wstring> expected = {{12324, L"&Next >"}, {2, L""}};
    EXPECT_EQ(window.controlTexts, expected);
}

TEST(WizardSheet, SetConfirmationTextAndSetItemTextWriteThePageControls)
{
    CMyPropertySheet sheet;
    ScriptedPage page(134);
    sheet.AddPage(&page);
    FakeWizard wizard(sheet);
    wizard.window.strings[140] = L"Click 'Install' to complete the KELVARO VOV Client installation.";
    wizard.Start();
    page.SetConfirmationText(140);
    page.SetItemText(1021, L"Installing: KELVARO VOV Client for Windows");
    EXPECT_EQ(wizard.Controls(page).texts[1012], L"Click 'Install' to complete the KELVARO VOV Client installation.");
    EXPECT_EQ(wizard.Controls(page).texts[1021], L"Installing: KELVARO VOV Client for Windows");
}

struct NavigationCase {
    const char* name;
    int pageIndex;
    bool forward;
    int answer;
    int expected;  // index, -1 stay
};

TEST(WizardSheet, NavigateFollowsTheAnswerContract)
{
    // Pages in order: 103, 106, 137, 134.
    const NavigationCase cases[] = {
        {"stay", 1, true, -1, -1},
        {"default next", 1, true, 0, 2},
        {"default back", 1, false, 0, 0},
        {"jump forward by template id", 1, true, 134, 3},
        {"jump back by template id", 3, false, 106, 1},
        {"jump to an absent template stays", 2, true, 111, -1},
        {"default after the last page stays", 3, true, 0, -1},
        {"default before the first page stays", 0, false, 0, -1},
        {"negative answers other than -1 stay", 1, true, -7, -1},
    };
    for (const NavigationCase& c : cases) {
        CMyPropertySheet sheet;
        ScriptedPage pages[] = {ScriptedPage(103), ScriptedPage(106), ScriptedPage(137), ScriptedPage(134)};
        for (ScriptedPage& p : pages) sheet.AddPage(&p);
        pages[c.pageIndex].next = c.answer;
        pages[c.pageIndex].back = c.answer;
        EXPECT_EQ(sheet.Navigate(c.pageIndex, c.forward), c.expected) << c.name;
    }
    CMyPropertySheet empty;
    EXPECT_EQ(empty.Navigate(0, true), -1);
}

TEST(WizardSheet, MoveToNextPageSelectsTheIndexAfterTheCurrentOne)
{
    CMyPropertySheet sheet;
    ScriptedPage pages[] = {ScriptedPage(105), ScriptedPage(104)};
    for (ScriptedPage& p : pages) sheet.AddPage(&p);
    pages[0].next = -1;  // Next is not asked
    FakeWizard wizard(sheet);
    wizard.Start();
    sheet.MoveToNextPage();
    EXPECT_EQ(wizard.CurrentTemplate(), 104u);
}

TEST(WizardSheet, CancelIsIgnoredWhileTheQueueRuns)
{
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    CMyPropertySheet sheet(&engine.controller);
    FakeSheetWindow window;
    sheet.AttachWindow(&window);

    engine.controller.running = true;
    EXPECT_FALSE(sheet.OnCancel());
    EXPECT_EQ(window.closes, 0);
    const size_t linesWhileRunning = log.Entries().size();
    for (const std::string& text : log.Texts("InstallController")) EXPECT_NE(text, "Cancel");

    engine.controller.running = false;
    EXPECT_TRUE(sheet.OnCancel());
    EXPECT_EQ(window.closes, 1);
    EXPECT_EQ(sheet.result, 2);
    const std::vector<LogEntry> entries = log.Entries();
    ASSERT_EQ(entries.size(), linesWhileRunning + 1);
    EXPECT_EQ(entries.back().tag, "InstallController");
    EXPECT_EQ(entries.back().text, "Cancel");
}

TEST(WizardSheet, TheSheetsOwnCancelPathIsRefusedWhileTheQueueRuns)
{
    LogFixture log;
    WizardEngine engine;
    log.Initialize();  // after the set-up's lines
    CMyPropertySheet sheet(&engine.controller);
    FakeSheetWindow window;
    sheet.AttachWindow(&window);
    const struct {
        bool running;
        bool allowed;
    } cases[] = {{false, true}, {true, false}, {false, true}};
    for (const auto& c : cases) {
        engine.controller.running = c.running;
        EXPECT_EQ(sheet.OnQueryCancel(), c.allowed) << c.running;
    }
    // Asking neither ends the wizard nor logs anything: the sheet's cancel path does the ending.
    EXPECT_EQ(window.closes, 0);
    EXPECT_EQ(sheet.result, 2);
    EXPECT_TRUE(log.Entries().empty());
    // A sheet without controller runs no queue.
    EXPECT_TRUE(CMyPropertySheet().OnQueryCancel());
}

TEST(WizardSheet, HelpOpensTheDocumentationWithTheDefaultVerb)
{
    CMyPropertySheet sheet;
    FakeSheetWindow window;
    sheet.AttachWindow(&window);
    sheet.OnHelp();
    ASSERT_EQ(window.opened.size(), 1u);
    EXPECT_EQ(window.opened[0].first, L"");
    EXPECT_EQ(window.opened[0].second, L"https://www.kelvaro.com/de/Downloads/documentation.php");
}

TEST(WizardSheet, ResultIsCancelUntilFinishOrAnEnd)
{
    CMyPropertySheet sheet;
    EXPECT_EQ(sheet.result, 2);
    sheet.OnFinish();
    EXPECT_EQ(sheet.result, 12325);
    sheet.EndWizard(42);
    EXPECT_EQ(sheet.result, 42);
}

}  // namespace
