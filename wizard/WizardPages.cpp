// The page classes of the wizard and the pages a sheet holds for each install state.
#include "wizard/WizardPages.h"

#include "resource.h"
#include "wizard/ConfirmPage.h"
#include "wizard/DownGradePage.h"
#include "wizard/FeatureSelectionPage.h"
#include "wizard/FinishPage.h"
#include "wizard/GhostscriptPage.h"
#include "wizard/PrerequisitesPage.h"
#include "wizard/ProgressPage.h"
#include "wizard/RepairPage.h"
#include "wizard/RunningAppsPage.h"
#include "wizard/UpdatePage.h"
#include "wizard/WelcomePage.h"

namespace {

template <class Page>
std::unique_ptr<CMyPropertyPage> Create()
{
    return std::make_unique<Page>();
}

}  // namespace

const std::vector<WizardPageClass>& WizardPageClasses()
{
    // A page class joins the wizard by its entry here.
    static const std::vector<WizardPageClass> classes = {
        {IDD_WELCOME, &Create<CWelcomePage>},
        {IDD_UPDATE, &Create<CUpdatePage>},
        {IDD_REPAIR, &Create<CRepairPage>},
        {IDD_FEATURES, &Create<CFeatureSelectionPage>},
        {IDD_DOWNGRADE, &Create<CDownGradePage>},
        {IDD_GHOSTSCRIPT, &Create<CGhostscript>},
        {IDD_PREREQUISITES, &Create<CPrerequisites>},
        {IDD_CONFIRM, &Create<CConfirmPage>},
        {IDD_RUNNINGAPPS, &Create<CRunningAppsPage>},
        {IDD_PROGRESS, &Create<CProgressPage>},
        {IDD_FINISH, &Create<CFinishPage>},
    };
    return classes;
}

std::vector<uint32_t> WizardPageOrder(InstallState state)
{
    std::vector<uint32_t> order = {IDD_WELCOME};
    if (state == LowerVersionInstalled) order.push_back(IDD_UPDATE);
    else if (state == SameVersionInstalled) order.push_back(IDD_REPAIR);
    else if (state == HigherVersionInstalled) order.push_back(IDD_DOWNGRADE);
    if (state != HigherVersionInstalled) order.insert(order.end(), {IDD_FEATURES, IDD_GHOSTSCRIPT, IDD_PREREQUISITES});
    order.insert(order.end(), {IDD_CONFIRM, IDD_RUNNINGAPPS, IDD_PROGRESS, IDD_FINISH});
    return order;
}

CWizardPages::CWizardPages()
{
    for (const WizardPageClass& pageClass : WizardPageClasses()) {
        if (pageClass.create) pages_.push_back(pageClass.create());
    }
}

CWizardPages::~CWizardPages()
{
    while (!pages_.empty()) pages_.pop_back();
}

CMyPropertyPage* CWizardPages::Find(uint32_t templateId) const
{
    for (const auto& page : pages_) {
        if (page->TemplateId() == templateId) return page.get();
    }
    return nullptr;
}

size_t CWizardPages::AddTo(CMyPropertySheet& sheet, InstallState state) const
{
    size_t added = 0;
    for (uint32_t templateId : WizardPageOrder(state)) {
        if (CMyPropertyPage* page = Find(templateId)) {
            sheet.AddPage(page);
            ++added;
        }
    }
    return added;
}
