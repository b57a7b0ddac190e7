// IDownloader on URLDownloadToFileW with a CBindStatusHandler as the status callback, and a watchdog thread
// that ends a transfer that receives nothing for kDownloadStallSeconds. urlmon.dll is loaded from the system
// folder at the first download.
#include "system/win32/Win32Downloader.h"

#include <new>

#include "platform/win32/SystemLibrary.h"
#include "system/win32/BindStatusHandler.h"

namespace {

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
    // Without the object the download runs without a callback (and without the watchdog).
    CBindStatusHandler* handler = new (std::nothrow) CBindStatusHandler();
    IBindStatusCallback* callback = nullptr;
    Watchdog watchdog{handler, nullptr};
    HANDLE thread = nullptr;
    if (handler) {
        handler->AddRef();
        handler->SetParentWindow(reinterpret_cast<HWND>(parentWindow));
        handler->QueryInterface(IID_IBindStatusCallback, reinterpret_cast<void**>(&callback));
        watchdog.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (watchdog.done) thread = CreateThread(nullptr, 0, WatchTransfer, &watchdog, 0, nullptr);
    }
    HRESULT hr = download(nullptr, url.c_str(), path.c_str(), 0, callback);
    if (thread) {
        SetEvent(watchdog.done);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (watchdog.done) CloseHandle(watchdog.done);
    if (handler) {
        report.announcedBytes = handler->AnnouncedBytes();
        report.stalled = handler->Stalled();
        report.redirectLoop = handler->RedirectLoop();
        if (report.stalled) hr = static_cast<HRESULT>(kInetEConnectionTimeout);
        else if (report.redirectLoop) hr = static_cast<HRESULT>(kInetERedirectFailed);
    }
    report.receivedBytes = FileLength(path);
    if (callback) callback->Release();
    if (handler) handler->Release();
    return static_cast<uint32_t>(hr);
}
