// IInstallerTrust on CreateFileW, ReadFile and WinVerifyTrust. wintrust.dll and crypt32.dll are not KnownDLLs:
// they are loaded at first use from the system folder only (SystemLibrary), never through the import table.
#include "system/win32/Win32InstallerTrust.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <new>

#include "platform/win32/SystemLibrary.h"
#include "system/InstallerVerifier.h"

#ifndef WTD_DISABLE_MD2_MD4
#define WTD_DISABLE_MD2_MD4 0x00002000
#endif

namespace {

// WinVerifyTrust may fetch revocation lists from the network; a run must never hang on that.
constexpr DWORD kSignatureWaitMilliseconds = 60000;

HANDLE ToHandle(TrustFileHandle file) { return reinterpret_cast<HANDLE>(file); }

struct TrustFunctions {
    decltype(&WinVerifyTrust) winVerifyTrust = nullptr;
    decltype(&WTHelperProvDataFromStateData) provDataFromStateData = nullptr;
    decltype(&WTHelperGetProvSignerFromChain) provSignerFromChain = nullptr;
    decltype(&CertGetNameStringW) certGetNameString = nullptr;
    DWORD loadError = 0;
};

// Loaded once, from the system folder; the modules stay loaded for the life of the process.
const TrustFunctions& Functions()
{
    static const TrustFunctions functions = [] {
        TrustFunctions f;
        DWORD errors[4] = {};
        f.winVerifyTrust = SYSTEM_FUNCTION(L"wintrust.dll", WinVerifyTrust, errors[0]);
        f.provDataFromStateData = SYSTEM_FUNCTION(L"wintrust.dll", WTHelperProvDataFromStateData, errors[1]);
        f.provSignerFromChain = SYSTEM_FUNCTION(L"wintrust.dll", WTHelperGetProvSignerFromChain, errors[2]);
        f.certGetNameString = SYSTEM_FUNCTION(L"crypt32.dll", CertGetNameStringW, errors[3]);
        for (DWORD error : errors) {
            if (error != ERROR_SUCCESS && f.loadError == 0) f.loadError = error;
        }
        if (f.loadError == 0 &&
            (!f.winVerifyTrust || !f.provDataFromStateData || !f.provSignerFromChain || !f.certGetNameString))
            f.loadError = ERROR_PROC_NOT_FOUND;
        return f;
    }();
    return functions;
}

// The subject common name of the leaf certificate of the first signer; empty when there is none.
std::wstring LeafSigner(const TrustFunctions& f, HANDLE stateData)
{
    CRYPT_PROVIDER_DATA* provider = f.provDataFromStateData(stateData);
    if (!provider) return std::wstring();
    CRYPT_PROVIDER_SGNR* signer = f.provSignerFromChain(provider, 0, FALSE, 0);
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert)
        return std::wstring();
    PCCERT_CONTEXT leaf = signer->pasCertChain[0].pCert;
    char commonName[] = szOID_COMMON_NAME;
    const DWORD length = f.certGetNameString(leaf, CERT_NAME_ATTR_TYPE, 0, commonName, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring name(length, L'\0');
    f.certGetNameString(leaf, CERT_NAME_ATTR_TYPE, 0, commonName, &name[0], length);
    name.resize(length - 1);
    return name;
}

// One check on a thread of its own. The job belongs to both sides; the last to let go frees it, so that a
// check that outlives the wait still finds its data, and its own duplicate of the file handle.
struct SignatureJob {
    LONG references = 2;
    HANDLE file = nullptr;
    std::wstring path;
    LONG result = 0;
    std::wstring signer;

    void Release()
    {
        if (InterlockedDecrement(&references) == 0) {
            CloseHandle(file);
            delete this;
        }
    }
};

DWORD WINAPI SignatureThread(void* parameter)
{
    SignatureJob* job = static_cast<SignatureJob*>(parameter);
    const TrustFunctions& f = Functions();
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = job->path.c_str();
    fileInfo.hFile = job->file;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;  // no extra checks: revocation as the system's policy says
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_DISABLE_MD2_MD4;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    // INVALID_HANDLE_VALUE as the window: there is no interactive user to ask.
    const LONG result = f.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (result == 0) job->signer = LeafSigner(f, data.hWVTStateData);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    f.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    job->result = result;
    job->Release();
    return 0;
}

}  // namespace

uint32_t Win32InstallerTrust::OpenForVerification(const std::wstring& path, TrustFileHandle& file,
                                                  std::wstring& resolvedPath)
{
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    // Where the file really is, links and junctions resolved: that is the place to run it from, because a
    // link on the way can be changed while the file is held, the folders of the file itself cannot.
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, &resolved[0], static_cast<DWORD>(resolved.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= resolved.size()) {
        resolved.assign(length + 1, L'\0');
        length = GetFinalPathNameByHandleW(handle, &resolved[0], static_cast<DWORD>(resolved.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= resolved.size()) {
        const DWORD error = length == 0 ? GetLastError() : ERROR_BUFFER_OVERFLOW;
        CloseHandle(handle);
        return error ? error : ERROR_CANT_RESOLVE_FILENAME;
    }
    resolved.resize(length);
    if (resolved.compare(0, 8, L"\\\\?\\UNC\\") == 0) resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.compare(0, 4, L"\\\\?\\") == 0) resolved = resolved.substr(4);
    resolvedPath = resolved;
    file = reinterpret_cast<TrustFileHandle>(handle);
    return 0;
}

uint32_t Win32InstallerTrust::Read(TrustFileHandle file, uint8_t* buffer, size_t size, size_t& count)
{
    const DWORD request = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!ReadFile(ToHandle(file), buffer, request, &read, nullptr)) return GetLastError();
    count = read;
    return 0;
}

uint32_t Win32InstallerTrust::CheckSignature(TrustFileHandle file, const std::wstring& path, std::wstring& signer)
{
    const TrustFunctions& f = Functions();
    if (f.loadError != 0) return HResultFromWin32(f.loadError);

    SignatureJob* job = new (std::nothrow) SignatureJob();
    if (!job) return 0x8007000Eu;  // E_OUTOFMEMORY
    job->path = path;
    if (!DuplicateHandle(GetCurrentProcess(), ToHandle(file), GetCurrentProcess(), &job->file, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        const DWORD error = GetLastError();
        delete job;
        return HResultFromWin32(error);
    }
    HANDLE thread = CreateThread(nullptr, 0, SignatureThread, job, 0, nullptr);
    if (!thread) {
        const DWORD error = GetLastError();
        CloseHandle(job->file);
        delete job;
        return HResultFromWin32(error);
    }
    const DWORD wait = WaitForSingleObject(thread, kSignatureWaitMilliseconds);
    CloseHandle(thread);
    uint32_t result = HResultFromWin32(ERROR_TIMEOUT);
    if (wait == WAIT_OBJECT_0) {
        result = static_cast<uint32_t>(job->result);
        signer = job->signer;
    }
    job->Release();
    return result;
}

void Win32InstallerTrust::Close(TrustFileHandle file)
{
    if (file != 0) CloseHandle(ToHandle(file));
}
