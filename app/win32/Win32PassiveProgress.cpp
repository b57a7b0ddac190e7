// The progress window of a /passive run, on a thread of its own with its own message loop.
#include "app/win32/Win32PassiveProgress.h"

#include <windows.h>
#include <commctrl.h>
#undef LoadString

#include "log/Log.h"
#include "platform/win32/CommonControls.h"

#ifndef PBS_MARQUEE
#define PBS_MARQUEE 0x08
#endif
#ifndef PBM_SETMARQUEE
#define PBM_SETMARQUEE (WM_USER + 10)
#endif

namespace {

const wchar_t* const kClassName = L"KelvaroSetupPassiveProgress";
const UINT kCloseMessage = WM_APP + 1;  // posted by Close: the only way the window goes
const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 200;
const UINT kMarqueeMs = 30;
const int kTextId = 100;
const int kBarId = 101;

// The layout in dialog units: a margin, two lines of text, the bar below them.
const int kMargin = 7, kWidth = 260, kTextHeight = 16, kGap = 4, kBarHeight = 10;

// Converts dialog units to pixels for the window's font, as a dialog box would.
struct DialogUnits {
    int x = 6, y = 13;  // the average character width and the line height
    int Width(int units) const { return MulDiv(units, x, 4); }
    int Height(int units) const { return MulDiv(units, y, 8); }
};

DialogUnits MeasureFont(HFONT font)
{
    DialogUnits units;
    HDC dc = GetDC(nullptr);
    if (!dc) return units;
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    SIZE size = {};
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kLetters, 52, &size)) {
        units.x = (size.cx / 26 + 1) / 2;
        units.y = metrics.tmHeight;
    }
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return units;
}

}  // namespace

class Win32PassiveProgress::Window {
public:
    explicit Window(CInstallController& controller)
        : controller_(controller), caption_(controller.productDisplayName)
    {
    }

    ~Window()
    {
        if (thread_) CloseHandle(thread_);
        if (ready_) CloseHandle(ready_);
    }

    // Starts the thread and waits until its window exists. Returns 0, or the Windows error that stopped it.
    DWORD Start()
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ready_) return GetLastError();
        thread_ = CreateThread(nullptr, 0, &Window::ThreadMain, this, 0, &threadId_);
        if (!thread_) return GetLastError();
        WaitForSingleObject(ready_, INFINITE);
        if (error_ != 0) Join();
        return error_;
    }

    void Stop()
    {
        // Should the window be gone already, its thread's loop is ended directly.
        if (!PostMessageW(window_, kCloseMessage, 0, 0)) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        Join();
    }

private:
    void Join()
    {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

    static DWORD WINAPI ThreadMain(LPVOID parameter)
    {
        Window& self = *static_cast<Window*>(parameter);
        self.error_ = self.Create();
        SetEvent(self.ready_);  // from here on only Stop touches the object from the other thread
        if (self.error_ != 0) return 0;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (self.ownFont_) DeleteObject(self.font_);
        return 0;
    }

    DWORD Create()
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &Window::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return GetLastError();

        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            font_ = CreateFontIndirectW(&metrics.lfMessageFont);
        ownFont_ = font_ != nullptr;
        if (!font_) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        const DialogUnits units = MeasureFont(font_);

        // No WS_SYSMENU: no close box and no system menu. Disabled and never activated: it takes no input.
        const DWORD style = WS_POPUP | WS_CAPTION | WS_DISABLED;
        const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_NOACTIVATE;
        const int clientWidth = units.Width(kWidth);
        RECT frame = {0, 0, clientWidth, units.Height(2 * kMargin + kTextHeight + kGap + kBarHeight)};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        const int left = area.left + (area.right - area.left - width) / 2;
        const int top = area.top + (area.bottom - area.top - height) / 2;

        window_ = CreateWindowExW(exStyle, kClassName, caption_.c_str(), style, left, top, width, height, nullptr,
                                  nullptr, instance, this);
        if (!window_) {
            const DWORD error = GetLastError();
            if (ownFont_) DeleteObject(font_);
            return error != 0 ? error : ERROR_INVALID_WINDOW_HANDLE;
        }

        const int innerWidth = clientWidth - 2 * units.Width(kMargin);
        shown_ = controller_.CurrentJobDescription();
        text_ = CreateWindowExW(0, L"STATIC", shown_.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                units.Width(kMargin), units.Height(kMargin), innerWidth, units.Height(kTextHeight),
                                window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
        if (text_) SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

        // Without the common controls the window still shows the texts.
        INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
        comctl::InitCommonControlsEx(&classes);
        HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_MARQUEE, units.Width(kMargin),
                                   units.Height(kMargin + kTextHeight + kGap), innerWidth, units.Height(kBarHeight),
                                   window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBarId)), instance, nullptr);
        if (bar) SendMessageW(bar, PBM_SETMARQUEE, TRUE, kMarqueeMs);

        SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
        return 0;
    }

    // Shows the controller's current job description when it changed.
    void Refresh()
    {
        const std::wstring text = controller_.CurrentJobDescription();
        if (text == shown_ || !text_) return;
        shown_ = text;
        SetWindowTextW(text_, shown_.c_str());
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_TIMER:
            if (self && wParam == kRefreshTimer) self->Refresh();
            return 0;
        case WM_CLOSE:  // Alt+F4, another program's WM_CLOSE: the run decides when the window goes
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case kCloseMessage:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            KillTimer(window, kRefreshTimer);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    CInstallController& controller_;
    const std::wstring caption_;
    std::wstring shown_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
    HWND window_ = nullptr;
    HWND text_ = nullptr;
    HFONT font_ = nullptr;
    bool ownFont_ = false;
    DWORD error_ = 0;
};

Win32PassiveProgress::Win32PassiveProgress() = default;

Win32PassiveProgress::~Win32PassiveProgress() { Close(); }

void Win32PassiveProgress::Show(CInstallController& controller)
{
    if (window_) return;
    auto window = std::make_unique<Window>(controller);
    const DWORD error = window->Start();
    if (error != 0) {
        LogFormat(L"BootStrapper", L"Progress window failed: %x", error);
        return;
    }
    window_ = std::move(window);
}

void Win32PassiveProgress::Close()
{
    if (!window_) return;
    window_->Stop();
    window_.reset();
}
