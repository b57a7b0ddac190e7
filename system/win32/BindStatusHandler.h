// The status callback of a URL download: keeps the parent window for dialogs, accepts every security
// problem as "not handled" and reports no progress.
#pragma once

#include <windows.h>
#include <urlmon.h>

// The object's own interface: where dialogs of the download get their parent window.
extern const IID IID_IBindStatusHandler;  // {C3CDC9FB-79B8-487D-B351-517E8D1803F7}
extern const CLSID CLSID_BindStatusHandler;

struct IBindStatusHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetParentWindow(HWND window) = 0;
};

// A reference-counted COM object created directly with new (not through COM activation), starting with a
// count of 0. Interfaces: IBindStatusHandler, IBindStatusCallback, IHttpSecurity (and IWindowForBindingUI,
// the same pointer); IUnknown is the IBindStatusHandler pointer.
class CBindStatusHandler final : public IBindStatusHandler, public IBindStatusCallback, public IHttpSecurity {
public:
    CBindStatusHandler() = default;
    CBindStatusHandler(const CBindStatusHandler&) = delete;
    CBindStatusHandler& operator=(const CBindStatusHandler&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IBindStatusHandler
    HRESULT STDMETHODCALLTYPE SetParentWindow(HWND window) override;

    // IBindStatusCallback: every method returns S_OK and does nothing.
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override;

    // IWindowForBindingUI: the stored parent window.
    HRESULT STDMETHODCALLTYPE GetWindow(REFGUID reason, HWND* window) override;
    // IHttpSecurity: S_FALSE for every problem.
    HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD problem) override;

private:
    ~CBindStatusHandler() = default;  // only Release destroys it

    LONG references_ = 0;
    HWND parentWindow_ = nullptr;
};
