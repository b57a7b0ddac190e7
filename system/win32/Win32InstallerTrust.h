// IInstallerTrust on CreateFileW, ReadFile and WinVerifyTrust.
#pragma once

#include "system/InstallerTrust.h"

class Win32InstallerTrust : public IInstallerTrust {
public:
    uint32_t OpenForVerification(const std::wstring& path, TrustFileHandle& file, std::wstring& resolvedPath) override;
    uint32_t Read(TrustFileHandle file, uint8_t* buffer, size_t size, size_t& count) override;
    uint32_t CheckSignature(TrustFileHandle file, const std::wstring& path, std::wstring& signer) override;
    void Close(TrustFileHandle file) override;
};
