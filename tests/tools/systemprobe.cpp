// Drives the system utilities on the real Windows bindings and prints their results, log lines and
// debugger-output lines in a stable text format for the integration tests.
//
// Usage: systemprobe COMMAND [ARGUMENT...]
//   baseurl                                  the download server prefix built in
//   x64                                      whether this Windows is 64-bit
//   ghostscript VERSION                      IsGhostscriptInstalled
//   edocprintpro                             IsEDocPrintProInstalled
//   uninstall-version DISPLAYNAME            FindUninstallEntryVersion
//   legacy-gs REQUIRED                       CollectLegacyGhostscript (one "entry:" line per entry)
//   read-string KEY VALUE                    ReadRegistryString on HKLM\KEY (64-bit view)
//   extract SETUP.EXE OUTDIR ID=NAME...      ExtractResource("BIN", ID, NAME) from SETUP.EXE's resources;
//                                            each file is copied to OUTDIR\NAME before the extractor deletes it
//   obtain [--hashes LIST] [--signer NAME=SIGNER]... SETUP.EXE REDIST URL NAME DISPLAYNAME [KEEPDIR]
//                                            ObtainPayload with REDIST as local folder ("-": none) and
//                                            SETUP.EXE's string table, verified by the hash list LIST (a
//                                            sha256sum file) or else by the signature rule with those
//                                            signers; while the result is held it tries to open it for
//                                            writing, then copies it to KEEPDIR
//   trust FILE                               Win32InstallerTrust on FILE: the path it resolves to and
//                                            WinVerifyTrust's answer with the signer's common name
//   download URL FILE                        Win32Downloader: URLDownloadToFileW's answer as Setup.exe
//                                            sees it (HTTP status and security problems included)
//   add-root-certificate FILE                adds the DER certificate FILE to the machine's "Root" store
//   find-process NAME                        FindProcessByName
//   terminate-clients                        TerminateClientProcesses
//   service NAME start|stop...               StartStopService once per request, in one process
//   repair-driver-store                      RepairSnomD7DriverStore with the feature installed
//   semaphore                                whether the semaphore "KvDiDeraveRunning" exists
//   post-term-request                        posts the registered message "TermKvDiDeraveReq" to all
//                                            top-level windows
//   dacl PATH                                the DACL of a file or folder as GetNamedSecurityInfoW reads it back
//   private-descriptor                       the security descriptor a private folder is created with
//   private-folder PATH                      creates a private folder, then prints its "dacl"
// Output: result lines, then "log: TAG|TEXT" per log line and "trace: TEXT" per debugger-output line.
// Carriage returns and line feeds inside texts are shown as \r and \n. Exit code 0, or 2 on bad usage.
#include <windows.h>
#include <aclapi.h>
#include <ole2.h>
#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "log/Log.h"
#include "log/win32/Win32Log.h"
#include "platform/win32/SafeFolders.h"
#include "system/DriverStore.h"
#include "system/HashList.h"
#include "system/InstalledSoftware.h"
#include "system/PayloadExtractor.h"
#include "system/ProcessControl.h"
#include "system/SignerRules.h"
#include "system/win32/Win32Downloader.h"
#include "system/win32/Win32FileSystem.h"
#include "system/win32/Win32InstallerTrust.h"
#include "system/win32/Win32Processes.h"
#include "system/win32/Win32Registry.h"
#include "system/win32/Win32Resources.h"
#include "system/win32/Win32Services.h"
#include "system/win32/Win32SystemInfo.h"

namespace {

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void Print(const std::string& line) { std::printf("%s\n", Escape(line).c_str()); }
void Print(const std::string& label, const std::wstring& text) { Print(label + ToUtf8(text)); }

// The log's files in memory: lines are kept and printed at the end instead of going to a file.
class CapturedLogFiles : public ILogFiles {
public:
    std::string content;
    std::wstring TempFolder() override { return L"C:\\probe\\"; }
    bool OpenFolderSafely(const std::wstring&, bool) override { return true; }
    std::string ToNarrow(const std::wstring& text) override { return real_.ToNarrow(text); }
    bool Append(const std::wstring&, const std::string& bytes) override
    {
        content += bytes;
        return true;
    }
    bool CreationTime(const std::wstring&, LocalTime&) override { return false; }
    bool StampCreationTime(const std::wstring&) override { return true; }
    bool Move(const std::wstring&, const std::wstring&) override { return false; }
    bool List(const std::wstring&, std::vector<FileEntry>&) override { return false; }
    bool Delete(const std::wstring&) override { return false; }

private:
    Win32LogFiles real_;
};

class CapturedTrace : public IDebugOutput {
public:
    std::vector<std::string> lines;
    void Write(const std::string& text) override { lines.push_back(text); }
    void Write(const std::wstring& text) override { lines.push_back(ToUtf8(text)); }
};

// "MM-DD hh:mm:ss TAG<padding> TEXT\r\n" becomes "log: TAG|TEXT".
void PrintLog(const std::string& content)
{
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        if (end == std::string::npos) end = content.size();
        const std::string line = content.substr(start, end - start);
        start = end + 2;
        if (line.size() < 15) continue;
        const size_t tagEnd = line.find(' ', 15);
        const std::string tag = line.substr(15, tagEnd == std::string::npos ? std::string::npos : tagEnd - 15);
        const size_t textStart = 15 + (tag.size() < 20 ? 20 : tag.size()) + 1;
        std::printf("log: %s|%s\n", tag.c_str(), textStart < line.size() ? line.substr(textStart).c_str() : "");
    }
}

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

int Usage()
{
    std::fprintf(stderr, "usage: systemprobe COMMAND [ARGUMENT...] (see the source's header)\n");
    return 2;
}

HMODULE LoadAsData(const std::wstring& path)
{
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) Print("cannot load " + ToUtf8(path) + ": " + std::to_string(GetLastError()));
    return module;
}

int Extract(const std::vector<std::wstring>& args)
{
    if (args.size() < 4) return Usage();
    HMODULE module = LoadAsData(args[1]);
    if (!module) return 1;
    {
        Win32Resources resources(module);
        Win32FileSystem files;
        Win32Downloader downloader;
        Win32InstallerTrust trust;
        CInstallerVerifier verifier(trust, PrerequisiteTrustPolicy{});
        CBinaryResourceExtractor extractor(resources, files, downloader, verifier);
        for (size_t i = 3; i < args.size(); ++i) {
            const size_t equals = args[i].find(L'=');
            if (equals == std::wstring::npos) return Usage();
            const uint16_t id = static_cast<uint16_t>(std::stoul(args[i].substr(0, equals)));
            const std::wstring name = args[i].substr(equals + 1);
            const std::wstring path = extractor.ExtractResource(L"BIN", id, name);
            Print("ExtractResource " + std::to_string(id) + ": ", path);
            if (!CopyFileW(path.c_str(), (args[2] + L"\\" + name).c_str(), FALSE)) Print("copy failed: " + std::to_string(GetLastError()));
        }
    }
    FreeLibrary(module);
    return 0;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring Utf16(const std::u32string& text)
{
    std::wstring out;
    for (char32_t c : text) {
        if (c > 0xFFFF) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

// The verification options in front of the obtain arguments; false (after a message) when they are bad.
bool TakePolicy(std::vector<std::wstring>& args, PrerequisiteTrustPolicy& policy)
{
    std::vector<std::string> pairs;
    while (args.size() > 2 && (args[1] == L"--hashes" || args[1] == L"--signer")) {
        if (args[1] == L"--signer") {
            pairs.push_back(ToUtf8(args[2]));
        } else {
            std::string text;
            if (FILE* list = _wfopen(args[2].c_str(), L"rb")) {
                char buffer[4096];
                size_t count = 0;
                while ((count = std::fread(buffer, 1, sizeof buffer, list)) > 0) text.append(buffer, count);
                std::fclose(list);
            }
            const HashList parsed = ParseHashList(text);
            if (!parsed.Ok()) {
                Print("hash list: " + parsed.error);
                return false;
            }
            policy.hashListGiven = true;
            for (const HashListEntry& entry : parsed.entries) policy.hashes.push_back({Widen(entry.fileName), entry.sha256});
        }
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    const SignerRules signers = ParseSignerRules(pairs);
    if (!signers.Ok()) {
        Print("signers: " + signers.error);
        return false;
    }
    for (const SignerRule& rule : signers.rules) policy.signers.push_back({Widen(rule.fileName), Utf16(rule.signer)});
    return true;
}

int Obtain(std::vector<std::wstring> args)
{
    PrerequisiteTrustPolicy policy;
    if (!TakePolicy(args, policy)) return 2;
    if (args.size() < 6) return Usage();
    HMODULE module = LoadAsData(args[1]);
    if (!module) return 1;
    {
        Win32Resources resources(module);
        Win32FileSystem files;
        Win32Downloader downloader;
        Win32InstallerTrust trust;
        CInstallerVerifier verifier(trust, policy);
        CBinaryResourceExtractor extractor(resources, files, downloader, verifier);
        if (args[2] != L"-") extractor.localRedistFolder = args[2];
        std::wstring resultPath, errorText;
        VerifiedFile installer;
        const uint32_t hr = extractor.ObtainPayload(resultPath, errorText, args[3], args[4], args[5], installer);
        Print("ObtainPayload: " + Hex(hr));
        Print("resultPath: ", resultPath);
        Print("errorText: ", errorText);
        Print("filesToDelete: " + std::to_string(extractor.filesToDelete.size()));
        if (installer.IsOpen()) {
            HANDLE writer = CreateFileW(resultPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
            Print("open for writing while held: " + std::to_string(writer == INVALID_HANDLE_VALUE ? GetLastError() : 0));
            if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        }
        if (args.size() > 6 && !resultPath.empty()) {
            const std::wstring slash = resultPath.substr(resultPath.rfind(L'\\'));
            if (!CopyFileW(resultPath.c_str(), (args[6] + slash).c_str(), FALSE)) Print("copy failed: " + std::to_string(GetLastError()));
        }
        installer.Close();
    }
    FreeLibrary(module);
    return 0;
}

int AddRootCertificate(const std::wstring& path)
{
    std::vector<unsigned char> der;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        unsigned char buffer[4096];
        size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) der.insert(der.end(), buffer, buffer + count);
        std::fclose(file);
    }
    using AddFn = BOOL(WINAPI*)(LPCWSTR, const BYTE*, DWORD);
    HMODULE crypt32 = LoadLibraryExW(L"crypt32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    AddFn add = crypt32 ? reinterpret_cast<AddFn>(reinterpret_cast<void*>(
                              GetProcAddress(crypt32, "CertAddEncodedCertificateToSystemStoreW")))
                        : nullptr;
    const BOOL added = add && !der.empty() && add(L"Root", der.data(), static_cast<DWORD>(der.size()));
    Print("CertAddEncodedCertificateToSystemStore: " + std::to_string(added != FALSE));
    return 0;
}

int Trust(const std::wstring& path)
{
    Win32InstallerTrust trust;
    TrustFileHandle file = 0;
    std::wstring resolved, signer;
    const uint32_t open = trust.OpenForVerification(path, file, resolved);
    Print("OpenForVerification: " + std::to_string(open));
    if (open != 0) return 0;
    Print("resolvedPath: ", resolved);
    const uint32_t result = trust.CheckSignature(file, path, signer);
    Print("CheckSignature: " + Hex(result) + " signer=" + ToUtf8(signer));
    trust.Close(file);
    return 0;
}

// "protected: 0|1", "aces: N", then one "ace: allow|deny SID mask flags" line per entry.
void PrintDacl(PSECURITY_DESCRIPTOR descriptor, PACL dacl)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    Print("protected: " + std::to_string((control & SE_DACL_PROTECTED) != 0));
    Print("aces: " + std::to_string(dacl ? dacl->AceCount : 0));
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
        const bool allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
        const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        LPWSTR sid = nullptr;
        ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &sid);
        char rest[64];
        std::snprintf(rest, sizeof rest, " 0x%08lx 0x%02x", static_cast<unsigned long>(ace->Mask), header->AceFlags);
        Print(std::string("ace: ") + (allow ? "allow " : "deny ") + ToUtf8(sid ? sid : L"?") + rest);
        if (sid) LocalFree(sid);
    }
}

void PrintNamedDacl(const std::wstring& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                              nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        Print("GetNamedSecurityInfoW failed: " + std::to_string(error));
        return;
    }
    PrintDacl(descriptor, dacl);
    LocalFree(descriptor);
}

int Run(const std::vector<std::wstring>& args)
{
    const std::wstring& command = args[0];
    Win32Registry registry;
    Win32FileSystem files;
    Win32ProcessList processes;
    Win32Services services;
    if (command == L"baseurl") {
        Print("DownloadBaseUrl: ", DownloadBaseUrl);
    } else if (command == L"x64") {
        Win32SystemInfo info;
        Print("IsX64Windows: " + std::to_string(info.IsX64Windows()));
    } else if (command == L"ghostscript" && args.size() == 2) {
        Print("IsGhostscriptInstalled: " + std::to_string(IsGhostscriptInstalled(registry, files, args[1])));
    } else if (command == L"edocprintpro") {
        Print("IsEDocPrintProInstalled: " + std::to_string(IsEDocPrintProInstalled(registry, files)));
    } else if (command == L"uninstall-version" && args.size() == 2) {
        uint32_t version = 0;
        std::wstring text;
        const bool found = FindUninstallEntryVersion(registry, args[1], version, text);
        Print("FindUninstallEntryVersion: " + std::to_string(found) + " version=" + Hex(version) + " text=" + ToUtf8(text));
    } else if (command == L"legacy-gs" && args.size() == 2) {
        std::vector<LegacyGhostscriptEntry> entries;
        bool anyOlder = false;
        const bool ok = CollectLegacyGhostscript(registry, args[1], entries, anyOlder);
        Print("CollectLegacyGhostscript: " + std::to_string(ok) + " anyOlder=" + std::to_string(anyOlder));
        for (const LegacyGhostscriptEntry& e : entries) {
            char version[32];
            std::snprintf(version, sizeof version, "%g", static_cast<double>(e.version));
            Print("entry: " + ToUtf8(e.versionText) + "|" + ToUtf8(e.displayName) + "|" + ToUtf8(e.uninstallCommand) + "|" +
                  ToUtf8(e.productCode) + "|older=" + std::to_string(e.isOlder) + "|version=" + version);
        }
    } else if (command == L"read-string" && args.size() == 3) {
        RegKey key = 0;
        std::wstring value;
        bool ok = false;
        if (registry.OpenKey(kRegLocalMachine, args[1], false, key) == 0) {
            ok = ReadRegistryString(registry, key, args[2], value);
            registry.CloseKey(key);
        }
        Print("ReadRegistryString: " + std::to_string(ok) + " value=" + ToUtf8(value));
    } else if (command == L"extract") {
        return Extract(args);
    } else if (command == L"obtain") {
        return Obtain(args);
    } else if (command == L"trust" && args.size() == 2) {
        return Trust(args[1]);
    } else if (command == L"add-root-certificate" && args.size() == 2) {
        return AddRootCertificate(args[1]);
    } else if (command == L"download" && args.size() == 3) {
        Win32Downloader downloader;
        DownloadReport report;
        Print("Download: " + Hex(downloader.Download(args[1], args[2], 0, report)));
    } else if (command == L"find-process" && args.size() == 2) {
        uint32_t id = 0;
        const std::string name = ToUtf8(args[1]);
        const bool found = FindProcessByName(processes, name.c_str(), id);
        Print("FindProcessByName: " + std::to_string(found) + " id=" + std::to_string(id));
    } else if (command == L"terminate-clients") {
        TerminateClientProcesses(processes);
    } else if (command == L"service" && args.size() >= 3) {
        for (size_t i = 2; i < args.size(); ++i) {
            if (args[i] != L"start" && args[i] != L"stop") return Usage();
            StartStopService(services, args[1], args[i] == L"start");
        }
    } else if (command == L"semaphore") {
        HANDLE semaphore = OpenSemaphoreW(SYNCHRONIZE, FALSE, L"KvDiDeraveRunning");
        Print("KvDiDeraveRunning: " + std::to_string(semaphore != nullptr));
        if (semaphore) CloseHandle(semaphore);
    } else if (command == L"post-term-request") {
        const UINT message = RegisterWindowMessageW(L"TermKvDiDeraveReq");
        Print("PostMessage: " + std::to_string(PostMessageW(HWND_BROADCAST, message, 0, 0) != FALSE));
    } else if (command == L"dacl" && args.size() == 2) {
        PrintNamedDacl(args[1]);
    } else if (command == L"private-descriptor") {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateFolderSddl, SDDL_REVISION_1, &descriptor,
                                                                  nullptr)) {
            Print("descriptor failed: " + std::to_string(GetLastError()));
            return 1;
        }
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
        PrintDacl(descriptor, dacl);
        LocalFree(descriptor);
    } else if (command == L"private-folder" && args.size() == 2) {
        Print("Win32CreatePrivateFolder: " + std::to_string(Win32CreatePrivateFolder(args[1])));
        PrintNamedDacl(args[1]);
    } else if (command == L"repair-driver-store") {
        RepairSnomD7DriverStore(registry, true);
    } else {
        return Usage();
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return Usage();
    std::vector<std::wstring> args(argv + 1, argv + argc);
    OleInitialize(nullptr);
    Win32Clock clock;
    CapturedLogFiles logFiles;
    LogSetPlatform(&logFiles, &clock);
    LogInitialize(L"SystemProbe");
    CapturedTrace trace;
    SetDebugOutput(&trace);

    const int code = Run(args);

    SetDebugOutput(nullptr);
    PrintLog(logFiles.content);
    for (const std::string& line : trace.lines) Print("trace: " + line);
    std::fflush(stdout);
    OleUninitialize();
    return code;
}
