// Prints the controls of a running wizard for the GUI tests: every child window of the top-level window with the
// given caption, with its id, class, visibility, enabled state, check state and text; the items of tree views
// (depth, state image, text) and the entries of combo boxes.
//
// Usage: wizardinspect.exe CAPTION
//        wizardinspect.exe --close CAPTION         posts the close command (WM_SYSCOMMAND SC_CLOSE), as the close box
//                                                  does
//        wizardinspect.exe --post-close CAPTION    posts WM_CLOSE, as taskkill without /F and other programs do
//        wizardinspect.exe --press-cancel CAPTION  sends PSM_PRESSBUTTON with PSBTN_CANCEL, the sheet's own cancel
// Output lines (texts with line breaks written as \n):
//   window|CAPTION
//   frame|ENABLED|SYSMENU|NOACTIVATE|FOREGROUND|LEFT,TOP,RIGHT,BOTTOM   (the window itself: enabled, with a system
//                                                                       menu and close box, WS_EX_NOACTIVATE, active)
//   control|ID|CLASS|VISIBLE|ENABLED|CHECK|LEFT,TOP,RIGHT,BOTTOM|TEXT   (rectangle in screen coordinates)
//   tree|ID|DEPTH|STATEIMAGE|TEXT
//   combo|ID|INDEX|SELECTED|TEXT
// Exit code 1 when no such window exists.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\r') continue;
        if (c == L'\n') escaped += L"\\n";
        else escaped += c;
    }
    if (escaped.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size) - 1);
    return out;
}

std::wstring WindowText(HWND window)
{
    wchar_t buffer[2048] = {};
    SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

// Memory inside the wizard's process, for the tree-view messages that carry pointers.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size) : size_(size)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_) memory_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool Valid() const { return memory_ != nullptr; }
    char* Address() const { return static_cast<char*>(memory_); }
    bool Write(size_t offset, const void* data, size_t size)
    {
        return WriteProcessMemory(process_, Address() + offset, data, size, nullptr) != 0;
    }
    bool Read(size_t offset, void* data, size_t size)
    {
        return ReadProcessMemory(process_, Address() + offset, data, size, nullptr) != 0;
    }

private:
    HANDLE process_ = nullptr;
    void* memory_ = nullptr;
    size_t size_;
};

std::wstring TreeItemText(HWND tree, HTREEITEM item, RemoteBuffer& remote)
{
    const size_t textOffset = sizeof(TVITEMW);
    TVITEMW request = {};
    request.mask = TVIF_TEXT | TVIF_HANDLE;
    request.hItem = item;
    request.pszText = reinterpret_cast<LPWSTR>(remote.Address() + textOffset);
    request.cchTextMax = 260;
    if (!remote.Write(0, &request, sizeof(request))) return L"?";
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()));
    wchar_t text[261] = {};
    remote.Read(textOffset, text, 260 * sizeof(wchar_t));
    return text;
}

void PrintTree(HWND tree, int id, HTREEITEM item, int depth, RemoteBuffer& remote)
{
    for (; item; item = reinterpret_cast<HTREEITEM>(
                     SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        const LRESULT state = SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
        std::printf("tree|%d|%d|%d|%s\n", id, depth, static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12),
                    Utf8(TreeItemText(tree, item, remote)).c_str());
        HTREEITEM child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        PrintTree(tree, id, child, depth + 1, remote);
    }
}

BOOL CALLBACK PrintControl(HWND window, LPARAM)
{
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    const int id = GetDlgCtrlID(window);
    const LRESULT check = lstrcmpiW(cls, L"Button") == 0 ? SendMessageW(window, BM_GETCHECK, 0, 0) : 0;
    RECT rect = {};
    GetWindowRect(window, &rect);
    std::printf("control|%d|%s|%d|%d|%d|%ld,%ld,%ld,%ld|%s\n", id, Utf8(cls).c_str(), IsWindowVisible(window) ? 1 : 0,
                IsWindowEnabled(window) ? 1 : 0, static_cast<int>(check), rect.left, rect.top, rect.right, rect.bottom,
                Utf8(WindowText(window)).c_str());
    if (lstrcmpiW(cls, WC_TREEVIEWW) == 0) {
        RemoteBuffer remote(window, sizeof(TVITEMW) + 261 * sizeof(wchar_t));
        if (remote.Valid()) {
            HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(window, TVM_GETNEXTITEM, TVGN_ROOT, 0));
            PrintTree(window, id, root, 0, remote);
        }
    } else if (lstrcmpiW(cls, L"ComboBox") == 0) {
        const int count = static_cast<int>(SendMessageW(window, CB_GETCOUNT, 0, 0));
        const int selected = static_cast<int>(SendMessageW(window, CB_GETCURSEL, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            if (SendMessageW(window, CB_GETLBTEXTLEN, i, 0) < 255) {
                SendMessageW(window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            }
            std::printf("combo|%d|%d|%d|%s\n", id, i, i == selected ? 1 : 0, Utf8(text).c_str());
        }
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring action = argc == 3 ? argv[1] : L"";
    if (argc < 2 || argc > 3 ||
        (argc == 3 && action != L"--close" && action != L"--post-close" && action != L"--press-cancel")) {
        std::fprintf(stderr, "usage: wizardinspect [--close|--post-close|--press-cancel] CAPTION\n");
        return 2;
    }
    HWND window = FindWindowW(nullptr, argv[argc - 1]);
    if (!window) return 1;
    if (action == L"--close") return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
    if (action == L"--post-close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (action == L"--press-cancel") return PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0) ? 0 : 1;
    std::printf("window|%s\n", Utf8(argv[1]).c_str());
    RECT frame = {};
    GetWindowRect(window, &frame);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    std::printf("frame|%d|%d|%d|%d|%ld,%ld,%ld,%ld\n", IsWindowEnabled(window) ? 1 : 0, (style & WS_SYSMENU) ? 1 : 0,
                (exStyle & WS_EX_NOACTIVATE) ? 1 : 0, GetForegroundWindow() == window ? 1 : 0, frame.left, frame.top,
                frame.right, frame.bottom);
    EnumChildWindows(window, &PrintControl, 0);
    std::fflush(stdout);
    return 0;
}
