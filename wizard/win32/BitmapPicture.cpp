// A static control that shows a bitmap resource stretched over the whole control.
#include "wizard/win32/BitmapPicture.h"

#include <commctrl.h>

#include "platform/win32/CommonControls.h"

CBitmapPicture::~CBitmapPicture()
{
    if (window_) comctl::RemoveWindowSubclass(window_, &CBitmapPicture::SubclassProc, 1);
    if (bitmap_) DeleteObject(bitmap_);
}

void CBitmapPicture::AttachToControl(HWND control)
{
    window_ = control;
    if (!control) return;
    comctl::SetWindowSubclass(control, &CBitmapPicture::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | SS_OWNERDRAW);
}

bool CBitmapPicture::Load(LPCWSTR resource)
{
    auto loaded = static_cast<HBITMAP>(LoadImageW(module_, resource, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    if (!loaded) return false;
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = loaded;
    GetObjectW(bitmap_, sizeof(bitmapInfo_), &bitmapInfo_);
    if (window_) InvalidateRect(window_, nullptr, TRUE);
    return true;
}

void CBitmapPicture::SetBitmap(int32_t resourceId)
{
    resourceId_ = resourceId;
    resourceName_.clear();
    Load(MAKEINTRESOURCEW(resourceId));
}

void CBitmapPicture::SetBitmap(const std::wstring& resourceName)
{
    resourceId_ = -1;
    resourceName_ = resourceName;
    Load(resourceName_.c_str());
}

void CBitmapPicture::OnSysColorChange()
{
    if (resourceId_ > 0) {
        SetBitmap(resourceId_);
    } else if (!resourceName_.empty()) {
        resourceId_ = -1;
        Load(resourceName_.c_str());
    }
}

void CBitmapPicture::EraseBackground(HDC dc)
{
    RECT client;
    GetClientRect(window_, &client);
    if (bitmap_) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, bitmap_);
        // Averaging keeps thin lines and small text intact; the default mode drops whole rows when shrinking.
        const int previousMode = SetStretchBltMode(dc, HALFTONE);
        POINT previousOrigin;
        SetBrushOrgEx(dc, 0, 0, &previousOrigin);
        // One column and one row less than the bitmap: its last column and row are never shown.
        StretchBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, memory, 0, 0,
                   bitmapInfo_.bmWidth - 1, bitmapInfo_.bmHeight - 1, SRCCOPY);
        SetBrushOrgEx(dc, previousOrigin.x, previousOrigin.y, nullptr);
        SetStretchBltMode(dc, previousMode);
        SelectObject(memory, previous);
        DeleteDC(memory);
    } else {
        HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        HGDIOBJ previous = SelectObject(dc, face);
        PatBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top, PATCOPY);
        SelectObject(dc, previous);
        DeleteObject(face);
    }
}

void CBitmapPicture::DrawItem(const DRAWITEMSTRUCT& item)
{
    const int length = GetWindowTextLengthW(window_);
    if (length <= 0) return;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window_, &text[0], length + 1)));
    if (text.empty()) return;
    const int previousMode = SetBkMode(item.hDC, TRANSPARENT);
    UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | DT_CENTER;
    if (GetWindowLongPtrW(window_, GWL_STYLE) & SS_CENTERIMAGE) format |= DT_VCENTER;
    RECT rect = item.rcItem;
    DrawTextW(item.hDC, text.c_str(), -1, &rect, format);
    SetBkMode(item.hDC, previousMode);
}

LRESULT CALLBACK CBitmapPicture::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self)
{
    auto picture = reinterpret_cast<CBitmapPicture*>(self);
    switch (message) {
    case WM_ERASEBKGND:
        picture->EraseBackground(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_DRAWITEM:
        picture->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_SYSCOLORCHANGE: {
        const LRESULT result = comctl::DefSubclassProc(window, message, wParam, lParam);
        picture->OnSysColorChange();
        return result;
    }
    case WM_NCDESTROY:
        comctl::RemoveWindowSubclass(window, &CBitmapPicture::SubclassProc, 1);
        picture->window_ = nullptr;
        break;
    }
    return comctl::DefSubclassProc(window, message, wParam, lParam);
}
