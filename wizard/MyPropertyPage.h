// The base of every wizard page: its template id, its sheet, the side picture, the framework hooks and the
// button helpers. Pages act on their dialog only through IPageControls.
#pragma once

#include <cstdint>
#include <string>

#include "wizard/MyPropertySheet.h"
#include "wizard/WizardControls.h"

// Bitmap resource of the side picture and the control that shows it.
constexpr int32_t kSidePictureBitmap = 500;
constexpr int kSidePictureControl = 1025;
// The control SetConfirmationText writes to.
constexpr int kConfirmationTextControl = 1012;

// Results of OnWizardNext and OnWizardBack besides a template id.
constexpr int kStayOnPage = -1;
constexpr int kDefaultNeighbour = 0;

class CMyPropertyPage {
public:
    explicit CMyPropertyPage(uint32_t templateId) : templateId_(templateId) {}
    virtual ~CMyPropertyPage() = default;
    CMyPropertyPage(const CMyPropertyPage&) = delete;
    CMyPropertyPage& operator=(const CMyPropertyPage&) = delete;

    uint32_t TemplateId() const { return templateId_; }

    CMyPropertySheet* sheet = nullptr;
    IPictureControl* sidePicture = nullptr;

    // Called by the host when the page's dialog exists, before OnInitDialog: the dialog's controls and the
    // parent sheet (null when the parent is not such a sheet).
    void AttachDialog(IPageControls* controls, CMyPropertySheet* parentSheet);
    bool HasDialog() const { return controls_ != nullptr; }

    // ---- framework hooks ----
    virtual void BindControls();
    // Binds the controls, sets `sheet` and loads the side picture; returns true (default focus).
    virtual bool OnInitDialog();
    // True accepts the activation.
    virtual bool OnSetActive() { return true; }
    // -1 stay, 0 the default neighbour, or the template id of the page to show.
    virtual int OnWizardBack() { return kDefaultNeighbour; }
    virtual int OnWizardNext() { return kDefaultNeighbour; }
    virtual void OnCommand(int /*controlId*/, int /*code*/) {}
    // Returns the answer to the notification; handled says whether the page took it.
    virtual intptr_t OnNotify(const ControlNotification& /*notification*/, bool& handled)
    {
        handled = false;
        return 0;
    }
    virtual void OnTimer(uintptr_t /*timerId*/) {}

    // ---- helpers of the pages ----
    // Sets bit 1 by back and posts the word, then bit 2 by next and posts it again.
    void EnableWizardButtons(bool back, bool next);
    // Sets bit 4, posts the word and gives the Finish button the string's text.
    void ShowFinishButton(uint32_t stringId);
    void SetConfirmationText(uint32_t stringId);
    void SetItemText(int controlId, const std::wstring& text);

protected:
    // The controller through the sheet; null when either is missing.
    CInstallController* Controller() const;
    std::wstring LoadString(uint32_t id) const { return sheet ? sheet->LoadString(id) : std::wstring(); }
    // The dialog's controls; before the dialog exists, controls that ignore everything.
    IPageControls& Controls() const;

private:
    uint32_t templateId_;
    IPageControls* controls_ = nullptr;
    CMyPropertySheet* parentSheet_ = nullptr;
};
