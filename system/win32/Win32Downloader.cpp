// IDownloader on URLDownloadToFileW with a CBindStatusHandler as the status callback. urlmon.dll is loaded from
// the system folder at the first download.
#include "system/win32/Win32Downloader.h"

#include <new>

#include "platform/win32/SystemLibrary.h"
#include "system/win32/BindStatusHandler.h"

uint32_t Win32Downloader::Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow)
{
    DWORD error = ERROR_SUCCESS;
    const auto download = SYSTEM_FUNCTION(L"urlmon.dll", URLDownloadToFileW, error);
    if (!download) return static_cast<uint32_t>(HRESULT_FROM_WIN32(error));
    // Without the object the download runs without a callback.
    CBindStatusHandler* handler = new (std::nothrow) CBindStatusHandler();
    IBindStatusCallback* callback = nullptr;
    if (handler) {
        handler->AddRef();
        handler->SetParentWindow(reinterpret_cast<HWND>(parentWindow));
        handler->QueryInterface(IID_IBindStatusCallback, reinterpret_cast<void**>(&callback));
    }
    const HRESULT hr = download(nullptr, url.c_str(), path.c_str(), 0, callback);
    if (callback) callback->Release();
    if (handler) handler->Release();
    return static_cast<uint32_t>(hr);
}
