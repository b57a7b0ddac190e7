// What the verification of a prerequisite installer needs from the system: one open handle to the file,
// its bytes, and the Authenticode check of that same handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using TrustFileHandle = uintptr_t;  // 0 = none

class IInstallerTrust {
public:
    virtual ~IInstallerTrust() = default;
    // Opens an existing file for reading with share mode read only: while it is open nobody can write,
    // delete or rename it. Refuses a path that leads through a link or junction to somewhere else.
    // Returns 0 and the handle, or the Windows error code.
    virtual uint32_t OpenForVerification(const std::wstring& path, TrustFileHandle& file) = 0;
    // Reads the next bytes of the file: 0 and count (0 at its end), or the Windows error code.
    virtual uint32_t Read(TrustFileHandle file, uint8_t* buffer, size_t size, size_t& count) = 0;
    // WinVerifyTrust (WINTRUST_ACTION_GENERIC_VERIFY_V2, no UI, revocation by the system's policy) on the
    // open file, with a bounded wait. Returns its HRESULT (0: valid) and, when it is valid, the subject
    // common name of the signer's leaf certificate (empty when it cannot be read).
    virtual uint32_t CheckSignature(TrustFileHandle file, const std::wstring& path, std::wstring& signer) = 0;
    virtual void Close(TrustFileHandle file) = 0;
};
