// The status callback of a URL download: keeps the parent window for dialogs, accepts every security
// problem as "not handled", remembers the announced length, and ends a transfer that stalls or is
// redirected in a loop.
#include "system/win32/BindStatusHandler.h"

#include "system/Downloader.h"

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

CBindStatusHandler::CBindStatusHandler() { InitializeCriticalSection(&lock_); }

CBindStatusHandler::~CBindStatusHandler()
{
    if (binding_) binding_->Release();
    DeleteCriticalSection(&lock_);
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnStartBinding(DWORD, IBinding* binding)
{
    EnterCriticalSection(&lock_);
    if (binding_) binding_->Release();
    binding_ = binding;
    if (binding_) binding_->AddRef();
    lastNews_ = GetTickCount64();
    LeaveCriticalSection(&lock_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::GetPriority(LONG*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnLowResource(DWORD) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnProgress(ULONG, ULONG progressMax, ULONG status, LPCWSTR)
{
    EnterCriticalSection(&lock_);
    lastNews_ = GetTickCount64();
    if (status == BINDSTATUS_BEGINDOWNLOADDATA || status == BINDSTATUS_DOWNLOADINGDATA ||
        status == BINDSTATUS_ENDDOWNLOADDATA) {
        announced_ = progressMax;
    }
    // Every redirection sends one more request; some URL monikers report only the requests.
    if (status == BINDSTATUS_REDIRECTING) ++redirections_;
    if (status == BINDSTATUS_SENDINGREQUEST) ++requests_;
    const ULONG resent = requests_ > 0 ? requests_ - 1 : 0;
    const ULONG redirected = redirections_ > resent ? redirections_ : resent;
    IBinding* toAbort = nullptr;
    if (redirected > kDownloadMaxRedirects) {
        redirectLoop_ = true;
        toAbort = TakeBindingToAbort();
    }
    LeaveCriticalSection(&lock_);
    if (!toAbort) return S_OK;
    toAbort->Abort();
    toAbort->Release();
    return E_ABORT;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnStopBinding(HRESULT, LPCWSTR)
{
    EnterCriticalSection(&lock_);
    if (binding_) binding_->Release();
    binding_ = nullptr;
    LeaveCriticalSection(&lock_);
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CBindStatusHandler::GetBindInfo(DWORD*, BINDINFO*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return S_OK; }
HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBindStatusHandler::GetWindow(REFGUID, HWND* window)
{
    if (window) *window = parentWindow_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnSecurityProblem(DWORD) { return S_FALSE; }

IBinding* CBindStatusHandler::TakeBindingToAbort()
{
    if (aborted_ || !binding_) return nullptr;
    aborted_ = true;
    binding_->AddRef();
    return binding_;
}

void CBindStatusHandler::AbortIfStalled(ULONGLONG stallMs)
{
    EnterCriticalSection(&lock_);
    IBinding* toAbort = nullptr;
    if (binding_ && !aborted_ && GetTickCount64() - lastNews_ >= stallMs) {
        stalled_ = true;
        toAbort = TakeBindingToAbort();
    }
    LeaveCriticalSection(&lock_);
    // Outside the lock: ending the binding may call back into this object on the download's thread.
    if (toAbort) {
        toAbort->Abort();
        toAbort->Release();
    }
}

bool CBindStatusHandler::Stalled()
{
    EnterCriticalSection(&lock_);
    const bool stalled = stalled_;
    LeaveCriticalSection(&lock_);
    return stalled;
}

bool CBindStatusHandler::RedirectLoop()
{
    EnterCriticalSection(&lock_);
    const bool loop = redirectLoop_;
    LeaveCriticalSection(&lock_);
    return loop;
}

ULONGLONG CBindStatusHandler::AnnouncedBytes()
{
    EnterCriticalSection(&lock_);
    const ULONGLONG announced = announced_;
    LeaveCriticalSection(&lock_);
    return announced;
}
