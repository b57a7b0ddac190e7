// The status callback of a URL download: keeps the parent window for dialogs, accepts every security
// problem as "not handled" and reports no progress.
#include "system/win32/BindStatusHandler.h"

const IID IID_IBindStatusHandler = {0xC3CDC9FB, 0x79B8, 0x487D, {0xB3, 0x51, 0x51, 0x7E, 0x8D, 0x18, 0x03, 0xF7}};
const CLSID CLSID_BindStatusHandler = {0x5E0C8A41, 0x2D37, 0x4B6F, {0x9A, 0x1C, 0x7F, 0x3B, 0x52, 0xE8, 0x04, 0xD6}};

HRESULT STDMETHODCALLTYPE CBindStatusHandler::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusHandler)) {
        *object = static_cast<IBindStatusHandler*>(this);
    } else if (IsEqualIID(iid, IID_IBindStatusCallback)) {
        *object = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(iid, IID_IHttpSecurity) || IsEqualIID(iid, IID_IWindowForBindingUI)) {
        *object = static_cast<IHttpSecurity*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CBindStatusHandler::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG STDMETHODCALLTYPE CBindStatusHandler::Release()
{
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::SetParentWindow(HWND window)
{
    parentWindow_ = window;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnStartBinding(DWORD, IBinding*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::GetPriority(LONG*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnLowResource(DWORD) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnProgress(ULONG, ULONG, ULONG, LPCWSTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnStopBinding(HRESULT, LPCWSTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::GetBindInfo(DWORD*, BINDINFO*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBindStatusHandler::GetWindow(REFGUID, HWND* window)
{
    if (window) *window = parentWindow_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnSecurityProblem(DWORD) { return S_FALSE; }
