// The page classes of the wizard, in their order of construction, and the pages a sheet holds for each
// install state. A page class joins the wizard by its entry in the class list (WizardPages.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "package/RelatedProducts.h"
#include "wizard/MyPropertyPage.h"

struct WizardPageClass {
    uint32_t templateId;
    // Creates the page; null while the page's class does not exist yet (the sheet then goes without it).
    std::unique_ptr<CMyPropertyPage> (*create)();
};

// All eleven page classes in the order they are constructed in every pass: Welcome, Update, Maintenance,
// Features, Downgrade, legacy Ghostscript, Prerequisites, Confirmation, Running Applications, Progress, Finish.
const std::vector<WizardPageClass>& WizardPageClasses();

// The template ids of the pages the sheet holds for the install state, in the sheet's order.
std::vector<uint32_t> WizardPageOrder(InstallState state);

// The page objects of one wizard pass: constructed together, destroyed in the reverse order.
class CWizardPages {
public:
    CWizardPages();
    ~CWizardPages();
    CWizardPages(const CWizardPages&) = delete;
    CWizardPages& operator=(const CWizardPages&) = delete;

    // The page with that template id; null when its class does not exist.
    CMyPropertyPage* Find(uint32_t templateId) const;
    // Adds the pages of the install state that exist, in order; returns how many were added.
    size_t AddTo(CMyPropertySheet& sheet, InstallState state) const;

private:
    std::vector<std::unique_ptr<CMyPropertyPage>> pages_;
};
