// The executable's own resources: embedded payloads and the string table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PayloadView {
    const void* data = nullptr;  // points into the mapped executable; valid for the process's lifetime
    size_t size = 0;
    bool found = false;
};

class IResources {
public:
    virtual ~IResources() = default;
    // The bytes of the resource of that type (e.g. "BIN") and id, or found = false.
    virtual PayloadView FindPayload(const std::wstring& type, uint16_t id) = 0;
    // A string of the string table in the chosen language (see SetLanguage); empty when missing.
    virtual std::wstring LoadString(uint32_t id) = 0;
    // From now on strings come from the string table of that Windows language id (e.g. 1031); 0 means the
    // current user-interface language as the platform resolves it, which is also the start.
    virtual void SetLanguage(uint16_t languageId) = 0;
};
