// The controls of one wizard page's dialog: IPageControls over the dialog window and its child controls.
#pragma once

#include <windows.h>
#undef LoadString

#include <map>
#include <memory>

#include "wizard/WizardControls.h"
#include "wizard/win32/BitmapPicture.h"
#include "wizard/win32/Win32Controls.h"

class Win32PageControls : public IPageControls {
public:
    explicit Win32PageControls(HMODULE module) : module_(module) {}
    ~Win32PageControls() override;

    // The page's dialog window; set when it exists.
    void Attach(HWND dialog) { dialog_ = dialog; }

    bool HasItem(int id) override;
    void SetItemText(int id, const std::wstring& text) override;
    std::wstring GetItemText(int id) override;
    uint32_t GetButtonState(int id) override;
    uint32_t GetCheck(int id) override;
    void SetCheck(int id, uint32_t state) override;
    void ShowItem(int id, bool show) override;
    void EnableItem(int id, bool enable) override;
    uintptr_t StartTimer(uintptr_t id, uint32_t periodMs) override;
    void StopTimer(uintptr_t id) override;

    IPictureControl* BindPicture(int id) override;
    IComboBox* BindComboBox(int id) override;
    IListBox* BindListBox(int id) override;
    ICheckListBox* BindCheckListBox(int id) override;
    ITreeView* BindTreeView(int id) override;
    IProgressBar* BindProgressBar(int id) override;

    // Owner drawing handed on by the dialog procedure; false when no bound control takes it.
    bool DrawItem(const DRAWITEMSTRUCT& item);
    bool MeasureItem(HWND dialog, MEASUREITEMSTRUCT& item);
    void OnSysColorChange();

private:
    HWND Item(int id) const { return dialog_ ? GetDlgItem(dialog_, id) : nullptr; }

    HMODULE module_;
    HWND dialog_ = nullptr;
    std::map<int, std::unique_ptr<CBitmapPicture>> pictures_;
    std::map<int, std::unique_ptr<Win32ComboBox>> combos_;
    std::map<int, std::unique_ptr<Win32CheckListBox>> lists_;
    std::map<int, std::unique_ptr<Win32TreeView>> trees_;
    std::map<int, std::unique_ptr<Win32ProgressBar>> progressBars_;
};
