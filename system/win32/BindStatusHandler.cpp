// The status callback of a URL download: keeps the parent window for dialogs, reads the HTTP status, aborts on
// every security problem without asking anyone, remembers the announced length, and ends a transfer that stalls
// or is redirected in a loop.
#include "system/win32/BindStatusHandler.h"

#include <shlwapi.h>

#include "system/Downloader.h"

const IID IID_IBindStatusHandler = {0xC3CDC9FB, 0x79B8, 0x487D, {0xB3, 0x51, 0x51, 0x7E, 0x8D, 0x18, 0x03, 0xF7}};
const CLSID CLSID_BindStatusHandler = {0x5E0C8A41, 0x2D37, 0x4B6F, {0x9A, 0x1C, 0x7F, 0x3B, 0x52, 0xE8, 0x04, 0xD6}};

namespace {

bool StartsWith(LPCWSTR text, const wchar_t* prefix)
{
    return text && StrCmpNIW(text, prefix, lstrlenW(prefix)) == 0;
}

}  // namespace

CBindStatusHandler::CBindStatusHandler(const wchar_t* url) : secureUrl_(StartsWith(url, L"https:"))
{
    InitializeCriticalSection(&lock_);
}

CBindStatusHandler::~CBindStatusHandler()
{
    if (binding_) binding_->Release();
    DeleteCriticalSection(&lock_);
}

// Whether the binding's current address (after any redirects) is no longer HTTPS. Wine follows a redirect
// from HTTPS to HTTP without a security problem and without telling the callback about the redirect; the
// address is what shows it there. Where the binding cannot tell its address, the other checks stand alone.
bool CBindStatusHandler::ResponseLeftHttps()
{
    constexpr DWORD kOptionUrl = 34;  // INTERNET_OPTION_URL
    IWinInetInfo* info = nullptr;
    if (!binding_ || FAILED(binding_->QueryInterface(IID_IWinInetInfo, reinterpret_cast<void**>(&info))) || !info)
        return false;
    BYTE buffer[4100] = {};
    DWORD size = sizeof buffer - 4;
    const HRESULT hr = info->QueryOption(kOptionUrl, buffer, &size);
    info->Release();
    if (hr != S_OK || size < 2) return false;
    // The address comes as UTF-16 or as ANSI text depending on the implementation. It starts with an ASCII
    // letter, so a zero second byte means UTF-16.
    if (buffer[1] == 0) return StrCmpNIW(reinterpret_cast<const wchar_t*>(buffer), L"https:", 6) != 0;
    return StrCmpNIA(reinterpret_cast<const char*>(buffer), "https:", 6) != 0;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusHandler)) {
        *object = static_cast<IBindStatusHandler*>(this);
    } else if (IsEqualIID(iid, IID_IBindStatusCallback)) {
        *object = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(iid, IID_IHttpSecurity) || IsEqualIID(iid, IID_IWindowForBindingUI)) {
        *object = static_cast<IHttpSecurity*>(this);
    } else if (IsEqualIID(iid, IID_IHttpNegotiate)) {
        *object = static_cast<IHttpNegotiate*>(this);
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

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnProgress(ULONG, ULONG progressMax, ULONG status, LPCWSTR statusText)
{
    // The status text of a redirect is the new address.
    if (status == BINDSTATUS_REDIRECTING && secureUrl_ && !StartsWith(statusText, L"https:")) {
        InterlockedExchange(&securityProblem_, 1);
        return E_ABORT;
    }
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

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnSecurityProblem(DWORD)
{
    InterlockedExchange(&securityProblem_, 1);
    return E_ABORT;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders)
{
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBindStatusHandler::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders)
{
    if (additionalHeaders) *additionalHeaders = nullptr;
    InterlockedExchange(&responseCode_, static_cast<LONG>(responseCode));
    if (secureUrl_ && ResponseLeftHttps()) {
        InterlockedExchange(&securityProblem_, 1);
        return E_ABORT;
    }
    return responseCode == 200 ? S_OK : E_ABORT;
}

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
