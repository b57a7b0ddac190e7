// A static control that shows a bitmap resource stretched over the whole control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "wizard/WizardControls.h"

class CBitmapPicture : public IPictureControl {
public:
    explicit CBitmapPicture(HMODULE module) : module_(module) {}
    ~CBitmapPicture() override;
    CBitmapPicture(const CBitmapPicture&) = delete;
    CBitmapPicture& operator=(const CBitmapPicture&) = delete;

    // Subclasses the dialog's static control and adds the owner-draw style.
    virtual void AttachToControl(HWND control);
    // Draws the window text over the picture (the owner reflects WM_DRAWITEM here).
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

    void SetBitmap(int32_t resourceId) override;
    // Loads the bitmap resource with that name.
    void SetBitmap(const std::wstring& resourceName);
    // WM_SYSCOLORCHANGE: loads the bitmap again, so that LR_LOADMAP3DCOLORS maps to the new colours.
    void OnSysColorChange();

    HWND Window() const { return window_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    bool Load(LPCWSTR resource);
    void EraseBackground(HDC dc);

    HMODULE module_;
    HWND window_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    BITMAP bitmapInfo_ = {};
    int32_t resourceId_ = -1;
    std::wstring resourceName_;
};
