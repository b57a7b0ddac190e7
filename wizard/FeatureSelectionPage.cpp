// The feature tree: which features to install, their descriptions, the run-after-install choice, and the
// ADDLOCAL and REMOVE lists built on Next.
#include "wizard/FeatureSelectionPage.h"

#include "engine/InstallController.h"
#include "log/Log.h"
#include "resource.h"

CFeatureSelectionPage::CFeatureSelectionPage() : CMyPropertyPage(IDD_FEATURES) {}

void CFeatureSelectionPage::BindControls()
{
    CMyPropertyPage::BindControls();
    featureTree = Controls().BindTreeView(IDC_FEATURE_TREE);
}

bool CFeatureSelectionPage::OnInitDialog()
{
    CMyPropertyPage::OnInitDialog();
    BuildFeatureTree();
    CInstallController* controller = Controller();
    if (!controller) return false;
    Controls().SetCheck(IDC_RUN_AFTER_INSTALL_CHECK, controller->runAfterInstall ? kButtonChecked : 0);
    return true;
}

bool CFeatureSelectionPage::OnSetActive()
{
    LogMessage(L"CFeatureSelectionPage", L"OnSetActive");
    EnableWizardButtons(true, true);
    return true;
}

void CFeatureSelectionPage::BuildFeatureTree()
{
    CInstallController* controller = Controller();
    if (!controller || !featureTree) return;
    std::vector<FeatureInfo>& features = controller->features;

    std::map<std::wstring, TreeItem> inserted;
    itemDescriptions.clear();
    featureTree->ResetCheckBoxes();
    featureTree->DeleteAllItems();
    const bool maintenance = controller->installState != NotInstalled;

    // A child may come before its parent in the table: each pass inserts the records whose parent is there
    // already. A record whose parent never appears is never inserted; the passes are bounded by the count.
    for (size_t pass = 0; inserted.size() < features.size() && pass < features.size(); ++pass) {
        for (FeatureInfo& feature : features) {
            if (inserted.count(feature.Feature)) continue;
            TreeItem parent = 0;
            if (!feature.Feature_Parent.empty()) {
                auto found = inserted.find(feature.Feature_Parent);
                if (found == inserted.end()) continue;
                parent = found->second;
            }
            const TreeItem item = featureTree->InsertItem(feature.Title, parent);
            if (feature.disallowAbsent) {
                featureTree->SetStateImage(item, kStateImageNone);
            } else {
                const bool checked = maintenance ? feature.installed : feature.Level == 1;
                featureTree->SetStateImage(item, checked ? kStateImageChecked : kStateImageUnchecked);
            }
            inserted[feature.Feature] = item;
            feature.treeItem = item;
            itemDescriptions[item] = feature.Description;
        }
    }
    for (const auto& [name, item] : inserted) featureTree->Expand(item);
}

void CFeatureSelectionPage::OnCommand(int controlId, int code)
{
    if (controlId == IDC_DEFAULT_BUTTON && code == kBnClicked) BuildFeatureTree();
}

intptr_t CFeatureSelectionPage::OnNotify(const ControlNotification& notification, bool& handled)
{
    handled = false;
    if (notification.controlId != IDC_FEATURE_TREE) return 0;
    if (notification.code == kTvnSelChanged) {
        ShowDescription(notification.newItem);
        handled = true;
    } else if (notification.code == kNmClick) {
        handled = true;
    }
    return 0;
}

void CFeatureSelectionPage::ShowDescription(TreeItem item)
{
    if (item == 0) return;
    auto found = itemDescriptions.find(item);
    if (found == itemDescriptions.end()) return;
    SetItemText(IDC_FEATURE_DESCRIPTION, found->second.empty() ? LoadString(IDS_SELECT_ITEM) : found->second);
}

int CFeatureSelectionPage::OnWizardNext()
{
    CInstallController* controller = Controller();
    if (!controller) return kDefaultNeighbour;
    controller->runAfterInstall = (Controls().GetCheck(IDC_RUN_AFTER_INSTALL_CHECK) & kButtonChecked) != 0;

    std::wstring add;
    std::wstring remove;
    auto append = [](std::wstring& list, const std::wstring& name) {
        if (!list.empty()) list += L',';
        list += name;
    };
    for (FeatureInfo& feature : controller->features) {
        // A record that never got an item (its parent is not in the table) was never shown: it stays out of
        // both lists, so what is installed of it stays as it is.
        if (feature.treeItem == 0 || !featureTree) {
            feature.selected = feature.disallowAbsent;
            continue;
        }
        // An item without check box (state image 0) reads as -1 and counts as checked.
        const bool checked = featureTree->GetStateImage(feature.treeItem) - 1 != 0;
        feature.selected = checked || feature.disallowAbsent;
        if (checked) append(add, feature.Feature);
        else if (feature.installed) append(remove, feature.Feature);
    }
    controller->SetFeatureLists(add, remove);

    if (controller->offerLegacyGhostscriptRemoval) return IDD_GHOSTSCRIPT;
    if (controller->needDotNet || controller->needGhostscript || controller->needEDocPrintPro) return IDD_PREREQUISITES;
    return IDD_CONFIRM;
}
