// URL download to a file.
#pragma once

#include <cstdint>
#include <string>

// An attempt that receives nothing for this long is ended by the downloader.
constexpr uint32_t kDownloadStallSeconds = 30;
// An attempt redirected more often than this is ended by the downloader.
constexpr uint32_t kDownloadMaxRedirects = 10;

constexpr uint32_t kInetEDownloadFailure = 0x800C0008;    // INET_E_DOWNLOAD_FAILURE
constexpr uint32_t kInetEConnectionTimeout = 0x800C000B;  // INET_E_CONNECTION_TIMEOUT
constexpr uint32_t kInetERedirectFailed = 0x800C0014;     // INET_E_REDIRECT_FAILED

// What an attempt saw besides its result.
struct DownloadReport {
    uint64_t announcedBytes = 0;  // the length the server announced for the body; 0 = none announced
    uint64_t receivedBytes = 0;   // the length of the file written; 0 also when there is none
    bool stalled = false;         // ended after kDownloadStallSeconds without any data
    bool redirectLoop = false;    // ended after more than kDownloadMaxRedirects redirections
};

class IDownloader {
public:
    virtual ~IDownloader() = default;
    // URLDownloadToFileW(0, url, path, 0, callback) with a CBindStatusHandler whose window is parentWindow
    // (0: none); without the callback when it cannot be created. Returns the HRESULT; an HTTP status other
    // than 200 is a failure (0x80190000 | status, e.g. 0x80190194 for 404) and a certificate problem or a
    // redirect from HTTPS to HTTP aborts the transfer; an attempt the downloader ended itself gives
    // kInetEConnectionTimeout (stalled) or kInetERedirectFailed (redirect loop). A failed transfer may leave a
    // partial file behind.
    virtual uint32_t Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow,
                              DownloadReport& report) = 0;
};
