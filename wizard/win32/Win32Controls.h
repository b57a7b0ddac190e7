// The Windows controls behind the page controls interface: combo box, list box and check-list box, tree view
// with check boxes, progress bar.
#pragma once

#include <windows.h>
#include <commctrl.h>
#undef LoadString

#include <string>

#include "platform/win32/CommonControls.h"
#include "wizard/WizardControls.h"

#ifndef PBM_SETMARQUEE
#define PBM_SETMARQUEE (WM_USER + 10)
#endif

class Win32ComboBox : public IComboBox {
public:
    explicit Win32ComboBox(HWND window) : window_(window) {}
    void ResetContent() override { SendMessageW(window_, CB_RESETCONTENT, 0, 0); }
    int AddString(const std::wstring& text) override
    {
        return static_cast<int>(SendMessageW(window_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    void SetCurSel(int index) override { SendMessageW(window_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    int GetCurSel() override { return window_ ? static_cast<int>(SendMessageW(window_, CB_GETCURSEL, 0, 0)) : -1; }

private:
    HWND window_;
};

// A list box; when owner-drawn (the check-list box) every line carries a check box kept in its item data,
// toggled by a click on the line or by the space bar.
class Win32CheckListBox : public ICheckListBox {
public:
    explicit Win32CheckListBox(HWND window) : window_(window)
    {
        if (window_) comctl::SetWindowSubclass(window_, &Win32CheckListBox::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~Win32CheckListBox() override
    {
        if (window_) comctl::RemoveWindowSubclass(window_, &Win32CheckListBox::SubclassProc, 1);
    }
    void ResetContent() override { SendMessageW(window_, LB_RESETCONTENT, 0, 0); }
    int AddString(const std::wstring& text) override
    {
        const auto index = SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index >= 0) SendMessageW(window_, LB_SETITEMDATA, static_cast<WPARAM>(index), 0);
        return static_cast<int>(index);
    }
    int GetCount() override { return window_ ? static_cast<int>(SendMessageW(window_, LB_GETCOUNT, 0, 0)) : 0; }
    void SetCheck(int index, int state) override
    {
        SendMessageW(window_, LB_SETITEMDATA, static_cast<WPARAM>(index), state);
        InvalidateRect(window_, nullptr, TRUE);
    }
    int GetCheck(int index) override
    {
        if (!window_) return 0;
        const LRESULT data = SendMessageW(window_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
        return data == LB_ERR ? 0 : static_cast<int>(data);
    }

    void Draw(const DRAWITEMSTRUCT& item)
    {
        if (item.itemID == static_cast<UINT>(-1)) return;
        RECT rect = item.rcItem;
        FillRect(item.hDC, &rect, GetSysColorBrush(COLOR_WINDOW));
        const int box = rect.bottom - rect.top - 2;
        RECT check = {rect.left + 2, rect.top + 1, rect.left + 2 + box, rect.top + 1 + box};
        UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
        if (GetCheck(static_cast<int>(item.itemID))) state |= DFCS_CHECKED;
        DrawFrameControl(item.hDC, &check, DFC_BUTTON, state);
        const auto length = SendMessageW(window_, LB_GETTEXTLEN, item.itemID, 0);
        if (length <= 0) return;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(window_, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        RECT label = rect;
        label.left = check.right + 4;
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextW(item.hDC, text.c_str(), -1, &label, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }

private:
    bool OwnerDrawn() const { return (GetWindowLongPtrW(window_, GWL_STYLE) & LBS_OWNERDRAWFIXED) != 0; }
    void Toggle(int index)
    {
        if (index < 0 || index >= GetCount()) return;
        SetCheck(index, GetCheck(index) ? 0 : 1);
    }
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self)
    {
        auto list = reinterpret_cast<Win32CheckListBox*>(self);
        if (list->OwnerDrawn()) {
            if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
                const LRESULT hit = SendMessageW(window, LB_ITEMFROMPOINT, 0, lParam);
                if (HIWORD(hit) == 0) list->Toggle(LOWORD(hit));
                SetFocus(window);
                return 0;
            }
            if (message == WM_KEYDOWN && wParam == VK_SPACE) {
                list->Toggle(static_cast<int>(SendMessageW(window, LB_GETCARETINDEX, 0, 0)));
                return 0;
            }
        }
        if (message == WM_NCDESTROY) {
            comctl::RemoveWindowSubclass(window, &Win32CheckListBox::SubclassProc, 1);
            list->window_ = nullptr;
        }
        return comctl::DefSubclassProc(window, message, wParam, lParam);
    }

    HWND window_;
};

class Win32TreeView : public ITreeView {
public:
    explicit Win32TreeView(HWND window) : window_(window) {}
    void ResetCheckBoxes() override
    {
        const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
        SetWindowLongPtrW(window_, GWL_STYLE, style & ~static_cast<LONG_PTR>(TVS_CHECKBOXES));
        SetWindowLongPtrW(window_, GWL_STYLE, style | TVS_CHECKBOXES);
    }
    void DeleteAllItems() override
    {
        SendMessageW(window_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    }
    TreeItem InsertItem(const std::wstring& text, TreeItem parent) override
    {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parent ? reinterpret_cast<HTREEITEM>(parent) : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<LPWSTR>(text.c_str());
        return static_cast<TreeItem>(SendMessageW(window_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    void SetStateImage(TreeItem item, int index) override
    {
        TVITEMW tv = {};
        tv.mask = TVIF_HANDLE | TVIF_STATE;
        tv.hItem = reinterpret_cast<HTREEITEM>(item);
        tv.stateMask = TVIS_STATEIMAGEMASK;
        tv.state = INDEXTOSTATEIMAGEMASK(index);
        SendMessageW(window_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    }
    int GetStateImage(TreeItem item) override
    {
        const LRESULT state = SendMessageW(window_, TVM_GETITEMSTATE, item, TVIS_STATEIMAGEMASK);
        return static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
    }
    void Expand(TreeItem item) override { SendMessageW(window_, TVM_EXPAND, TVE_EXPAND, static_cast<LPARAM>(item)); }

private:
    HWND window_;
};

class Win32ProgressBar : public IProgressBar {
public:
    explicit Win32ProgressBar(HWND window) : window_(window) {}
    void SetRange(int low, int high) override { SendMessageW(window_, PBM_SETRANGE, 0, MAKELPARAM(low, high)); }
    void SetMarquee(bool on, uint32_t intervalMs) override
    {
        SendMessageW(window_, PBM_SETMARQUEE, on ? TRUE : FALSE, static_cast<LPARAM>(intervalMs));
    }

private:
    HWND window_;
};
