// The wizard sheet: the controller, the button word, the page order, navigation by the pages' answers,
// and the sheet commands (Cancel, close, Help) that the host window forwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/InstalledSoftware.h"
#include "wizard/WizardControls.h"

class CInstallController;
class CMyPropertyPage;

// Button bits of the wizard (PSWIZB_*).
constexpr uint32_t kWizardBack = 1;
constexpr uint32_t kWizardNext = 2;
constexpr uint32_t kWizardFinish = 4;

// Ids of the sheet's buttons and the results of the wizard.
constexpr int kIdCancel = 2;         // IDCANCEL
constexpr int kIdHelp = 9;           // IDHELP
constexpr int kIdWizBack = 12323;    // ID_WIZBACK
constexpr int kIdWizNext = 12324;    // ID_WIZNEXT
constexpr int kIdWizFinish = 12325;  // ID_WIZFINISH
constexpr int kWizardRestart = 42;   // the language was changed: build and show the wizard again
constexpr int kWizardNotShown = -1;  // the sheet's window could not be created (no desktop to show it on)

// What the pages between the features and the confirmation chose, recorded by their Next. Going back over a page
// forgets its choice, since the user passes it again (or skips it) on the way forward; the confirmation page's
// Next builds the whole queue from these choices.
struct QueueChoices {
    // The older Ghostscript versions left checked on the legacy-Ghostscript page.
    std::vector<LegacyGhostscriptEntry> legacyRemovals;
    // The prerequisites page was left with Next.
    bool prerequisites = false;

    void Forget()
    {
        legacyRemovals.clear();
        prerequisites = false;
    }
};

// The product documentation opened by the Help button.
extern const wchar_t* const kDocumentationUrl;

class CMyPropertySheet {
public:
    explicit CMyPropertySheet(CInstallController* controller = nullptr) : controller(controller) {}
    CMyPropertySheet(const CMyPropertySheet&) = delete;
    CMyPropertySheet& operator=(const CMyPropertySheet&) = delete;

    CInstallController* controller = nullptr;
    uint32_t wizardButtons = 0;
    // How the wizard ended; Cancel until something else ends it.
    int result = kIdCancel;
    // Why the sheet could not be shown (a Windows error), when its window was never created.
    uint32_t showError = 0;
    // The language code chosen on the welcome page ("de-DE", ...); empty when none was chosen.
    std::wstring chosenLanguage;
    QueueChoices queueChoices;

    // ---- pages (not owned), in the sheet's order ----
    void AddPage(CMyPropertyPage* page) { pages_.push_back(page); }
    size_t PageCount() const { return pages_.size(); }
    CMyPropertyPage* Page(size_t index) const { return index < pages_.size() ? pages_[index] : nullptr; }
    // Index of the page with that template id; -1 when the sheet has none.
    int IndexOfTemplate(uint32_t templateId) const;

    // ---- the window (set by the host while the sheet is shown) ----
    void AttachWindow(ISheetWindow* window) { window_ = window; }
    ISheetWindow* Window() const { return window_; }

    // ---- operations of the pages ----
    // Loads the string and makes it the caption of the sheet's control with that id (if it exists).
    void SetButtonText(int buttonId, uint32_t stringId);
    std::wstring LoadString(uint32_t id) const;
    // Posts the whole button word.
    void PostWizardButtons();
    void SetFinishText(const std::wstring& text);
    // Selects the page after the current one; the current page's Next is not called.
    void MoveToNextPage();
    // Stores the result and closes the window.
    void EndWizard(int wizardResult);

    // ---- what the host forwards ----
    // Next (forward) or Back on the page at pageIndex: asks the page and gives the index of the page to show,
    // or -1 to stay. A jump to a template id the sheet does not hold stays on the page.
    int Navigate(int pageIndex, bool forward);
    // Cancel button or the close command. Ignored (false) while the controller runs the queue; otherwise
    // logs "Cancel" and ends the wizard with IDCANCEL (true).
    bool OnCancel();
    // The property sheet asks before it ends by its own cancel path: false (refused) while the controller runs
    // the queue.
    bool OnQueryCancel() const;
    // Help button: opens the documentation page.
    void OnHelp();
    // Finish pressed on the last page.
    void OnFinish() { result = kIdWizFinish; }

private:
    std::vector<CMyPropertyPage*> pages_;
    ISheetWindow* window_ = nullptr;
};
