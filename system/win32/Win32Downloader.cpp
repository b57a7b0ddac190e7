// IDownloader on URLDownloadToFileW with a CBindStatusHandler as the status callback, and a watchdog thread
// that ends a transfer that receives nothing for kDownloadStallSeconds. urlmon.dll is loaded from the system
// folder at the first download.
#include "system/win32/Win32Downloader.h"

#include <new>

#include "platform/win32/SystemLibrary.h"
#include "system/win32/BindStatusHandler.h"

namespace {

// HTTP_E_STATUS_*: FACILITY_HTTP with the status, e.g. 0x80190194 for 404.
constexpr uint32_t kHttpStatusFailure = 0x80190000u;

struct Watchdog {
    CBindStatusHandler* handler;
    HANDLE done;
};

DWORD WINAPI WatchTransfer(void* parameter)
{
    Watchdog* watchdog = static_cast<Watchdog*>(parameter);
    while (WaitForSingleObject(watchdog->done, 1000) == WAIT_TIMEOUT)
        watchdog->handler->AbortIfStalled(static_cast<ULONGLONG>(kDownloadStallSeconds) * 1000);
    return 0;
}

uint64_t FileLength(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

uint32_t Win32Downloader::Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow,
                                   DownloadReport& report)
{
    report = DownloadReport();
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
    // A watchdog thread ends a transfer that receives nothing for kDownloadStallSeconds.
    Watchdog watchdog{handler, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = watchdog.done ? CreateThread(nullptr, 0, WatchTransfer, &watchdog, 0, nullptr) : nullptr;
    const HRESULT hr = download(nullptr, url.c_str(), path.c_str(), 0, callback);
    if (thread) {
        SetEvent(watchdog.done);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (watchdog.done) CloseHandle(watchdog.done);
    uint32_t result = static_cast<uint32_t>(hr);
    report.announcedBytes = handler->AnnouncedBytes();
    report.stalled = handler->Stalled();
    report.redirectLoop = handler->RedirectLoop();
    const DWORD status = handler->ResponseCode();
    if (handler->SecurityProblem()) {
        if (SUCCEEDED(hr)) result = static_cast<uint32_t>(E_ABORT);
    } else if (report.stalled) {
        result = kInetEConnectionTimeout;
    } else if (report.redirectLoop) {
        result = kInetERedirectFailed;
    } else if (status != 0 && status != 200) {
        // An error page is no installer, whatever URLDownloadToFileW answered.
        result = kHttpStatusFailure | (status & 0xFFFF);
    }
    report.receivedBytes = FileLength(path);
    if (callback) callback->Release();
    handler->Release();
    return result;
}
