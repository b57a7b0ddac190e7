// Verification of a prerequisite installer before it runs with full rights: its SHA-256 on the build's hash
// list, or (without a list) a valid Authenticode signature from the expected signer. The file stays open,
// shared for reading only, from the check until its owner closes it after the installer has exited.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/InstallerTrust.h"
#include "system/Sha256.h"

constexpr uint32_t kTrustNotListed = 0x800B0004;    // TRUST_E_SUBJECT_NOT_TRUSTED: no SHA-256 for this name
constexpr uint32_t kTrustBadDigest = 0x80096010;    // TRUST_E_BAD_DIGEST: another SHA-256 than the listed one
constexpr uint32_t kTrustWrongSigner = 0x800B010F;  // CERT_E_CN_NO_MATCH: not signed by the expected signer

// HRESULT_FROM_WIN32
constexpr uint32_t HResultFromWin32(uint32_t error)
{
    return (error == 0 || (error & 0x80000000u)) ? error : ((error & 0xFFFFu) | 0x80070000u);
}

struct PrerequisiteHash {
    std::wstring fileName;
    Sha256Digest sha256{};
};

struct PrerequisiteSigner {
    std::wstring fileName;
    std::wstring signer;  // subject common name of the signer's leaf certificate
};

// The rule the build chose. With a hash list only the list counts; without one, the signature rule.
struct PrerequisiteTrustPolicy {
    bool hashListGiven = false;
    std::vector<PrerequisiteHash> hashes;
    std::vector<PrerequisiteSigner> signers;
};

// The policy Setup.exe was built with (SETUP_PREREQUISITE_SHA256, SETUP_PREREQUISITE_SIGNERS); the build
// generates its definition.
PrerequisiteTrustPolicy BuiltInPrerequisiteTrust();

// What was found out about a file: its SHA-256 under the hash rule, its signature check otherwise.
struct TrustEvidence {
    Sha256Digest sha256{};
    uint32_t signatureResult = 0;  // WinVerifyTrust's answer
    std::wstring signer;           // leaf certificate's subject common name; empty when unknown
};

// 0 when the file of that name may run, else why not: kTrustNotListed or kTrustBadDigest under the hash
// rule; the signature's own failure or kTrustWrongSigner otherwise. File names compare ignoring ASCII case.
uint32_t DecideTrust(const PrerequisiteTrustPolicy& policy, const std::wstring& fileName, const TrustEvidence& evidence);

// An open, verified installer. Closing it (or destroying it) lets others write, delete or rename the file again.
class VerifiedFile {
public:
    VerifiedFile() = default;
    ~VerifiedFile() { Close(); }
    VerifiedFile(VerifiedFile&& other) noexcept { *this = std::move(other); }
    VerifiedFile& operator=(VerifiedFile&& other) noexcept;
    VerifiedFile(const VerifiedFile&) = delete;
    VerifiedFile& operator=(const VerifiedFile&) = delete;

    bool IsOpen() const { return handle_ != 0; }
    const std::wstring& Path() const { return path_; }
    void Close();

private:
    friend class CInstallerVerifier;
    IInstallerTrust* trust_ = nullptr;
    TrustFileHandle handle_ = 0;
    std::wstring path_;
};

class CInstallerVerifier {
public:
    CInstallerVerifier(IInstallerTrust& trust, PrerequisiteTrustPolicy policy) : trust_(trust), policy_(std::move(policy)) {}

    // Opens path once and verifies the file through that handle as the installer named fileName. Returns 0 and
    // the open file in verified, or the reason (a Windows error of the open or read as an HRESULT, or the
    // decision's result) after the log line "Verification failed: %s (%x)"; then verified stays closed.
    uint32_t Verify(const std::wstring& path, const std::wstring& fileName, VerifiedFile& verified);

    const PrerequisiteTrustPolicy& Policy() const { return policy_; }

private:
    uint32_t Check(TrustFileHandle file, const std::wstring& path, const std::wstring& fileName);

    IInstallerTrust& trust_;
    PrerequisiteTrustPolicy policy_;
};
