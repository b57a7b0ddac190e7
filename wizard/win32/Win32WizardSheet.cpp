// Shows a CMyPropertySheet as a modal common-controls wizard.
#include "wizard/win32/Win32WizardSheet.h"

#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>
#include <winnls.h>

#include "platform/win32/CommonControls.h"
#include "wizard/MyPropertyPage.h"

#ifndef MUI_LANGUAGE_NAME
#define MUI_LANGUAGE_NAME 0x8
#endif

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

struct ThreadStart {
    uint32_t (*entry)(void*);
    void* argument;
};

DWORD WINAPI ThreadEntry(LPVOID parameter)
{
    const ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    return start.entry(start.argument);
}

}  // namespace

Win32WizardSheet::Win32WizardSheet(CMyPropertySheet& sheet, const CLanguageResources& resources)
    : sheet_(sheet), resources_(resources), backgroundBrush_(CreateSolidBrush(kWhite))
{
}

Win32WizardSheet::~Win32WizardSheet()
{
    sheet_.AttachWindow(nullptr);
    DeleteObject(backgroundBrush_);
}

int Win32WizardSheet::ShowModal()
{
    std::vector<PROPSHEETPAGEW> descriptions;
    for (size_t i = 0; i < sheet_.PageCount(); ++i) {
        CMyPropertyPage* page = sheet_.Page(i);
        const DLGTEMPLATE* dialog = resources_.Dialog(page->TemplateId());
        // The pages' indexes must be the sheet's: a page without template makes no wizard.
        if (!dialog) return kIdCancel;
        pages_.push_back(std::unique_ptr<PageHost>(
            new PageHost{this, page, static_cast<int>(i), dialog, Win32PageControls(resources_.Module()), nullptr}));
        PROPSHEETPAGEW description = {};
        description.dwSize = sizeof(description);
        description.dwFlags = PSP_DLGINDIRECT | PSP_HASHELP;
        description.hInstance = resources_.Module();
        description.pResource = dialog;
        description.pfnDlgProc = &Win32WizardSheet::PageProc;
        description.lParam = reinterpret_cast<LPARAM>(pages_.back().get());
        descriptions.push_back(description);
    }
    if (descriptions.empty()) return kIdCancel;
    // The finish page's link control is a class of its own.
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    comctl::InitCommonControlsEx(&classes);

    sheet_.AttachWindow(this);
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE | PSH_HASHELP;
    header.hInstance = resources_.Module();
    header.nPages = static_cast<UINT>(descriptions.size());
    header.ppsp = descriptions.data();
    // Without a desktop no page is ever created: Windows answers -1, Wine 0 (with error 5).
    comctl::PropertySheetW(&header);
    const DWORD error = created_ ? 0 : GetLastError();
    sheet_.AttachWindow(nullptr);
    window_ = nullptr;
    // The sheet refuses to close while the queue runs; should it end anyway, the caller still must not destroy
    // the controller (and delete the payloads) under the running worker.
    for (HANDLE worker : workers_) {
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }
    workers_.clear();
    if (!created_) {
        sheet_.showError = error != 0 ? error : ERROR_INVALID_WINDOW_HANDLE;
        return kWizardNotShown;
    }
    return sheet_.result;
}

// ---- the sheet window ----

void Win32WizardSheet::AttachSheetWindow(HWND window)
{
    if (window_ || !window) return;
    window_ = window;
    created_ = true;
    comctl::SetWindowSubclass(window_, &Win32WizardSheet::SheetProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void Win32WizardSheet::PostWizardButtons(uint32_t buttons)
{
    if (window_) PostMessageW(window_, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}

void Win32WizardSheet::SetFinishText(const std::wstring& text)
{
    if (window_) SendMessageW(window_, PSM_SETFINISHTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Win32WizardSheet::SetControlText(int controlId, const std::wstring& text)
{
    HWND control = window_ ? GetDlgItem(window_, controlId) : nullptr;
    if (!control) return false;
    SetWindowTextW(control, text.c_str());
    return true;
}

void Win32WizardSheet::EnableControl(int controlId, bool enable)
{
    if (HWND control = window_ ? GetDlgItem(window_, controlId) : nullptr) EnableWindow(control, enable ? TRUE : FALSE);
}

int Win32WizardSheet::CurrentPageIndex()
{
    if (!window_) return -1;
    HWND current = reinterpret_cast<HWND>(SendMessageW(window_, PSM_GETCURRENTPAGEHWND, 0, 0));
    return static_cast<int>(SendMessageW(window_, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(current), 0));
}

void Win32WizardSheet::SelectPage(int index)
{
    if (window_) SendMessageW(window_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32WizardSheet::Close()
{
    if (!window_) return;
    // The sheet ends through its own Cancel path; the sheet object already holds the result.
    closing_ = true;
    SendMessageW(window_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void Win32WizardSheet::SetPreferredUILanguages(const std::wstring& buffer)
{
    ULONG count = 0;
    SetProcessPreferredUILanguages(MUI_LANGUAGE_NAME, buffer.c_str(), &count);
}

void Win32WizardSheet::OpenUrl(const std::wstring& verb, const std::wstring& url)
{
    ShellExecuteW(nullptr, verb.empty() ? nullptr : verb.c_str(), url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

uint32_t Win32WizardSheet::StartThread(uint32_t (*entry)(void*), void* argument)
{
    auto start = new ThreadStart{entry, argument};
    HANDLE thread = CreateThread(nullptr, 0, &ThreadEntry, start, 0, nullptr);
    if (!thread) {
        const DWORD error = GetLastError();
        delete start;
        return error != 0 ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    workers_.push_back(thread);
    return 0;
}

bool Win32WizardSheet::Colour(UINT message, HDC dc, LRESULT& result)
{
    if (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) return false;
    SetBkColor(dc, kWhite);
    result = reinterpret_cast<LRESULT>(backgroundBrush_);
    return true;
}

void Win32WizardSheet::StartDrag()
{
    // Moves the whole wizard as if its title bar had been grabbed; the position is in screen coordinates,
    // where the move starts from.
    POINT cursor;
    GetCursorPos(&cursor);
    PostMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(cursor.x, cursor.y));
}

LRESULT CALLBACK Win32WizardSheet::SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self)
{
    auto sheet = reinterpret_cast<Win32WizardSheet*>(self);
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        LRESULT result = comctl::DefSubclassProc(window, message, wParam, lParam);
        sheet->Colour(message, reinterpret_cast<HDC>(wParam), result);
        return result;
    }
    case WM_LBUTTONDOWN: {
        const LRESULT result = comctl::DefSubclassProc(window, message, wParam, lParam);
        sheet->StartDrag();
        return result;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && !sheet->closing_) {
            sheet->sheet_.OnCancel();
            return 0;
        }
        if (LOWORD(wParam) == IDHELP) {
            sheet->sheet_.OnHelp();
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            if (!sheet->closing_) sheet->sheet_.OnCancel();
            return 0;
        }
        break;
    case WM_CLOSE:
        // A plain close message (taskkill without /F, another program closing windows) is the close command
        // too; the sheet's own handling would end the wizard without asking whether the queue runs.
        if (!sheet->closing_) sheet->sheet_.OnCancel();
        return 0;
    case WM_SYSCOLORCHANGE:
        for (auto& host : sheet->pages_) {
            if (host->window) SendMessageW(host->window, WM_SYSCOLORCHANGE, wParam, lParam);
        }
        break;
    case WM_NCDESTROY:
        comctl::RemoveWindowSubclass(window, &Win32WizardSheet::SheetProc, 1);
        break;
    }
    return comctl::DefSubclassProc(window, message, wParam, lParam);
}

// ---- the pages ----

INT_PTR CALLBACK Win32WizardSheet::PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto host = reinterpret_cast<PageHost*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
        host->window = dialog;
        host->owner->AttachSheetWindow(GetParent(dialog));
    }
    auto host = reinterpret_cast<PageHost*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!host) {
        // Owner-drawn list boxes ask for their line height while the dialog is being created.
        if (message == WM_MEASUREITEM) {
            Win32PageControls measure(nullptr);
            if (measure.MeasureItem(dialog, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
        }
        return FALSE;
    }
    return host->owner->OnPageMessage(*host, message, wParam, lParam);
}

INT_PTR Win32WizardSheet::OnPageMessage(PageHost& host, UINT message, WPARAM wParam, LPARAM lParam)
{
    CMyPropertyPage& page = *host.page;
    switch (message) {
    case WM_INITDIALOG: {
        host.controls.Attach(host.window);
        // Only a sheet shown by this host is a CMyPropertySheet.
        page.AttachDialog(&host.controls, window_ == GetParent(host.window) ? &sheet_ : nullptr);
        return page.OnInitDialog() ? TRUE : FALSE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        LRESULT result = 0;
        return Colour(message, reinterpret_cast<HDC>(wParam), result) ? static_cast<INT_PTR>(result) : FALSE;
    }
    case WM_LBUTTONDOWN:
        if (window_) StartDrag();
        return FALSE;
    case WM_COMMAND:
        page.OnCommand(LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_TIMER:
        page.OnTimer(static_cast<uintptr_t>(wParam));
        return FALSE;
    case WM_DRAWITEM:
        return host.controls.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_MEASUREITEM:
        return host.controls.MeasureItem(host.window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_SYSCOLORCHANGE:
        host.controls.OnSysColorChange();
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
        LRESULT answer = 0;
        if (header.hwndFrom == window_ || header.hwndFrom == GetParent(host.window)) {
            answer = OnSheetNotify(host, header);
        } else {
            ControlNotification notification;
            notification.controlId = static_cast<int>(header.idFrom);
            notification.code = static_cast<int>(header.code);
            if (header.code == TVN_SELCHANGEDW) {
                notification.newItem =
                    reinterpret_cast<TreeItem>(reinterpret_cast<const NMTREEVIEWW*>(lParam)->itemNew.hItem);
            } else if (header.code == NM_CLICK || header.code == NM_RETURN) {
                wchar_t cls[16] = {};
                GetClassNameW(header.hwndFrom, cls, 16);
                if (lstrcmpiW(cls, WC_LINK) == 0) notification.linkUrl = reinterpret_cast<const NMLINK*>(lParam)->item.szUrl;
            }
            bool handled = false;
            answer = page.OnNotify(notification, handled);
            if (!handled) return FALSE;
        }
        SetWindowLongPtrW(host.window, DWLP_MSGRESULT, answer);
        return TRUE;
    }
    }
    return FALSE;
}

LRESULT Win32WizardSheet::OnSheetNotify(PageHost& host, const NMHDR& header)
{
    switch (header.code) {
    case PSN_SETACTIVE:
        return host.page->OnSetActive() ? 0 : -1;
    case PSN_WIZNEXT:
    case PSN_WIZBACK: {
        const bool forward = header.code == PSN_WIZNEXT;
        const int target = sheet_.Navigate(host.index, forward);
        if (target < 0) return -1;
        if (target == host.index + (forward ? 1 : -1)) return 0;
        // A page shown from an in-memory template is named by that template.
        for (const auto& other : pages_) {
            if (other->index == target) return reinterpret_cast<LRESULT>(other->dialog);
        }
        return -1;
    }
    case PSN_WIZFINISH:
        sheet_.OnFinish();
        return 0;
    case PSN_QUERYCANCEL:
        // Every way of cancelling that reaches the sheet's own cancel path (PSM_PRESSBUTTON from outside, for
        // one) ends here: non-zero refuses it.
        return sheet_.OnQueryCancel() ? FALSE : TRUE;
    default:
        return 0;
    }
}
