// Tests of the wizard run: passes with their log lines, the feature texts of the chosen language, the pages of
// each install state, the restart after a language change and the exit code.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "app/WizardRun.h"
#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/WelcomePage.h"

namespace {

// Shows each sheet to a scripted user; without a script the user cancels.
class FakeWizardHost : public IWizardHost {
public:
    struct Shown {
        uint16_t languageId;
        std::vector<uint32_t> pages;
    };
    using User = std::function<int(CMyPropertySheet&, FakeWizard&)>;

    // Strings by language id; 0 is what the platform resolves for the current UI language.
    std::map<uint16_t, std::map<uint32_t, std::wstring>> strings = {
        {0, {{IDS_LANGUAGE_CODE, L"en-US"}}},
        {1033, {{IDS_LANGUAGE_CODE, L"en-US"}}},
        {1031, {{IDS_LANGUAGE_CODE, L"de-DE"}}},
        {1036, {{IDS_LANGUAGE_CODE, L"fr-FR"}}},
        {1043, {{IDS_LANGUAGE_CODE, L"nl-NL"}}},
    };
    std::vector<Shown> shown;
    std::vector<std::pair<uint16_t, uint32_t>> loads;
    std::deque<User> users;
    std::map<uint32_t, std::wstring> systemTexts;
    std::vector<std::pair<std::wstring, std::wstring>> messages;  // (caption, text) of every message box

    std::wstring LoadString(uint16_t languageId, uint32_t id) override
    {
        loads.push_back({languageId, id});
        auto language = strings.find(languageId);
        if (language == strings.end() || !language->second.count(id)) return std::wstring();
        return language->second.at(id);
    }
    int ShowSheet(CMyPropertySheet& sheet, uint16_t languageId) override
    {
        Shown s{languageId, {}};
        for (size_t i = 0; i < sheet.PageCount(); ++i) s.pages.push_back(sheet.Page(i)->TemplateId());
        shown.push_back(s);
        FakeWizard wizard(sheet);
        wizard.window.strings[IDS_LANGUAGE_CODE] = LoadString(languageId, IDS_LANGUAGE_CODE);
        wizard.Start();
        if (users.empty()) return sheet.OnCancel() ? sheet.result : -1;
        User user = users.front();
        users.pop_front();
        return user(sheet, wizard);
    }
    std::wstring SystemErrorText(uint32_t code) override
    {
        auto text = systemTexts.find(code);
        return text == systemTexts.end() ? std::wstring() : text->second;
    }
    void ShowMessage(const std::wstring& caption, const std::wstring& text) override { messages.push_back({caption, text}); }
};

// The user picks a language in the combo box of the welcome page.
FakeWizardHost::User ChooseLanguage(int index)
{
    return [index](CMyPropertySheet& sheet, FakeWizard& wizard) {
        CMyPropertyPage& welcome = wizard.Current();
        wizard.Controls(welcome).combos[IDC_LANGUAGE_COMBO].selection = index;
        welcome.OnCommand(IDC_LANGUAGE_COMBO, kCbnSelChange);
        return sheet.result;
    };
}

FakeWizardHost::User Ends(int result)
{
    return [result](CMyPropertySheet&, FakeWizard&) { return result; };
}

class WizardRunTest : public ::testing::Test {
protected:
    WizardRunTest()
    {
        log.Initialize();
        engine.SetFeatures({{L"FeatureFax", FakeMsi::Cell(), L"Fax Printer", L"Send faxes.", 1, 1, 0}});
        engine.Package().transforms[L"1031"].Change(L"Feature", L"FeatureFax", L"Title", L"Faxdrucker");
    }

    // The BootStrapper lines of the run.
    std::vector<std::string> RunLines() { return log.Texts("BootStrapper"); }

    LogFixture log;
    WizardEngine engine;
    FakeWizardHost host;
    CWizardRun run{host};
};

// A wizard that cannot be shown (no desktop) ends the run as a cancellation does, with a line that tells the two
// apart, and no second pass.
TEST_F(WizardRunTest, AWizardThatCannotBeShownSaysWhy)
{
    host.users.push_back([](CMyPropertySheet& sheet, FakeWizard&) {
        sheet.showError = 1400;
        return kWizardNotShown;
    });
    EXPECT_EQ(run.Run(engine.controller), 1602u);
    EXPECT_EQ(RunLines(), std::vector<std::string>({"Initialize wizard ", "Not installed", "Show wizard",
                                                    "Wizard could not be shown: 578", "Wizard done"}));
    EXPECT_EQ(host.shown.size(), 1u);
    EXPECT_FALSE(run.rebootDecision);
}

TEST_F(WizardRunTest, EnglishPassCancelled)
{
    EXPECT_EQ(run.Run(engine.controller), 1602u);
    EXPECT_EQ(engine.resources.language, 0) << "without a choice the actions keep the start-up language";
    EXPECT_EQ(RunLines(), std::vector<std::string>({"Initialize wizard ", "Not installed", "Show wizard", "Wizard done"}));
    EXPECT_EQ(log.Texts("InstallController").back(), "Cancel");
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].languageId, 1033);  // the language of string 153, loaded explicitly from then on
    EXPECT_EQ(host.loads.front(), (std::pair<uint16_t, uint32_t>(0, IDS_LANGUAGE_CODE)));
    ASSERT_EQ(engine.controller.features.size(), 1u);
    EXPECT_EQ(engine.controller.features[0].Title, L"Fax Printer");
    for (const std::wstring& call : engine.msi.calls) EXPECT_EQ(call.find(L"ApplyTransform"), std::wstring::npos);
}

TEST_F(WizardRunTest, ChoosingGermanRestartsWithTheGermanTransformAndLanguage)
{
    engine.controller.installState = SameVersionInstalled;
    engine.resources.languageStrings[{1031, IDS_PRODUCT_NAME}] = L"KELVARO VOV Client f\u00fcr Windows";
    engine.resources.languageStrings[{1031, IDS_JOB_INSTALLING}] = L"Installiere: %s";
    host.users = {ChooseLanguage(0)};  // Deutsch; the second pass is cancelled
    EXPECT_EQ(run.Run(engine.controller), 1602u);
    EXPECT_EQ(RunLines(), std::vector<std::string>({"Initialize wizard ", "Same version installed", "Show wizard",
                                                    "Wizard done", "Initialize wizard 1031", "Same version installed",
                                                    "Show wizard", "Wizard done"}));
    EXPECT_EQ(log.Texts("CWelcomePage"),
              std::vector<std::string>({"OnSetActive", "Set localization: de-DE", "OnSetActive"}));
    ASSERT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(host.shown[0].languageId, 1033);
    EXPECT_EQ(host.shown[1].languageId, 1031);
    EXPECT_EQ(host.shown[1].pages, host.shown[0].pages);
    EXPECT_EQ(run.languageId, 1031);
    ASSERT_EQ(engine.controller.features.size(), 1u);
    EXPECT_EQ(engine.controller.features[0].Title, L"Faxdrucker");
    size_t transforms = 0;
    for (const std::wstring& call : engine.msi.calls) transforms += call == L"ApplyTransform(:1031)";
    EXPECT_EQ(transforms, 1u);
    // The actions' texts follow the chosen language too.
    EXPECT_EQ(engine.resources.language, 1031);
    EXPECT_EQ(engine.controller.productDisplayName, L"KELVARO VOV Client f\u00fcr Windows");
    engine.controller.SetCurrentJobDescription(IDS_JOB_INSTALLING, engine.controller.productDisplayName);
    EXPECT_EQ(engine.controller.CurrentJobDescription(), L"Installiere: KELVARO VOV Client f\u00fcr Windows");
}

TEST_F(WizardRunTest, TheChosenLanguageSurvivesFurtherRestarts)
{
    // Dutch, then a restart without a new choice (the language stays), then French, then cancel.
    host.users = {ChooseLanguage(3), Ends(42), ChooseLanguage(2)};
    EXPECT_EQ(run.Run(engine.controller), 1602u);
    std::vector<uint16_t> languages;
    for (const auto& s : host.shown) languages.push_back(s.languageId);
    EXPECT_EQ(languages, std::vector<uint16_t>({1033, 1043, 1043, 1036}));
    EXPECT_EQ(log.Texts("BootStrapper")[0], "Initialize wizard ");
    EXPECT_EQ(log.Texts("BootStrapper")[4], "Initialize wizard 1043");
    EXPECT_EQ(log.Texts("BootStrapper")[8], "Initialize wizard 1043");
    EXPECT_EQ(log.Texts("BootStrapper")[12], "Initialize wizard 1036");
}

TEST_F(WizardRunTest, StartUpLanguageOtherThanEnglish)
{
    host.strings[0][IDS_LANGUAGE_CODE] = L"fr-FR";
    EXPECT_EQ(run.Run(engine.controller), 1602u);
    EXPECT_EQ(RunLines()[0], "Initialize wizard 1036");
    EXPECT_EQ(host.shown[0].languageId, 1036);
}

TEST_F(WizardRunTest, UnknownStartUpLanguageLeavesTheResolutionToThePlatform)
{
    host.strings[0][IDS_LANGUAGE_CODE] = L"it-IT";
    run.Run(engine.controller);
    EXPECT_EQ(RunLines()[0], "Initialize wizard ");
    EXPECT_EQ(host.shown[0].languageId, 0);
}

TEST_F(WizardRunTest, PagesAndLogLineByInstallState)
{
    const struct {
        InstallState state;
        std::string line;
        std::vector<uint32_t> pages;  // the pages whose classes exist
    } cases[] = {
        {NotInstalled, "Not installed", {103, 137}},
        {PackageUnreadable, "Not installed", {103, 137}},
        {LowerVersionInstalled, "Lower version installed", {103, 106, 137}},
        {SameVersionInstalled, "Same version installed", {103, 107, 137}},
        {HigherVersionInstalled, "Higher version installed", {103, 108}},
    };
    for (const auto& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        WizardEngine caseEngine;
        caseEngine.controller.installState = c.state;
        FakeWizardHost caseHost;
        CWizardRun caseRun(caseHost);
        caseRun.Run(caseEngine.controller);
        EXPECT_EQ(caseLog.Texts("BootStrapper")[1], c.line) << c.line;
        ASSERT_EQ(caseHost.shown.size(), 1u);
        std::vector<uint32_t> existing;
        for (uint32_t id : caseHost.shown[0].pages) {
            if (id == 103 || id == 106 || id == 107 || id == 108 || id == 137) existing.push_back(id);
        }
        EXPECT_EQ(existing, c.pages) << c.line;
    }
}

TEST_F(WizardRunTest, ExitCodeAndRebootDecisionByResult)
{
    const struct {
        const char* name;
        int result;
        uint32_t lastResult;
        bool rebootRequired;
        bool queueStarted;
        uint32_t exitCode;
        bool reboot;
    } cases[] = {
        {"finished", 12325, 0, false, true, 0, false},
        {"finished, reboot required and triggered", 12325, 0, true, true, 1641, true},
        {"finished after a failure", 12325, 1603, false, true, 1603, false},
        {"finished after a reboot request and a failure", 12325, 1603, true, true, 1603, false},
        {"cancelled", 2, 0, false, false, 1602, false},
        {"closed before the queue ran", 2, 0, true, false, 1602, false},
        {"any other result", 0, 0, true, false, 1602, false},
        {"platform failure", -1, 0, false, false, 1602, false},
        // Once the queue has run, closing the wizard reports the queue's result; only Finish reboots.
        {"closed after the queue ran", 2, 0, false, true, 0, false},
        {"closed after a reboot request", 2, 0, true, true, 3010, false},
        {"closed after a failure", 2, 1603, false, true, 1603, false},
        {"closed after a reboot request and a failure", 2, 1603, true, true, 1603, false},
    };
    for (const auto& c : cases) {
        LogFixture caseLog;
        caseLog.Initialize();
        WizardEngine caseEngine;
        caseEngine.controller.lastResult = c.lastResult;
        caseEngine.controller.rebootRequired = c.rebootRequired;
        caseEngine.controller.queueStarted = c.queueStarted;
        FakeWizardHost caseHost;
        caseHost.users = {Ends(c.result)};
        CWizardRun caseRun(caseHost);
        int reboots = 0;
        caseRun.triggerReboot = [&reboots] { return ++reboots > 0; };
        EXPECT_EQ(caseRun.Run(caseEngine.controller), c.exitCode) << c.name;
        EXPECT_EQ(caseRun.rebootDecision, c.reboot) << c.name;
        EXPECT_EQ(reboots, c.reboot ? 1 : 0) << c.name;
        EXPECT_EQ(caseLog.Texts("BootStrapper").back(), c.reboot ? "Trigger reboot" : "Wizard done") << c.name;
    }
}

TEST_F(WizardRunTest, RebootDecisionComesFromTheLastPassOnly)
{
    engine.controller.rebootRequired = true;
    host.users = {Ends(42), Ends(2)};
    run.Run(engine.controller);
    EXPECT_FALSE(run.rebootDecision);
    EXPECT_EQ(host.shown.size(), 2u);
}

TEST_F(WizardRunTest, WithoutARebootStepNothingIsTriggered)
{
    engine.controller.rebootRequired = true;
    host.users = {Ends(12325)};
    EXPECT_EQ(run.Run(engine.controller), 3010u);
    EXPECT_TRUE(run.rebootDecision);
    EXPECT_EQ(RunLines().back(), "Wizard done");
}

// Instead of the wizard: string 177 and the product's name in the user-interface language, with the system's text of
// the error (without its line break) and the code; no sheet is shown.
TEST(WizardRunSetupError, TheMessageNamesTheErrorInTheUserInterfaceLanguage)
{
    FakeWizardHost host;
    host.strings[0][IDS_SETUP_FILES_FAILED] = L"Das Setup konnte seine Dateien nicht schreiben. %s \r\n\r\n(%d, 0x%x)";
    host.strings[0][IDS_PRODUCT_NAME] = L"KELVARO VOV Client für Windows";
    host.systemTexts[32] = L"Der Prozess kann nicht auf die Datei zugreifen.\r\n";
    CWizardRun run(host);
    run.ShowSetupError(32);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, L"KELVARO VOV Client für Windows");
    EXPECT_EQ(host.messages[0].second,
              L"Das Setup konnte seine Dateien nicht schreiben. Der Prozess kann nicht auf die Datei zugreifen. \r\n\r\n(32, 0x20)");
    EXPECT_TRUE(host.shown.empty());
    // An error without a system text still names its code.
    run.ShowSetupError(0x80004005);
    EXPECT_EQ(host.messages[1].second, L"Das Setup konnte seine Dateien nicht schreiben.  \r\n\r\n(-2147467259, 0x80004005)");
}

}  // namespace
