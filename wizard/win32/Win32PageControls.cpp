// The controls of one wizard page's dialog over the real Windows controls.
#include "wizard/win32/Win32PageControls.h"


Win32PageControls::~Win32PageControls() = default;

bool Win32PageControls::HasItem(int id) { return Item(id) != nullptr; }

void Win32PageControls::SetItemText(int id, const std::wstring& text)
{
    if (HWND item = Item(id)) SetWindowTextW(item, text.c_str());
}

std::wstring Win32PageControls::GetItemText(int id)
{
    HWND item = Item(id);
    if (!item) return std::wstring();
    const int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], length + 1)));
    return text;
}

uint32_t Win32PageControls::GetButtonState(int id)
{
    HWND item = Item(id);
    return item ? static_cast<uint32_t>(SendMessageW(item, BM_GETSTATE, 0, 0)) : 0;
}

uint32_t Win32PageControls::GetCheck(int id)
{
    HWND item = Item(id);
    return item ? static_cast<uint32_t>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

void Win32PageControls::SetCheck(int id, uint32_t state)
{
    if (HWND item = Item(id)) SendMessageW(item, BM_SETCHECK, state, 0);
}

void Win32PageControls::ShowItem(int id, bool show)
{
    if (HWND item = Item(id)) ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

void Win32PageControls::EnableItem(int id, bool enable)
{
    if (HWND item = Item(id)) EnableWindow(item, enable ? TRUE : FALSE);
}

uintptr_t Win32PageControls::StartTimer(uintptr_t id, uint32_t periodMs)
{
    return dialog_ ? SetTimer(dialog_, id, periodMs, nullptr) : 0;
}

void Win32PageControls::StopTimer(uintptr_t id)
{
    if (dialog_) KillTimer(dialog_, id);
}

IPictureControl* Win32PageControls::BindPicture(int id)
{
    auto& picture = pictures_[id];
    if (!picture) {
        picture = std::make_unique<CBitmapPicture>(module_);
        picture->AttachToControl(Item(id));
    }
    return picture.get();
}

IComboBox* Win32PageControls::BindComboBox(int id)
{
    auto& combo = combos_[id];
    if (!combo) combo = std::make_unique<Win32ComboBox>(Item(id));
    return combo.get();
}

IListBox* Win32PageControls::BindListBox(int id) { return BindCheckListBox(id); }

ICheckListBox* Win32PageControls::BindCheckListBox(int id)
{
    auto& list = lists_[id];
    if (!list) list = std::make_unique<Win32CheckListBox>(Item(id));
    return list.get();
}

ITreeView* Win32PageControls::BindTreeView(int id)
{
    auto& tree = trees_[id];
    if (!tree) tree = std::make_unique<Win32TreeView>(Item(id));
    return tree.get();
}

IProgressBar* Win32PageControls::BindProgressBar(int id)
{
    auto& bar = progressBars_[id];
    if (!bar) bar = std::make_unique<Win32ProgressBar>(Item(id));
    return bar.get();
}

bool Win32PageControls::DrawItem(const DRAWITEMSTRUCT& item)
{
    const int id = static_cast<int>(item.CtlID);
    if (auto picture = pictures_.find(id); picture != pictures_.end()) {
        picture->second->DrawItem(item);
        return true;
    }
    if (auto list = lists_.find(id); list != lists_.end()) {
        list->second->Draw(item);
        return true;
    }
    return false;
}

bool Win32PageControls::MeasureItem(HWND dialog, MEASUREITEMSTRUCT& item)
{
    if (item.CtlType != ODT_LISTBOX) return false;
    // One line of the dialog font: 10 dialog units.
    RECT rect = {0, 0, 0, 10};
    MapDialogRect(dialog, &rect);
    item.itemHeight = static_cast<UINT>(rect.bottom > 0 ? rect.bottom : 16);
    return true;
}

void Win32PageControls::OnSysColorChange()
{
    for (auto& [id, picture] : pictures_) picture->OnSysColorChange();
}
