// The first page: product title, installer version, language choice and the button captions.
#include "wizard/WelcomePage.h"

#include <algorithm>

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "wizard/WizardLanguages.h"

namespace {
const wchar_t* const kTag = L"CWelcomePage";
constexpr size_t kLanguageBufferChars = 100;
}  // namespace

CWelcomePage::CWelcomePage() : CMyPropertyPage(IDD_WELCOME) {}

void CWelcomePage::BindControls()
{
    CMyPropertyPage::BindControls();
    languageCombo = Controls().BindComboBox(IDC_LANGUAGE_COMBO);
}

bool CWelcomePage::OnInitDialog()
{
    CMyPropertyPage::OnInitDialog();
    // Windows that a download shows (proxy log-on, security prompts) belong to the wizard.
    if (sheet && Controller() && sheet->Window()) Controller()->extractor.parentWindow = sheet->Window()->Handle();

    for (const WizardLanguage& language : kWizardLanguages) languageCombo->AddString(language.shownAs);
    currentLanguage = LanguageIndexOfCode(LoadString(IDS_LANGUAGE_CODE));
    languageCombo->SetCurSel(currentLanguage);

    if (sheet) {
        sheet->SetButtonText(kIdWizBack, IDS_BACK);
        sheet->SetButtonText(kIdWizNext, IDS_NEXT);
        sheet->SetButtonText(kIdHelp, IDS_HELP);
        sheet->SetButtonText(kIdCancel, IDS_CANCEL);
    }
    SetItemText(IDC_INSTALLER_VERSION, FormatText(LoadString(IDS_INSTALLER_VERSION).c_str(), {kPackageVersion}));
    return true;
}

bool CWelcomePage::OnSetActive()
{
    LogMessage(kTag, L"OnSetActive");
    EnableWizardButtons(false, true);
    if (CInstallController* controller = Controller()) controller->SetInstallMode(InstallNewProduct);
    return true;
}

void CWelcomePage::OnCommand(int controlId, int code)
{
    if (controlId != IDC_LANGUAGE_COMBO || code != kCbnSelChange) return;
    const int selected = languageCombo ? languageCombo->GetCurSel() : -1;
    if (selected == currentLanguage) return;
    SetLocalization(LanguageCodeOfIndex(selected));
}

void CWelcomePage::SetLocalization(const std::wstring& languageCode)
{
    LogFormat(kTag, L"Set localization: %s", languageCode);
    // A list of one language name, ended by two zero code units.
    std::wstring buffer(kLanguageBufferChars, L'\0');
    buffer.replace(0, std::min(languageCode.size(), kLanguageBufferChars - 2), languageCode, 0,
                   kLanguageBufferChars - 2);
    if (!sheet) return;
    sheet->chosenLanguage = languageCode;
    if (sheet->Window()) sheet->Window()->SetPreferredUILanguages(buffer);
    sheet->EndWizard(kWizardRestart);
}
