// Tests of the verification of prerequisite installers: the decision over a table of cases, and the check
// through one open handle that stays open for the caller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakeLogPlatform.h"
#include "support/FakeSystem.h"
#include "system/InstallerVerifier.h"

namespace {

const std::wstring kDotNet = L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe";

Sha256Digest DigestOf(const std::string& data)
{
    Sha256 hash;
    hash.Update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return hash.Final();
}

PrerequisiteTrustPolicy HashPolicy()
{
    PrerequisiteTrustPolicy policy;
    policy.hashListGiven = true;
    policy.hashes = {{kDotNet, DigestOf("dotnet installer")}, {L"gs950w64.exe", DigestOf("ghostscript")}};
    // Ignored under the hash rule.
    policy.signers = {{kDotNet, L"Microsoft Corporation"}};
    return policy;
}

PrerequisiteTrustPolicy SignaturePolicy()
{
    PrerequisiteTrustPolicy policy;
    policy.signers = {{kDotNet, L"Microsoft Corporation"}};
    return policy;
}

TEST(DecideTrustTest, TableOfRulesAndFiles)
{
    struct Case {
        const char* what;
        PrerequisiteTrustPolicy policy;
        std::wstring fileName;
        TrustEvidence evidence;
        uint32_t result;
    };
    auto hashed = [](const std::string& content) {
        TrustEvidence e;
        e.sha256 = DigestOf(content);
        e.signatureResult = 0x800B0100;  // whatever the signature, the list alone counts
        return e;
    };
    auto signedBy = [](uint32_t result, const std::wstring& signer) {
        TrustEvidence e;
        e.signatureResult = result;
        e.signer = signer;
        return e;
    };
    const Case cases[] = {
        {"listed", HashPolicy(), kDotNet, hashed("dotnet installer"), 0},
        {"listed, other case of the name", HashPolicy(), L"ndp472-kb4054530-x86-x64-allos-enu.EXE",
         hashed("dotnet installer"), 0},
        {"listed name, changed content", HashPolicy(), kDotNet, hashed("dotnet installer!"), kTrustBadDigest},
        {"empty file", HashPolicy(), kDotNet, hashed(""), kTrustBadDigest},
        {"content listed under another name", HashPolicy(), kDotNet, hashed("ghostscript"), kTrustBadDigest},
        {"name not listed", HashPolicy(), L"eDocPrintPro_x64.exe", hashed("dotnet installer"), kTrustNotListed},
        {"name that only starts like a listed one", HashPolicy(), L"gs950w64.exe.exe", hashed("ghostscript"),
         kTrustNotListed},
        {"list given but empty", PrerequisiteTrustPolicy{true, {}, {}}, kDotNet, hashed(""), kTrustNotListed},
        {"signed by the expected signer", SignaturePolicy(), kDotNet, signedBy(0, L"Microsoft Corporation"), 0},
        {"signed, no expected signer for the name", SignaturePolicy(), L"gs950w64.exe",
         signedBy(0, L"Artifex Software, Inc."), 0},
        {"signed, signer not readable, none expected", SignaturePolicy(), L"gs950w64.exe", signedBy(0, L""), 0},
        {"signed by another name", SignaturePolicy(), kDotNet, signedBy(0, L"KELVARO Test"), kTrustWrongSigner},
        {"signer differs only in case", SignaturePolicy(), kDotNet, signedBy(0, L"microsoft corporation"),
         kTrustWrongSigner},
        {"signer not readable", SignaturePolicy(), kDotNet, signedBy(0, L""), kTrustWrongSigner},
        {"unsigned", SignaturePolicy(), kDotNet, signedBy(0x800B0100, L""), 0x800B0100},
        {"bad digest", SignaturePolicy(), L"gs950w64.exe", signedBy(0x80096010, L""), 0x80096010},
        {"untrusted root", SignaturePolicy(), kDotNet, signedBy(0x800B0109, L"Microsoft Corporation"), 0x800B0109},
        {"no rule at all, signed", PrerequisiteTrustPolicy{}, kDotNet, signedBy(0, L"Anyone"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecideTrust(c.policy, c.fileName, c.evidence), c.result);
    }
}

class InstallerVerifierTest : public ::testing::Test {
protected:
    InstallerVerifierTest() { log.Initialize(); }

    std::vector<std::string> Lines() { return log.Texts("ResourceExtractor"); }

    LogFixture log;
    FakeFileSystem files;
    FakeInstallerTrust trust{files};
    const std::wstring path = L"C:\\Work\\" + kDotNet;
};

TEST_F(InstallerVerifierTest, APassingFileStaysOpenUntilItsOwnerClosesIt)
{
    files.AddFile(path, "dotnet installer");
    CInstallerVerifier verifier(trust, HashPolicy());
    VerifiedFile verified;
    EXPECT_EQ(verifier.Verify(path, kDotNet, verified), 0u);
    EXPECT_TRUE(verified.IsOpen());
    EXPECT_EQ(verified.Path(), path);
    EXPECT_EQ(trust.opened, std::vector<std::wstring>{path});
    EXPECT_EQ(trust.OpenPaths(), std::vector<std::wstring>{path});
    EXPECT_GE(trust.reads, 3) << "read in pieces up to the end";
    EXPECT_TRUE(trust.signatureChecks.empty()) << "the hash list alone counts";
    EXPECT_FALSE(files.DeleteFile(path)) << "nobody deletes it while it is held";
    EXPECT_TRUE(Lines().empty());

    VerifiedFile moved = std::move(verified);
    EXPECT_FALSE(verified.IsOpen());
    EXPECT_EQ(trust.OpenPaths().size(), 1u);
    moved.Close();
    EXPECT_TRUE(trust.OpenPaths().empty());
    EXPECT_TRUE(files.DeleteFile(path));
}

TEST_F(InstallerVerifierTest, ASignedFileIsCheckedThroughTheOpenHandle)
{
    files.AddFile(path, "MZ signed");
    trust.SetSignature(path, 0, L"Microsoft Corporation");
    CInstallerVerifier verifier(trust, SignaturePolicy());
    VerifiedFile verified;
    EXPECT_EQ(verifier.Verify(path, kDotNet, verified), 0u);
    EXPECT_TRUE(verified.IsOpen());
    EXPECT_EQ(trust.signatureChecks, std::vector<std::wstring>{path});
    EXPECT_EQ(trust.reads, 0);
    { VerifiedFile gone = std::move(verified); }
    EXPECT_TRUE(trust.OpenPaths().empty()) << "destruction closes";
}

// Each failure logs one line with the path and the result, and leaves nothing open.
TEST_F(InstallerVerifierTest, FailuresAreLoggedAndCloseTheFile)
{
    struct Case {
        const char* what;
        bool hashRule;
        std::string content;
        uint32_t openError;
        uint32_t readError;
        FakeInstallerTrust::Signature signature;
        uint32_t result;
    };
    const Case cases[] = {
        {"changed content", true, "dotnet installer\n", 0, 0, {}, kTrustBadDigest},
        {"empty file", true, "", 0, 0, {}, kTrustBadDigest},
        {"truncated file", true, "dotnet", 0, 0, {}, kTrustBadDigest},
        {"held open for writing by another process", true, "dotnet installer", 32, 0, {}, 0x80070020},
        {"read error", true, "dotnet installer", 0, 23, {}, 0x80070017},
        {"unsigned", false, "MZ", 0, 0, {0x800B0100, L""}, 0x800B0100},
        {"another signer", false, "MZ", 0, 0, {0, L"Someone Else"}, kTrustWrongSigner},
        {"signature check timed out", false, "MZ", 0, 0, {0x800705B4, L""}, 0x800705B4},
        {"path through a link", false, "MZ", 1920, 0, {}, 0x80070780},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogFixture fresh;
        fresh.Initialize();
        FakeFileSystem fs;
        FakeInstallerTrust tr(fs);
        fs.AddFile(path, c.content);
        if (c.openError) tr.openErrors[fake::Fold(path)] = c.openError;
        if (c.readError) tr.readErrors[fake::Fold(path)] = c.readError;
        tr.SetSignature(path, c.signature.result, c.signature.signer);
        CInstallerVerifier verifier(tr, c.hashRule ? HashPolicy() : SignaturePolicy());
        VerifiedFile verified;
        EXPECT_EQ(verifier.Verify(path, kDotNet, verified), c.result);
        EXPECT_FALSE(verified.IsOpen());
        EXPECT_TRUE(tr.OpenPaths().empty());
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", c.result);
        EXPECT_EQ(fresh.Texts("ResourceExtractor"),
                  std::vector<std::string>{"Verification failed: C:\\Work\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe (" +
                                           std::string(hex) + ")"});
    }
}

TEST_F(InstallerVerifierTest, ANameWithoutAnEntryFailsWithoutReading)
{
    const std::wstring other = L"C:\\Work\\eDocPrintPro_x64.exe";
    files.AddFile(other, "dotnet installer");
    CInstallerVerifier verifier(trust, HashPolicy());
    VerifiedFile verified;
    EXPECT_EQ(verifier.Verify(other, L"eDocPrintPro_x64.exe", verified), kTrustNotListed);
    EXPECT_EQ(trust.reads, 0);
    EXPECT_TRUE(trust.OpenPaths().empty());
    EXPECT_EQ(Lines(), std::vector<std::string>{"Verification failed: C:\\Work\\eDocPrintPro_x64.exe (800b0004)"});
}

TEST_F(InstallerVerifierTest, AnOpenFileIsClosedBeforeTheNextVerification)
{
    files.AddFile(path, "dotnet installer");
    CInstallerVerifier verifier(trust, HashPolicy());
    VerifiedFile verified;
    ASSERT_EQ(verifier.Verify(path, kDotNet, verified), 0u);
    EXPECT_EQ(verifier.Verify(L"C:\\missing.exe", kDotNet, verified), 0x80070002u);
    EXPECT_FALSE(verified.IsOpen());
    EXPECT_TRUE(trust.OpenPaths().empty());
}

TEST(HResultFromWin32Test, WrapsWindowsErrorsAndKeepsHResults)
{
    EXPECT_EQ(HResultFromWin32(0), 0u);
    EXPECT_EQ(HResultFromWin32(2), 0x80070002u);
    EXPECT_EQ(HResultFromWin32(1460), 0x800705B4u);
    EXPECT_EQ(HResultFromWin32(0x800B0100), 0x800B0100u);
}

}  // namespace
