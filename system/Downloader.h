// URL download to a file.
#pragma once

#include <cstdint>
#include <string>

class IDownloader {
public:
    virtual ~IDownloader() = default;
    // URLDownloadToFileW(0, url, path, 0, callback) with a CBindStatusHandler whose window is parentWindow
    // (0: none); without the callback when it cannot be created. Returns the HRESULT.
    virtual uint32_t Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow) = 0;
};
