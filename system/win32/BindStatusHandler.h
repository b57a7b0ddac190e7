// The status callback of a URL download: keeps the parent window for dialogs, reads the HTTP status, aborts on
// every security problem (certificate errors, a redirect from HTTPS to HTTP) without asking anyone, remembers the
// announced length, and ends a transfer that stalls or is redirected in a loop.
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
// the same pointer), IHttpNegotiate; IUnknown is the IBindStatusHandler pointer.
class CBindStatusHandler final : public IBindStatusHandler,
                                 public IBindStatusCallback,
                                 public IHttpSecurity,
                                 public IHttpNegotiate {
public:
    // url: the address being downloaded, to recognise a redirect from HTTPS to HTTP.
    explicit CBindStatusHandler(const wchar_t* url);
    CBindStatusHandler(const CBindStatusHandler&) = delete;
    CBindStatusHandler& operator=(const CBindStatusHandler&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IBindStatusHandler
    HRESULT STDMETHODCALLTYPE SetParentWindow(HWND window) override;

    // IBindStatusCallback: every method returns S_OK. OnStartBinding keeps the binding until OnStopBinding, so
    // that the transfer can be ended and asked for the address the response came from; OnProgress notes the
    // time of the last news, the length announced for the body and the requests sent, and ends the transfer
    // when it was redirected too often or from HTTPS to HTTP.
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG status, LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override;

    // IWindowForBindingUI: the stored parent window.
    HRESULT STDMETHODCALLTYPE GetWindow(REFGUID reason, HWND* window) override;
    // IHttpSecurity: E_ABORT for every problem; the download ends and nobody is asked to click through.
    HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD problem) override;

    // IHttpNegotiate: no extra request headers; the response's status is kept, and anything but 200 aborts, as
    // does a response to an HTTPS download that came over plain HTTP.
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override;
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override;

    // The HTTP status of the last response (0: none seen), and whether a security problem ended the transfer.
    DWORD ResponseCode() const { return responseCode_; }
    bool SecurityProblem() const { return securityProblem_ != 0; }

    // Called from another thread while the download runs: ends the transfer when nothing arrived for
    // stallMs milliseconds.
    void AbortIfStalled(ULONGLONG stallMs);

    bool Stalled();
    bool RedirectLoop();
    // The length of the body as the server announced it (0: not announced).
    ULONGLONG AnnouncedBytes();

private:
    ~CBindStatusHandler();  // only Release destroys it
    // Called on the download's thread, which alone changes binding_.
    bool ResponseLeftHttps();
    // Marks the transfer as ended and gives the binding with a reference for the caller to abort outside the
    // lock; null when there is none or it was ended already. Called with lock_ held.
    IBinding* TakeBindingToAbort();

    LONG references_ = 0;
    IBinding* binding_ = nullptr;
    HWND parentWindow_ = nullptr;
    bool secureUrl_ = false;
    volatile LONG responseCode_ = 0;
    volatile LONG securityProblem_ = 0;

    CRITICAL_SECTION lock_;
    ULONGLONG lastNews_ = GetTickCount64();
    ULONGLONG announced_ = 0;
    ULONG requests_ = 0;
    ULONG redirections_ = 0;
    bool aborted_ = false;
    bool stalled_ = false;
    bool redirectLoop_ = false;
};
