// IDownloader on URLDownloadToFileW with a CBindStatusHandler as the status callback. urlmon.dll is loaded from
// the system folder at the first download.
#include "system/win32/Win32Downloader.h"

#include <new>

#include "platform/win32/SystemLibrary.h"
#include "system/win32/BindStatusHandler.h"

namespace {

// HTTP_E_STATUS_*: FACILITY_HTTP with the status, e.g. 0x80190194 for 404.
constexpr uint32_t kHttpStatusFailure = 0x80190000u;

}  // namespace

uint32_t Win32Downloader::Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow)
{
    DWORD error = ERROR_SUCCESS;
    const auto download = SYSTEM_FUNCTION(L"urlmon.dll", URLDownloadToFileW, error);
    if (!download) return static_cast<uint32_t>(HRESULT_FROM_WIN32(error));
    // Without the object nothing would read the HTTP status or refuse a certificate problem: no download then.
    CBindStatusHandler* handler = new (std::nothrow) CBindStatusHandler(url.c_str());
    if (!handler) return static_cast<uint32_t>(E_OUTOFMEMORY);
    handler->AddRef();
    handler->SetParentWindow(reinterpret_cast<HWND>(parentWindow));
    IBindStatusCallback* callback = nullptr;
    handler->QueryInterface(IID_IBindStatusCallback, reinterpret_cast<void**>(&callback));
    const HRESULT hr = download(nullptr, url.c_str(), path.c_str(), 0, callback);
    uint32_t result = static_cast<uint32_t>(hr);
    const DWORD status = handler->ResponseCode();
    if (handler->SecurityProblem()) {
        if (SUCCEEDED(hr)) result = static_cast<uint32_t>(E_ABORT);
    } else if (status != 0 && status != 200) {
        // An error page is no installer, whatever URLDownloadToFileW answered.
        result = kHttpStatusFailure | (status & 0xFFFF);
    }
    if (callback) callback->Release();
    handler->Release();
    return result;
}
