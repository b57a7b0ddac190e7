// Dialog preview for the wizard resources: shows every page template of one language
// inside a wizard property sheet, filled with the longest texts the program puts in at
// run time, measures whether each text fits its control, and hands each scene to a
// screenshot script through a small file handshake.
//
// Usage: preview.exe LANG SYNCDIR
//   LANG     en | de | fr | nl
//   SYNCDIR  a folder shared with the script. For each scene the tool writes
//            SYNCDIR\ready ("name x y width height") and waits until the script has
//            deleted it. Fit findings go to SYNCDIR\fit-LANG.txt, one line per control.
//            The exit code is the number of controls whose text does not fit.

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resource.h"

namespace {

LANGID g_lang = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
std::wstring g_syncDir;
FILE* g_fit = nullptr;
int g_overflows = 0;
const BITMAPINFO* g_sideBitmap = nullptr;
HBRUSH g_white = nullptr;

// ---- resources of the chosen language -------------------------------------------

const void* LoadLangResource(LPCWSTR type, WORD id, DWORD* size)
{
    HRSRC res = FindResourceExW(nullptr, type, MAKEINTRESOURCEW(id), g_lang);
    // Resources shared by all languages (the side picture) are language-neutral.
    if (!res) res = FindResourceExW(nullptr, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (!res) return nullptr;
    HGLOBAL mem = LoadResource(nullptr, res);
    if (size) *size = SizeofResource(nullptr, res);
    return mem ? LockResource(mem) : nullptr;
}

// A string table block holds 16 counted strings; string n is in block n / 16 + 1.
std::wstring LoadLangString(UINT id)
{
    DWORD size = 0;
    auto p = static_cast<const WCHAR*>(LoadLangResource(RT_STRING, static_cast<WORD>(id / 16 + 1), &size));
    if (!p) return L"";
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    return std::wstring(p + 1, *p);
}

// Replaces each printf conversion (%s, %d, %x) by the next argument, in order.
// Counts a mismatch between conversions and arguments as a defect of the table.
std::wstring Format(UINT id, const std::vector<std::wstring>& args)
{
    std::wstring fmt = LoadLangString(id), out;
    size_t next = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == L'%' && i + 1 < fmt.size()) {
            WCHAR c = fmt[++i];
            if (c == L'%') { out += L'%'; continue; }
            if (next < args.size()) out += args[next];
            ++next;
            continue;
        }
        out += fmt[i];
    }
    if (next != args.size()) {
        fwprintf(g_fit, L"FORMAT string %u takes %u arguments, expected %u\n", id,
                 static_cast<unsigned>(next), static_cast<unsigned>(args.size()));
        ++g_overflows;
    }
    return out;
}

// Caption of a DLGTEMPLATEEX: after the fixed header come menu, class and title.
std::wstring TemplateCaption(const void* tmpl)
{
    auto p = reinterpret_cast<const WORD*>(static_cast<const BYTE*>(tmpl) + 26);
    for (int field = 0; field < 2; ++field) {  // menu, window class
        if (*p == 0xFFFF) p += 2;
        else if (*p == 0) p += 1;
        else { while (*p) ++p; ++p; }
    }
    return reinterpret_cast<const WCHAR*>(p);
}

// ---- text fit -----------------------------------------------------------------

std::wstring WindowText(HWND w)
{
    std::wstring s(GetWindowTextLengthW(w) + 1, L'\0');
    s.resize(GetWindowTextW(w, &s[0], static_cast<int>(s.size())));
    return s;
}

void Report(const wchar_t* scene, HWND ctl, bool ok, const wchar_t* what, int need, int have)
{
    std::wstring text = WindowText(ctl);
    for (auto& c : text) if (c == L'\r' || c == L'\n') c = L' ';
    fwprintf(g_fit, L"%ls %ls id=%d %ls need=%d have=%d \"%ls\"\n", ok ? L"ok      " : L"OVERFLOW",
             scene, GetDlgCtrlID(ctl), what, need, have, text.c_str());
    if (!ok) ++g_overflows;
}

// Measures the text of a static or button against the control's client area.
void CheckFit(const wchar_t* scene, HWND ctl)
{
    if (!IsWindowVisible(ctl)) return;
    WCHAR cls[32] = {};
    GetClassNameW(ctl, cls, 32);
    std::wstring text = WindowText(ctl);
    if (text.empty()) return;
    LONG style = GetWindowLongW(ctl, GWL_STYLE);
    RECT client;
    GetClientRect(ctl, &client);
    HDC dc = GetDC(ctl);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(ctl, WM_GETFONT, 0, 0)));
    if (!lstrcmpiW(cls, L"Static")) {
        if ((style & SS_TYPEMASK) == SS_OWNERDRAW) { SelectObject(dc, old); ReleaseDC(ctl, dc); return; }
        RECT r = {0, 0, client.right, 0};
        DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        bool ok = r.bottom <= client.bottom && r.right <= client.right;
        Report(scene, ctl, ok, r.right > client.right ? L"width" : L"height",
               r.right > client.right ? r.right : r.bottom,
               r.right > client.right ? client.right : client.bottom);
    } else if (!lstrcmpiW(cls, L"Button")) {
        SIZE sz;
        std::wstring shown;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] != L'&' || (i + 1 < text.size() && text[i + 1] == L'&' && ++i)) shown += text[i];
        GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &sz);
        LONG type = style & BS_TYPEMASK;
        bool box = type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON
                   || type == BS_RADIOBUTTON || type == BS_AUTO3STATE || type == BS_3STATE;
        // check/radio: the box and its gap; push button: room for the 3D frame and focus rectangle
        int need = sz.cx + (box ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 8);
        Report(scene, ctl, need <= client.right, L"width", need, client.right);
    }
    SelectObject(dc, old);
    ReleaseDC(ctl, dc);
}

// The link control shows its text without the markup: measure that text as a word-wrapped
// static would, and ask the control for its own ideal height at its width.
void CheckLinkFit(const wchar_t* scene, HWND link)
{
    std::wstring markup = WindowText(link), shown;
    for (size_t i = 0; i < markup.size(); ++i) {
        if (markup[i] == L'<' && (markup.compare(i, 3, L"<a ") == 0 || markup.compare(i, 3, L"<a>") == 0
                                  || markup.compare(i, 4, L"</a>") == 0)) {
            i = markup.find(L'>', i);
            if (i == std::wstring::npos) break;
            continue;
        }
        shown += markup[i];
    }
    RECT client;
    GetClientRect(link, &client);
    HDC dc = GetDC(link);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, client.right, 0};
    DrawTextW(dc, shown.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(link, dc);
    Report(scene, link, r.bottom <= client.bottom && r.right <= client.right, L"text-height", r.bottom, client.bottom);
    SIZE ideal = {};
    SendMessageW(link, LM_GETIDEALHEIGHT /* LM_GETIDEALSIZE */, client.right, reinterpret_cast<LPARAM>(&ideal));
    Report(scene, link, ideal.cy <= client.bottom, L"link-height", ideal.cy, client.bottom);
}

BOOL CALLBACK CheckChild(HWND child, LPARAM scene)
{
    CheckFit(reinterpret_cast<const wchar_t*>(scene), child);
    return TRUE;
}

// ---- scenes ---------------------------------------------------------------------

enum class Fill { Welcome, Update, Repair, Downgrade, Features, Ghostscript, Prerequisites,
                  Confirm, RunningApps, Progress, FinishSuccess, FinishFailure, FinishLinkFax,
                  FinishLinkDotNet };

struct Scene {
    const wchar_t* name;
    WORD dialog;
    Fill fill;
    UINT text;     // string for the main text (confirmation: mode text)
    UINT caption;  // Next caption (confirmation) or Finish caption (finish pages)
};

const Scene kScenes[] = {
    {L"welcome", IDD_WELCOME, Fill::Welcome, 0, 0},
    {L"update", IDD_UPDATE, Fill::Update, 0, 0},
    {L"repair", IDD_REPAIR, Fill::Repair, 0, 0},
    {L"downgrade", IDD_DOWNGRADE, Fill::Downgrade, 0, 0},
    {L"features", IDD_FEATURES, Fill::Features, 0, 0},
    {L"ghostscript", IDD_GHOSTSCRIPT, Fill::Ghostscript, 0, 0},
    {L"prerequisites", IDD_PREREQUISITES, Fill::Prerequisites, 0, 0},
    {L"confirm-install", IDD_CONFIRM, Fill::Confirm, IDS_CONFIRM_INSTALL, IDS_INSTALL},
    {L"confirm-update", IDD_CONFIRM, Fill::Confirm, IDS_CONFIRM_UPDATE, IDS_UPDATE},
    {L"confirm-repair", IDD_CONFIRM, Fill::Confirm, IDS_CONFIRM_REPAIR, IDS_REPAIR},
    {L"confirm-modify", IDD_CONFIRM, Fill::Confirm, IDS_CONFIRM_MODIFY, IDS_MODIFY},
    {L"confirm-remove", IDD_CONFIRM, Fill::Confirm, IDS_CONFIRM_REMOVE, IDS_REMOVE},
    {L"runningapps", IDD_RUNNINGAPPS, Fill::RunningApps, 0, IDS_UPDATE},
    {L"progress", IDD_PROGRESS, Fill::Progress, 0, 0},
    {L"finish-reboot", IDD_FINISH, Fill::FinishSuccess, IDS_DONE_UPDATE, IDS_REBOOT},
    {L"finish-failure", IDD_FINISH, Fill::FinishFailure, 0, IDS_FINISH},
    {L"finish-link-fax", IDD_FINISH, Fill::FinishLinkFax, 0, IDS_FINISH},
    {L"finish-link-dotnet", IDD_FINISH, Fill::FinishLinkDotNet, 0, IDS_FINISH},
};

const wchar_t kGhostscript64[] = L"Ghostscript 9.50 for Windows (64 bit) AGPL Release";
const wchar_t kEDocPrintPro64[] = L"eDocPrintPro v4.1.1 free";
const wchar_t kDotNet[] = L".NET Framework 4.7.2";
const wchar_t kBase[] = L"https://download.kelvaro.com/kelvaro/clients/";

std::wstring DownloadDetail()
{
    return Format(IDS_DOWNLOAD_FAILED, {kGhostscript64, std::wstring(kBase) + L"\r\nWindows/redist/gs950w64.exe"});
}

std::wstring SystemText(DWORD code)
{
    WCHAR buf[1000] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   0x400, buf, 999, nullptr);
    return buf;
}

void FillFeatureTree(HWND tree)
{
    // The feature titles come from the package; these stand in for them, with the
    // fax feature under the title the packages use in each language.
    const wchar_t* fax = L"Fax Printer";
    switch (PRIMARYLANGID(g_lang)) {
    case LANG_GERMAN: fax = L"Faxdrucker"; break;
    case LANG_FRENCH: fax = L"Imprimante fax"; break;
    case LANG_DUTCH: fax = L"Faxprinter"; break;
    }
    // as the program does: re-apply the check-box style so that the state images exist
    LONG style = GetWindowLongW(tree, GWL_STYLE);
    SetWindowLongW(tree, GWL_STYLE, style & ~TVS_CHECKBOXES);
    SetWindowLongW(tree, GWL_STYLE, style | TVS_CHECKBOXES);
    TVINSERTSTRUCTW ins = {};
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.hParent = TVI_ROOT;
    ins.item.pszText = const_cast<LPWSTR>(L"KELVARO VOV Client");
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    const wchar_t* children[] = {L"Microsoft Outlook Add-in", fax, L"Snom D7 / Snom D735 USB", L"Lync / Skype for Business"};
    ins.hParent = root;
    int n = 0;
    for (const wchar_t* c : children) {
        ins.item.pszText = const_cast<LPWSTR>(c);
        HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
        TreeView_SetCheckState(tree, item, n++ != 2);
    }
    TreeView_SetItemState(tree, root, 0, TVIS_STATEIMAGEMASK);
    TreeView_Expand(tree, root, TVE_EXPAND);
}

void FillPage(HWND page, HWND sheet, const Scene& s)
{
    const std::wstring installer = Format(IDS_INSTALLER_VERSION, {L"6.7.3.319"});
    const std::wstring installed = Format(IDS_INSTALLED_VERSION, {L"6.7.2.1024"});
    DWORD buttons = PSWIZB_BACK | PSWIZB_NEXT;
    switch (s.fill) {
    case Fill::Welcome: {
        HWND combo = GetDlgItem(page, IDC_LANGUAGE_COMBO);
        for (const wchar_t* l : {L"Deutsch", L"English", L"Fran\u00e7ais", L"Nederlands"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l));
        std::wstring code = LoadLangString(IDS_LANGUAGE_CODE);
        int index = code == L"de-DE" ? 0 : code == L"fr-FR" ? 2 : code == L"nl-NL" ? 3 : 1;
        SendMessageW(combo, CB_SETCURSEL, index, 0);
        SetDlgItemTextW(page, IDC_INSTALLER_VERSION, installer.c_str());
        buttons = PSWIZB_NEXT;
        break;
    }
    case Fill::Update:
        SetDlgItemTextW(page, IDC_INSTALLED_VERSION, installed.c_str());
        SetDlgItemTextW(page, IDC_INSTALLER_VERSION, installer.c_str());
        CheckDlgButton(page, IDC_UPDATE_RADIO, BST_CHECKED);
        break;
    case Fill::Repair:
        CheckDlgButton(page, IDC_REPAIR_RADIO, BST_CHECKED);
        break;
    case Fill::Downgrade:
        SetDlgItemTextW(page, IDC_INSTALLED_VERSION, installed.c_str());
        SetDlgItemTextW(page, IDC_INSTALLER_VERSION, installer.c_str());
        CheckDlgButton(page, IDC_REMOVE_EXISTING_CHECK, BST_CHECKED);
        break;
    case Fill::Features:
        FillFeatureTree(GetDlgItem(page, IDC_FEATURE_TREE));
        SetDlgItemTextW(page, IDC_FEATURE_DESCRIPTION, LoadLangString(IDS_SELECT_ITEM).c_str());
        CheckDlgButton(page, IDC_RUN_AFTER_INSTALL_CHECK, BST_CHECKED);
        break;
    case Fill::Ghostscript:
        for (const wchar_t* v : {L"GPL Ghostscript 9.27 (64 bit)", L"GPL Ghostscript 9.26 (32 bit)", L"GPL Ghostscript 9.05"})
            SendDlgItemMessageW(page, IDC_GHOSTSCRIPT_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(v));
        SetDlgItemTextW(page, IDC_GHOSTSCRIPT_TEXT, LoadLangString(IDS_LEGACY_GHOSTSCRIPT_HINT).c_str());
        break;
    case Fill::Prerequisites:
        for (const wchar_t* v : {kDotNet, kGhostscript64, kEDocPrintPro64})
            SendDlgItemMessageW(page, IDC_PREREQUISITES_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(v));
        SetDlgItemTextW(page, IDC_PREREQUISITES_HINT, LoadLangString(IDS_PREREQUISITES_HINT).c_str());
        break;
    case Fill::Confirm:
        SetDlgItemTextW(page, IDC_CONFIRM_TEXT, LoadLangString(s.text).c_str());
        SetDlgItemTextW(sheet, 0x3024 /* ID_WIZNEXT */, LoadLangString(s.caption).c_str());
        break;
    case Fill::RunningApps:
        SetDlgItemTextW(sheet, 0x3024, LoadLangString(s.caption).c_str());
        buttons = PSWIZB_BACK;
        break;
    case Fill::Progress: {
        // the longest job description any action can show
        std::wstring longest;
        for (UINT id : {IDS_JOB_DOWNLOADING, IDS_JOB_INSTALLING, IDS_JOB_REMOVING, IDS_JOB_MODIFYING, IDS_JOB_REPAIRING}) {
            for (std::wstring name : {std::wstring(kGhostscript64), LoadLangString(IDS_PRODUCT_NAME)}) {
                std::wstring t = Format(id, {name});
                if (t.size() > longest.size()) longest = t;
            }
        }
        for (UINT id : {IDS_JOB_STARTING_SERVICE, IDS_JOB_STOPPING_SERVICE}) {
            std::wstring t = Format(id, {LoadLangString(IDS_PRINT_SPOOLER)});
            if (t.size() > longest.size()) longest = t;
        }
        SetDlgItemTextW(page, IDC_JOB_DESCRIPTION, longest.c_str());
        HWND bar = GetDlgItem(page, IDC_PROGRESS_BAR);
        SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageW(bar, PBM_SETMARQUEE, TRUE, 50);
        EnableWindow(GetDlgItem(sheet, IDCANCEL), FALSE);
        buttons = 0;
        break;
    }
    case Fill::FinishSuccess:
    case Fill::FinishFailure: {
        std::wstring text;
        if (s.fill == Fill::FinishSuccess) {
            text = LoadLangString(s.text) + L"\r\n" + LoadLangString(IDS_REBOOT_REQUIRED);
        } else {
            // an HRESULT shows as a negative number and eight hex digits: the widest case
            text = Format(IDS_SETUP_FAILED_DETAIL, {DownloadDetail(), L"-2146697208", L"800c0008"});
            std::wstring sys = SystemText(1603);
            if (!sys.empty()) text += L"\r\n" + sys;
        }
        ShowWindow(GetDlgItem(page, IDC_FINISH_LINK), SW_HIDE);
        SetDlgItemTextW(page, IDC_FINISH_TEXT, text.c_str());
        buttons = PSWIZB_FINISH;
        break;
    }
    case Fill::FinishLinkFax:
    case Fill::FinishLinkDotNet: {
        std::wstring redist = std::wstring(kBase) + L"Windows/redist/";
        std::wstring text = s.fill == Fill::FinishLinkFax
            ? Format(IDS_DOWNLOAD_FAILED_FAX, {redist + L"gs950w64.exe", redist + L"eDocPrintPro_x64_v4.1.1.0.exe", DownloadDetail()})
            : Format(IDS_DOWNLOAD_FAILED_DOTNET, {redist + L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", kDotNet,
                                                  Format(IDS_DOWNLOAD_FAILED, {kDotNet, std::wstring(kBase) + L"\r\nWindows/redist/NDP472-KB4054530-x86-x64-AllOS-ENU.exe"})});
        ShowWindow(GetDlgItem(page, IDC_FINISH_TEXT), SW_HIDE);
        SetDlgItemTextW(page, IDC_FINISH_LINK, text.c_str());
        buttons = PSWIZB_FINISH;
        break;
    }
    }
    SendMessageW(sheet, PSM_SETWIZBUTTONS, 0, buttons);
    if (buttons & PSWIZB_FINISH)
        SendMessageW(sheet, PSM_SETFINISHTEXTW, 0, reinterpret_cast<LPARAM>(LoadLangString(s.caption).c_str()));
}

// ---- page procedure: white background, side picture, check-list lines -----------

void DrawSidePicture(const DRAWITEMSTRUCT* di)
{
    if (!g_sideBitmap) return;
    const BITMAPINFOHEADER& h = g_sideBitmap->bmiHeader;
    // The pixels follow the header and, up to 8 bits per pixel, the colour table.
    const DWORD colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) : 0;
    const BYTE* bits = reinterpret_cast<const BYTE*>(g_sideBitmap) + h.biSize + colours * sizeof(RGBQUAD);
    int w = h.biWidth, ht = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    RECT r = di->rcItem;
    SetStretchBltMode(di->hDC, COLORONCOLOR);
    // the program stretches all but the last column and row over the control
    StretchDIBits(di->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 1, w - 1, ht - 1, bits,
                  g_sideBitmap, DIB_RGB_COLORS, SRCCOPY);
}

void DrawCheckListLine(const DRAWITEMSTRUCT* di)
{
    if (di->itemID == static_cast<UINT>(-1)) return;
    FillRect(di->hDC, &di->rcItem, GetSysColorBrush(COLOR_WINDOW));
    int h = di->rcItem.bottom - di->rcItem.top;
    RECT box = {di->rcItem.left + 2, di->rcItem.top + 1, di->rcItem.left + h, di->rcItem.bottom - 1};
    DrawFrameControl(di->hDC, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_FLAT);
    WCHAR text[256] = {};
    SendMessageW(di->hwndItem, LB_GETTEXT, di->itemID, reinterpret_cast<LPARAM>(text));
    RECT tr = di->rcItem;
    tr.left += h + 3;
    SetBkMode(di->hDC, TRANSPARENT);
    SetTextColor(di->hDC, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(di->hDC, text, -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG: {
        HWND side = GetDlgItem(page, IDC_SIDE_PICTURE);
        SetWindowLongW(side, GWL_STYLE, (GetWindowLongW(side, GWL_STYLE) & ~SS_TYPEMASK) | SS_OWNERDRAW);
        return TRUE;
    }
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 16;
        return TRUE;
    case WM_DRAWITEM: {
        auto di = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (di->CtlID == IDC_SIDE_PICTURE) DrawSidePicture(di);
        else if (di->CtlID == IDC_GHOSTSCRIPT_LIST) DrawCheckListLine(di);
        return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(g_white);
    }
    return FALSE;
}

// ---- handshake with the screenshot script ----------------------------------------

void Pump(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    MSG m;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) { TranslateMessage(&m); DispatchMessageW(&m); }
        Sleep(20);
    }
}

bool AwaitScreenshot(const wchar_t* name, HWND sheet)
{
    std::wstring ready = g_syncDir + L"\\ready", tmp = ready + L".tmp";
    RECT r;
    GetWindowRect(sheet, &r);
    FILE* f = _wfopen(tmp.c_str(), L"w");
    if (!f) return false;
    fprintf(f, "%ls %ld %ld %ld %ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
    fclose(f);
    MoveFileExW(tmp.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING);
    for (int i = 0; i < 1500; ++i) {  // the script deletes the file once it has the picture
        if (GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        Pump(20);
    }
    return false;
}

bool ShowScene(const Scene& s)
{
    DWORD size = 0;
    const void* tmpl = LoadLangResource(RT_DIALOG, s.dialog, &size);
    if (!tmpl) {
        fwprintf(g_fit, L"MISSING dialog %u for scene %ls\n", s.dialog, s.name);
        ++g_overflows;
        return true;
    }
    PROPSHEETPAGEW psp = {};
    psp.dwSize = sizeof psp;
    psp.dwFlags = PSP_DLGINDIRECT | PSP_HASHELP;
    psp.pResource = static_cast<LPCDLGTEMPLATEW>(tmpl);
    psp.pfnDlgProc = PageProc;
    psp.lParam = reinterpret_cast<LPARAM>(&s);
    HPROPSHEETPAGE page = CreatePropertySheetPageW(&psp);
    PROPSHEETHEADERW psh = {};
    psh.dwSize = sizeof psh;
    psh.dwFlags = PSH_WIZARD | PSH_MODELESS | PSH_HASHELP;
    psh.nPages = 1;
    psh.phpage = &page;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetW(&psh));
    if (!sheet) return false;
    SetWindowTextW(sheet, TemplateCaption(tmpl).c_str());
    SetWindowPos(sheet, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    SetDlgItemTextW(sheet, 0x3023 /* ID_WIZBACK */, LoadLangString(IDS_BACK).c_str());
    if (s.fill != Fill::Confirm && s.fill != Fill::RunningApps)
        SetDlgItemTextW(sheet, 0x3024 /* ID_WIZNEXT */, LoadLangString(IDS_NEXT).c_str());
    SetDlgItemTextW(sheet, IDHELP, LoadLangString(IDS_HELP).c_str());
    SetDlgItemTextW(sheet, IDCANCEL, LoadLangString(IDS_CANCEL).c_str());
    HWND pageWnd = PropSheet_GetCurrentPageHwnd(sheet);
    if (pageWnd) FillPage(pageWnd, sheet, s);
    Pump(600);
    if (pageWnd) EnumChildWindows(pageWnd, CheckChild, reinterpret_cast<LPARAM>(s.name));
    for (int id : {0x3023, 0x3024, 0x3025, IDHELP, IDCANCEL}) {
        HWND b = GetDlgItem(sheet, id);
        if (b) CheckFit(s.name, b);
    }
    if (pageWnd && (s.fill == Fill::FinishLinkFax || s.fill == Fill::FinishLinkDotNet))
        CheckLinkFit(s.name, GetDlgItem(pageWnd, IDC_FINISH_LINK));
    bool ok = AwaitScreenshot(s.name, sheet);
    DestroyWindow(sheet);
    Pump(100);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: preview LANG SYNCDIR   (LANG: en, de, fr, nl)\n");
        return 200;
    }
    std::wstring lang = argv[1];
    if (lang == L"de") g_lang = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    else if (lang == L"fr") g_lang = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
    else if (lang == L"nl") g_lang = MAKELANGID(LANG_DUTCH, SUBLANG_DUTCH);
    else if (lang != L"en") { fwprintf(stderr, L"unknown language %ls\n", argv[1]); return 200; }
    g_syncDir = argv[2];
    g_fit = _wfopen((g_syncDir + L"\\fit-" + lang + L".txt").c_str(), L"w, ccs=UTF-8");
    if (!g_fit) return 201;

    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_LINK_CLASS | ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    g_white = CreateSolidBrush(RGB(255, 255, 255));
    g_sideBitmap = static_cast<const BITMAPINFO*>(LoadLangResource(RT_BITMAP, IDB_SIDE_PICTURE, nullptr));
    if (!g_sideBitmap) { fwprintf(g_fit, L"MISSING bitmap %d\n", IDB_SIDE_PICTURE); ++g_overflows; }

    for (const Scene& s : kScenes) {
        if (!ShowScene(s)) { fwprintf(g_fit, L"ABORT at scene %ls\n", s.name); ++g_overflows; break; }
    }
    fclose(g_fit);
    return g_overflows;
}
