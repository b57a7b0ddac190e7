// Shows a CMyPropertySheet as a modal common-controls wizard: one PROPSHEETPAGEW per page with the dialog template
// of the sheet's language, dialog procedures that hand messages to the page objects, and the sheet window's
// colours, dragging, Help, Cancel and close.
#pragma once

#include <windows.h>
#undef LoadString

#include <memory>
#include <vector>

#include "wizard/MyPropertySheet.h"
#include "wizard/WizardControls.h"
#include "system/win32/LanguageResources.h"
#include "wizard/win32/Win32PageControls.h"
#include "wizard/win32/Win32WizardSystem.h"

class Win32WizardSheet : public ISheetWindow {
public:
    Win32WizardSheet(CMyPropertySheet& sheet, const CLanguageResources& resources);
    ~Win32WizardSheet() override;
    Win32WizardSheet(const Win32WizardSheet&) = delete;
    Win32WizardSheet& operator=(const Win32WizardSheet&) = delete;

    // Shows the wizard until it ends; returns the sheet's result, or kWizardNotShown with the sheet's showError set
    // when no page of it was ever created (IDCANCEL when a page has no dialog template). Returns only after the
    // worker thread, if one was started, has ended: the controller it uses outlives it.
    int ShowModal();

    // ISheetWindow
    uintptr_t Handle() override { return reinterpret_cast<uintptr_t>(window_); }
    void PostWizardButtons(uint32_t buttons) override;
    void SetFinishText(const std::wstring& text) override;
    bool SetControlText(int controlId, const std::wstring& text) override;
    void EnableControl(int controlId, bool enable) override;
    int CurrentPageIndex() override;
    void SelectPage(int index) override;
    void Close() override;
    std::wstring LoadString(uint32_t id) override { return resources_.LoadString(id); }
    void SetPreferredUILanguages(const std::wstring& buffer) override;
    void OpenUrl(const std::wstring& verb, const std::wstring& url) override;
    uint32_t StartThread(uint32_t (*entry)(void*), void* argument) override;
    IWizardSystem& System() override { return system_; }

private:
    struct PageHost {
        Win32WizardSheet* owner;
        CMyPropertyPage* page;
        int index;
        const DLGTEMPLATE* dialog;
        Win32PageControls controls;
        HWND window;
    };

    static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
    INT_PTR OnPageMessage(PageHost& host, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnSheetNotify(PageHost& host, const NMHDR& header);
    void AttachSheetWindow(HWND window);
    // White for dialogs, statics and buttons; the platform's answer for every other control.
    bool Colour(UINT message, HDC dc, LRESULT& result);
    void StartDrag();

    CMyPropertySheet& sheet_;
    const CLanguageResources& resources_;
    HBRUSH backgroundBrush_;
    HWND window_ = nullptr;
    // Whether the sheet's window was ever created in this ShowModal.
    bool created_ = false;
    bool closing_ = false;
    // The worker thread started by the progress page; ShowModal waits for it before it returns.
    std::vector<HANDLE> workers_;
    std::vector<std::unique_ptr<PageHost>> pages_;
    Win32WizardSystem system_;
};
