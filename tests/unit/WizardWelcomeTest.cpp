// Tests of the welcome page and the language rules: combo box, button captions, version line, install mode,
// the wizard window for downloads, and the language change that restarts the wizard.
#include <gtest/gtest.h>

#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/WelcomePage.h"
#include "wizard/WizardLanguages.h"

namespace {

TEST(WizardLanguages, CodeToIndex)
{
    const struct {
        std::wstring code;
        int index;
    } cases[] = {
        {L"de-DE", 0}, {L"en-US", 1}, {L"fr-FR", 2}, {L"nl-NL", 3},
        {L"", 1},  // no string 153
        {L"DE-de", 1}, {L"de-de", 1}, {L"de-DE ", 1}, {L"de", 1}, {L"en-GB", 1}, {L"fr-BE", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(LanguageIndexOfCode(c.code), c.index) << std::string(c.code.begin(), c.code.end());
}

TEST(WizardLanguages, IndexToCode)
{
    const struct {
        int index;
        std::wstring code;
    } cases[] = {{0, L"de-DE"}, {1, L"en-US"}, {2, L"fr-FR"}, {3, L"nl-NL"}, {-1, L"de-DE"}, {4, L"de-DE"}};
    for (const auto& c : cases) EXPECT_EQ(LanguageCodeOfIndex(c.index), c.code) << c.index;
}

TEST(WizardLanguages, CodeToTransformAndLanguageId)
{
    const struct {
        std::wstring code;
        std::wstring transform;
        uint16_t languageId;
    } cases[] = {
        {L"de-DE", L"1031", 1031}, {L"fr-FR", L"1036", 1036}, {L"nl-NL", L"1043", 1043},
        {L"en-US", L"", 1033},     {L"", L"", 0},             {L"nl-BE", L"", 0},
        {L"De-DE", L"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LanguageTransformOfCode(c.code), c.transform);
        EXPECT_EQ(LanguageIdOfCode(c.code), c.languageId);
    }
}

class WelcomePageTest : public ::testing::Test {
protected:
    WelcomePageTest() { log.Initialize(); }

    void Show(const std::wstring& languageCode = L"en-US")
    {
        sheet.AddPage(&welcome);
        wizard = std::make_unique<FakeWizard>(sheet);
        wizard->window.strings[IDS_LANGUAGE_CODE] = languageCode;
        wizard->Start();
    }
    FakeComboBox& Combo() { return wizard->Controls(welcome).combos[IDC_LANGUAGE_COMBO]; }
    void Choose(int index)
    {
        Combo().selection = index;
        welcome.OnCommand(IDC_LANGUAGE_COMBO, kCbnSelChange);
    }

    LogFixture log;
    WizardEngine engine;
    CMyPropertySheet sheet{&engine.controller};
    CWelcomePage welcome;
    std::unique_ptr<FakeWizard> wizard;
};

TEST_F(WelcomePageTest, InitialisesCaptionsVersionAndLanguages)
{
    Show();
    EXPECT_EQ(Combo().items, std::vector<std::wstring>({L"Deutsch", L"English", L"Fran\u00e7ais", L"Nederlands"}));
    EXPECT_EQ(Combo().selection, 1);
    EXPECT_EQ(welcome.currentLanguage, 1);
    const std::map<int, std::wstring> captions = {
        {12323, L"< &Back"}, {12324, L"&Next >"}, {9, L"Help"}, {2, L"Cancel"}};
    EXPECT_EQ(wizard->window.controlTexts, captions);
    EXPECT_EQ(wizard->Controls(welcome).texts[IDC_INSTALLER_VERSION], L"Installer version: v6.7.3.319");
    EXPECT_EQ(wizard->window.posts, std::vector<uint32_t>({0, 2}));
    EXPECT_EQ(engine.controller.extractor.parentWindow, wizard->window.handle);
}

TEST_F(WelcomePageTest, PreselectsTheLanguageOfStringTable)
{
    const struct {
        std::wstring code;
        int index;
    } cases[] = {{L"de-DE", 0}, {L"fr-FR", 2}, {L"nl-NL", 3}, {L"it-IT", 1}};
    for (const auto& c : cases) {
        CMyPropertySheet otherSheet(&engine.controller);
        CWelcomePage page;
        otherSheet.AddPage(&page);
        FakeWizard otherWizard(otherSheet);
        otherWizard.window.strings[IDS_LANGUAGE_CODE] = c.code;
        otherWizard.Start();
        EXPECT_EQ(page.currentLanguage, c.index);
        EXPECT_EQ(otherWizard.Controls(page).combos[IDC_LANGUAGE_COMBO].selection, c.index);
    }
}

TEST_F(WelcomePageTest, EveryActivationResetsTheModeToNewInstallation)
{
    Show();
    engine.controller.SetInstallMode(RepairExistingProduct);
    welcome.OnSetActive();
    EXPECT_EQ(engine.controller.installMode, static_cast<uint32_t>(InstallNewProduct));
    EXPECT_EQ(log.Texts("CWelcomePage"), std::vector<std::string>({"OnSetActive", "OnSetActive"}));
    EXPECT_EQ(welcome.OnWizardNext(), 0);
}

TEST_F(WelcomePageTest, ChoosingTheShownLanguageDoesNothing)
{
    Show(L"de-DE");
    const size_t lines = log.Entries().size();
    Choose(0);
    welcome.OnCommand(IDC_LANGUAGE_COMBO, 7);  // not a selection change
    EXPECT_EQ(log.Entries().size(), lines);
    EXPECT_EQ(wizard->window.closes, 0);
    EXPECT_TRUE(wizard->window.preferredLanguages.empty());
    EXPECT_EQ(sheet.result, 2);
}

TEST_F(WelcomePageTest, ChoosingAnotherLanguageRestartsTheWizard)
{
    const struct {
        std::wstring shown;
        int chosen;
        std::string code;
    } cases[] = {{L"en-US", 0, "de-DE"}, {L"en-US", 3, "nl-NL"}, {L"de-DE", 1, "en-US"},
                 {L"en-US", 2, "fr-FR"}, {L"en-US", -1, "de-DE"}};
    for (const auto& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        CMyPropertySheet caseSheet(&engine.controller);
        CWelcomePage page;
        caseSheet.AddPage(&page);
        FakeWizard caseWizard(caseSheet);
        caseWizard.window.strings[IDS_LANGUAGE_CODE] = c.shown;
        caseWizard.Start();
        caseWizard.Controls(page).combos[IDC_LANGUAGE_COMBO].selection = c.chosen;
        page.OnCommand(IDC_LANGUAGE_COMBO, kCbnSelChange);

        EXPECT_EQ(caseLog.Texts("CWelcomePage").back(), "Set localization: " + c.code);
        ASSERT_EQ(caseWizard.window.preferredLanguages.size(), 1u);
        std::wstring expected(100, L'\0');
        const std::wstring wide(c.code.begin(), c.code.end());
        expected.replace(0, wide.size(), wide);
        EXPECT_EQ(caseWizard.window.preferredLanguages[0], expected);
        EXPECT_EQ(caseSheet.result, 42);
        EXPECT_EQ(caseSheet.chosenLanguage, wide);
        EXPECT_EQ(caseWizard.window.closes, 1);
    }
}

TEST_F(WelcomePageTest, WithoutControllerTheModeIsNotTouched)
{
    CMyPropertySheet bare;
    CWelcomePage page;
    bare.AddPage(&page);
    FakeWizard bareWizard(bare);
    bareWizard.Start();
    EXPECT_EQ(engine.controller.installMode, static_cast<uint32_t>(InstallModeNotSet));
    EXPECT_EQ(engine.controller.extractor.parentWindow, 0u);
    EXPECT_EQ(bareWizard.window.posts, std::vector<uint32_t>({0, 2}));
}

}  // namespace
