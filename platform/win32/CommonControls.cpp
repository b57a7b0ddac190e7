// The functions of the common controls that Setup.exe uses, loaded at their first use.
#include "platform/win32/CommonControls.h"

#include "platform/win32/SystemLibrary.h"

namespace comctl {

namespace {

// Each function is looked up once; the look-up is thread-safe and its failure is logged once.
template <class Function>
Function Resolve(Function, const char* name)
{
    DWORD error = ERROR_SUCCESS;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemFunction(L"comctl32.dll", name, error)));
}

}  // namespace

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes)
{
    static const auto function = Resolve(&::InitCommonControlsEx, "InitCommonControlsEx");
    return function ? function(classes) : FALSE;
}

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header)
{
    static const auto function = Resolve(&::PropertySheetW, "PropertySheetW");
    return function ? function(header) : -1;
}

BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data)
{
    static const auto function = Resolve(&::SetWindowSubclass, "SetWindowSubclass");
    return function ? function(window, procedure, id, data) : FALSE;
}

BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id)
{
    static const auto function = Resolve(&::RemoveWindowSubclass, "RemoveWindowSubclass");
    return function ? function(window, procedure, id) : FALSE;
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static const auto function = Resolve(&::DefSubclassProc, "DefSubclassProc");
    return function ? function(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace comctl
