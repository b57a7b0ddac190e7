// Fuzz target: reading the Feature table (see FuzzMsi.h for the input's lines) into the controller and
// building the wizard's feature tree and the ADDLOCAL and REMOVE lists from it. Further lines:
//   L<TAB>transform      ReadFeatures with that transform name (default: none)
//   I<TAB>product code   the product is one of the controller's related products
//   Y                    Lync's Office integration is registered
//   M<TAB>mask           state of the maintenance run and which tree items the user then unchecks (bit n:
//                        the n-th item inserted; bit 0 of the first character: an installed product)
// Checks the handles, that the tree holds every feature whose parent is in it, each name once, under its
// parent, and that the lists name only features shown in the tree.
#include <cstdlib>
#include <set>

#include "FuzzMsi.h"
#include "resource.h"
#include "support/FakeLogPlatform.h"
#include "support/FakeWizard.h"
#include "wizard/FeatureSelectionPage.h"

namespace {

std::set<std::wstring> ListNames(const std::wstring& list)
{
    std::set<std::wstring> names;
    size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        size_t end = list.find(L',', start);
        if (end == std::wstring::npos) end = list.size();
        names.insert(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> lines = fuzz::Lines(data, size);
    LogFixture log;
    log.Initialize();
    WizardEngine engine;
    fuzz::BuildMsi(lines, engine.msi, engine.Package());

    std::wstring transform;
    std::string mask;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = fuzz::Split(line, '\t');
        if (f[0] == "L") transform = fuzz::Widen(fuzz::Field(f, 1));
        if (f[0] == "I") engine.controller.relatedProductCodes.push_back(fuzz::Widen(fuzz::Field(f, 1)));
        if (f[0] == "Y") engine.registry.AddKey(L"HKCR\\Lync.UCOfficeIntegration");
        if (f[0] == "M") mask = fuzz::Field(f, 1);
    }
    engine.controller.ReadFeatures(transform);
    if (!engine.msi.HandleProblems().empty() || engine.registry.OpenHandles() != 0) std::abort();

    engine.controller.installState = !mask.empty() && (mask[0] & 1) ? SameVersionInstalled : NotInstalled;
    CMyPropertySheet sheet(&engine.controller);
    CFeatureSelectionPage page;
    sheet.AddPage(&page);
    FakeWizard wizard(sheet);
    wizard.Start();
    FakeTreeView& tree = wizard.Controls(page).trees[IDC_FEATURE_TREE];

    const std::vector<FeatureInfo>& features = engine.controller.features;
    std::map<std::wstring, TreeItem> shown;
    for (const FeatureInfo& f : features) {
        if (f.treeItem == 0) continue;
        if (!tree.items.count(f.treeItem) || !shown.emplace(f.Feature, f.treeItem).second) std::abort();
    }
    if (shown.size() != tree.items.size()) std::abort();
    for (const FeatureInfo& f : features) {
        const bool parentShown = f.Feature_Parent.empty() || shown.count(f.Feature_Parent);
        if (parentShown && !shown.count(f.Feature)) std::abort();
        if (f.treeItem == 0) continue;
        const TreeItem parent = f.Feature_Parent.empty() ? 0 : shown.at(f.Feature_Parent);
        if (tree.items.at(f.treeItem).parent != parent) std::abort();
    }

    for (size_t i = 0; i < tree.insertOrder.size() && i < 8 * mask.size(); ++i) {
        if ((mask[i / 8] >> (i % 8)) & 1) tree.SetStateImage(tree.insertOrder[i], kStateImageUnchecked);
    }
    page.OnWizardNext();
    const std::set<std::wstring> add = ListNames(engine.controller.addLocal);
    const std::set<std::wstring> remove = ListNames(engine.controller.remove);
    for (const std::set<std::wstring>* list : {&add, &remove}) {
        for (const std::wstring& name : *list) {
            bool commaInName = false;
            for (const auto& [feature, item] : shown) commaInName |= feature.find(L',') != std::wstring::npos;
            if (!shown.count(name) && !commaInName) std::abort();
        }
    }
    return 0;
}
