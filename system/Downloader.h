// URL download to a file.
#pragma once

#include <cstdint>
#include <string>

class IDownloader {
public:
    virtual ~IDownloader() = default;
    // URLDownloadToFileW(0, url, path, 0, callback) with a CBindStatusHandler whose window is parentWindow
    // (0: none); E_OUTOFMEMORY without a download when the callback cannot be created. Returns the HRESULT;
    // an HTTP status other than 200 is a failure (0x80190000 | status, e.g. 0x80190194 for 404) and a
    // certificate problem or a redirect from HTTPS to HTTP aborts the transfer. A failed transfer may
    // leave a partial file behind.
    virtual uint32_t Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow) = 0;
};
