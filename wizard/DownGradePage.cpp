// The page shown when a higher version is installed: only its removal is offered.
#include "wizard/DownGradePage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"
#include "wizard/UpdatePage.h"

CDownGradePage::CDownGradePage() : CMyPropertyPage(IDD_DOWNGRADE) {}

bool CDownGradePage::OnInitDialog()
{
    CMyPropertyPage::OnInitDialog();
    CInstallController* controller = Controller();
    if (!controller) return false;
    SetVersionLines(*this, controller->installedVersion, LoadString(IDS_INSTALLED_VERSION),
                    LoadString(IDS_INSTALLER_VERSION));
    return true;
}

bool CDownGradePage::OnSetActive()
{
    LogMessage(L"CDownGradePage", L"OnSetActive");
    EnableWizardButtons(true, RemoveChecked());
    return true;
}

void CDownGradePage::OnCommand(int controlId, int code)
{
    if (controlId == IDC_REMOVE_EXISTING_CHECK && code == kBnClicked) EnableWizardButtons(true, RemoveChecked());
}

int CDownGradePage::OnWizardNext()
{
    if (CInstallController* controller = Controller()) controller->SetInstallMode(UnInstallExistingProduct);
    return kDefaultNeighbour;
}
