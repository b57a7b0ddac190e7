// IDownloader on URLDownloadToFileW with a CBindStatusHandler as the status callback.
#pragma once

#include "system/Downloader.h"

class Win32Downloader : public IDownloader {
public:
    uint32_t Download(const std::wstring& url, const std::wstring& path, uintptr_t parentWindow,
                      DownloadReport& report) override;
};
