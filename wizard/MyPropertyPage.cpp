// The base of every wizard page: control binding, side picture and the button helpers.
#include "wizard/MyPropertyPage.h"

namespace {

// Stands in for the dialog until the page's dialog exists: every operation does nothing.
class NullPicture : public IPictureControl {
public:
    void SetBitmap(int32_t) override {}
};

class NullCheckListBox : public ICheckListBox, public IComboBox {
public:
    void ResetContent() override {}
    int AddString(const std::wstring&) override { return -1; }
    int GetCount() override { return 0; }
    void SetCheck(int, int) override {}
    int GetCheck(int) override { return 0; }
    void SetCurSel(int) override {}
    int GetCurSel() override { return -1; }
};

class NullTree : public ITreeView, public IProgressBar {
public:
    void ResetCheckBoxes() override {}
    void DeleteAllItems() override {}
    TreeItem InsertItem(const std::wstring&, TreeItem) override { return 0; }
    void SetStateImage(TreeItem, int) override {}
    int GetStateImage(TreeItem) override { return 0; }
    void Expand(TreeItem) override {}
    void SetRange(int, int) override {}
    void SetMarquee(bool, uint32_t) override {}
};

class NullControls : public IPageControls {
public:
    bool HasItem(int) override { return false; }
    void SetItemText(int, const std::wstring&) override {}
    std::wstring GetItemText(int) override { return std::wstring(); }
    uint32_t GetButtonState(int) override { return 0; }
    uint32_t GetCheck(int) override { return 0; }
    void SetCheck(int, uint32_t) override {}
    void ShowItem(int, bool) override {}
    void EnableItem(int, bool) override {}
    uintptr_t StartTimer(uintptr_t, uint32_t) override { return 0; }
    void StopTimer(uintptr_t) override {}
    IPictureControl* BindPicture(int) override { return &picture_; }
    IComboBox* BindComboBox(int) override { return &lists_; }
    IListBox* BindListBox(int) override { return &lists_; }
    ICheckListBox* BindCheckListBox(int) override { return &lists_; }
    ITreeView* BindTreeView(int) override { return &tree_; }
    IProgressBar* BindProgressBar(int) override { return &tree_; }

private:
    NullPicture picture_;
    NullCheckListBox lists_;
    NullTree tree_;
};

NullControls g_nullControls;

}  // namespace

void CMyPropertyPage::AttachDialog(IPageControls* controls, CMyPropertySheet* parentSheet)
{
    controls_ = controls;
    parentSheet_ = parentSheet;
}

IPageControls& CMyPropertyPage::Controls() const
{
    return controls_ ? *controls_ : static_cast<IPageControls&>(g_nullControls);
}

void CMyPropertyPage::BindControls()
{
    sidePicture = Controls().BindPicture(kSidePictureControl);
}

bool CMyPropertyPage::OnInitDialog()
{
    BindControls();
    sheet = parentSheet_;
    sidePicture->SetBitmap(kSidePictureBitmap);
    return true;
}

void CMyPropertyPage::EnableWizardButtons(bool back, bool next)
{
    if (!sheet) return;
    if (back) sheet->wizardButtons |= kWizardBack;
    else sheet->wizardButtons &= ~kWizardBack;
    sheet->PostWizardButtons();
    if (next) sheet->wizardButtons |= kWizardNext;
    else sheet->wizardButtons &= ~kWizardNext;
    sheet->PostWizardButtons();
}

void CMyPropertyPage::ShowFinishButton(uint32_t stringId)
{
    if (!sheet) return;
    sheet->wizardButtons |= kWizardFinish;
    sheet->PostWizardButtons();
    sheet->SetFinishText(sheet->LoadString(stringId));
}

void CMyPropertyPage::SetConfirmationText(uint32_t stringId)
{
    SetItemText(kConfirmationTextControl, LoadString(stringId));
}

void CMyPropertyPage::SetItemText(int controlId, const std::wstring& text)
{
    Controls().SetItemText(controlId, text);
}

CInstallController* CMyPropertyPage::Controller() const
{
    return sheet ? sheet->controller : nullptr;
}
