// The maintenance choice when a lower version is installed: update it or remove it.
#include "wizard/UpdatePage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

CUpdatePage::CUpdatePage() : CMyPropertyPage(IDD_UPDATE) {}

void SetVersionLines(CMyPropertyPage& page, const std::wstring& installedVersion, const std::wstring& installedFormat,
                     const std::wstring& installerFormat)
{
    page.SetItemText(IDC_INSTALLED_VERSION, FormatText(installedFormat.c_str(), {installedVersion}));
    page.SetItemText(IDC_INSTALLER_VERSION, FormatText(installerFormat.c_str(), {kPackageVersion}));
}

bool CUpdatePage::OnInitDialog()
{
    CMyPropertyPage::OnInitDialog();
    CInstallController* controller = Controller();
    if (!controller) return false;
    SetVersionLines(*this, controller->installedVersion, LoadString(IDS_INSTALLED_VERSION),
                    LoadString(IDS_INSTALLER_VERSION));
    Controls().SetCheck(IDC_UPDATE_RADIO, kButtonChecked);
    return true;
}

bool CUpdatePage::OnSetActive()
{
    LogMessage(L"CUpdatePage", L"OnSetActive");
    EnableWizardButtons(true, true);
    return true;
}

int CUpdatePage::OnWizardNext()
{
    CInstallController* controller = Controller();
    if (Controls().GetButtonState(IDC_UPDATE_RADIO) & kButtonChecked) {
        if (controller) controller->SetInstallMode(UpdateExistingProduct);
        return kDefaultNeighbour;
    }
    if (controller) controller->SetInstallMode(UnInstallExistingProduct);
    return IDD_CONFIRM;
}
