// IResources on the resources of a loaded module: the running executable, or a file loaded as data.
#pragma once

#include "system/Resources.h"

class Win32Resources : public IResources {
public:
    // module: an HMODULE, for example of LoadLibraryExW(..., LOAD_LIBRARY_AS_DATAFILE); null = the own executable.
    explicit Win32Resources(void* module = nullptr);

    PayloadView FindPayload(const std::wstring& type, uint16_t id) override;
    std::wstring LoadString(uint32_t id) override;
    void SetLanguage(uint16_t languageId) override { language_ = languageId; }

private:
    void* module_;
    uint16_t language_ = 0;
};
