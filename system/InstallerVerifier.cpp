// Verification of a prerequisite installer before it runs with full rights.
#include "system/InstallerVerifier.h"

#include <utility>

#include "log/Log.h"

namespace {

const wchar_t* const kTag = L"ResourceExtractor";
constexpr size_t kReadPiece = 256 * 1024;

bool SameFileName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

const PrerequisiteHash* FindHash(const PrerequisiteTrustPolicy& policy, const std::wstring& fileName)
{
    for (const PrerequisiteHash& entry : policy.hashes) {
        if (SameFileName(entry.fileName, fileName)) return &entry;
    }
    return nullptr;
}

const PrerequisiteSigner* FindSigner(const PrerequisiteTrustPolicy& policy, const std::wstring& fileName)
{
    for (const PrerequisiteSigner& entry : policy.signers) {
        if (SameFileName(entry.fileName, fileName)) return &entry;
    }
    return nullptr;
}

}  // namespace

uint32_t DecideTrust(const PrerequisiteTrustPolicy& policy, const std::wstring& fileName, const TrustEvidence& evidence)
{
    if (policy.hashListGiven) {
        const PrerequisiteHash* listed = FindHash(policy, fileName);
        if (!listed) return kTrustNotListed;
        return listed->sha256 == evidence.sha256 ? 0 : kTrustBadDigest;
    }
    if (evidence.signatureResult != 0) return evidence.signatureResult;
    const PrerequisiteSigner* expected = FindSigner(policy, fileName);
    if (expected && expected->signer != evidence.signer) return kTrustWrongSigner;
    return 0;
}

VerifiedFile& VerifiedFile::operator=(VerifiedFile&& other) noexcept
{
    if (this != &other) {
        Close();
        trust_ = std::exchange(other.trust_, nullptr);
        handle_ = std::exchange(other.handle_, 0);
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

void VerifiedFile::Close()
{
    if (handle_ != 0 && trust_) trust_->Close(handle_);
    handle_ = 0;
    trust_ = nullptr;
    path_.clear();
}

uint32_t CInstallerVerifier::Check(TrustFileHandle file, const std::wstring& path, const std::wstring& fileName)
{
    TrustEvidence evidence;
    if (policy_.hashListGiven) {
        // A name without an entry fails whatever the content; reading it would only cost time.
        if (!FindHash(policy_, fileName)) return kTrustNotListed;
        Sha256 hash;
        std::vector<uint8_t> buffer(kReadPiece);
        for (;;) {
            size_t count = 0;
            const uint32_t error = trust_.Read(file, buffer.data(), buffer.size(), count);
            if (error != 0) return HResultFromWin32(error);
            if (count == 0) break;
            hash.Update(buffer.data(), count < buffer.size() ? count : buffer.size());
        }
        evidence.sha256 = hash.Final();
    } else {
        evidence.signatureResult = trust_.CheckSignature(file, path, evidence.signer);
    }
    return DecideTrust(policy_, fileName, evidence);
}

uint32_t CInstallerVerifier::Verify(const std::wstring& path, const std::wstring& fileName, VerifiedFile& verified)
{
    verified.Close();
    TrustFileHandle file = 0;
    uint32_t result = trust_.OpenForVerification(path, file);
    if (result == 0) {
        result = Check(file, path, fileName);
        if (result == 0) {
            verified.trust_ = &trust_;
            verified.handle_ = file;
            verified.path_ = path;
            return 0;
        }
        trust_.Close(file);
    } else {
        result = HResultFromWin32(result);
    }
    LogFormat(kTag, L"Verification failed: %s (%x)", path, result);
    return result;
}
