// The process's unhandled-exception filter: one last log line, a minidump next to the log, and the exception code
// as the exit code.
//
// The filter runs when the heap may be damaged, so it allocates nothing: its buffers are static, the log file and
// its folder were opened before, dbghelp.dll was loaded before, and files are created relative to the open folder
// with NtCreateFile (a path would have to be converted on the process heap first).
#include "app/win32/Win32CrashHandler.h"

#include <windows.h>
#include <winternl.h>
#include <dbghelp.h>

#include <cwchar>
#include <vector>

#include "app/CrashReport.h"
#include "log/win32/Win32Log.h"

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Stacks, the module list and the threads' information: enough to see where and how it died.
constexpr MINIDUMP_TYPE kDumpType = static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo);

// Everything the filter touches, reserved with the program.
struct CrashState {
    volatile LONG entered;
    volatile DWORD reportingThread;
    DWORD code;
    HANDLE volatile logFile;
    HANDLE logFolder;
    HANDLE volatile oldDump;  // removed when a crash writes its minidump
    MiniDumpWriteDumpFunction writeDump;
    wchar_t modulePath[MAX_PATH + 1];
    wchar_t line[kCrashLineChars];
    char narrow[kCrashLineChars * 4];
    wchar_t dumpName[kDumpNameChars];
};
CrashState g;

class Win32CrashModules : public ICrashModules {
public:
    bool ModuleAt(uintptr_t address, uintptr_t& base, const wchar_t*& path) override
    {
        if (address == 0) return false;
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(address), &module))
            return false;
        const DWORD length = GetModuleFileNameW(module, g.modulePath, MAX_PATH + 1);
        g.modulePath[length <= MAX_PATH ? length : MAX_PATH] = 0;
        base = reinterpret_cast<uintptr_t>(module);
        path = g.modulePath;
        return true;
    }
};
Win32CrashModules g_modules;

// The folder the log was in when it was last opened; not used by the filter.
std::wstring g_logFolderPath;

// Opens or creates a file in a folder opened before, without a path conversion and without following a link.
HANDLE OpenInFolder(HANDLE folder, const wchar_t* name, ACCESS_MASK access, ULONG share, ULONG disposition)
{
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(name);
    unicodeName.Length = static_cast<USHORT>(std::wcslen(name) * sizeof(wchar_t));
    unicodeName.MaximumLength = unicodeName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status;
    HANDLE file = nullptr;
    const NTSTATUS result =
        NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                     disposition, FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                     nullptr, 0);
    return result >= 0 ? file : nullptr;
}

void DeleteAndClose(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(file);
}

// The value on top of the faulting thread's stack, read only when it lies in readable committed memory.
uintptr_t TopOfStack(const CONTEXT* context)
{
#if defined(_M_X64) || defined(__x86_64__)
    const uintptr_t sp = static_cast<uintptr_t>(context->Rsp);
#else
    const uintptr_t sp = static_cast<uintptr_t>(context->Esp);
#endif
    MEMORY_BASIC_INFORMATION region;
    if (!VirtualQuery(reinterpret_cast<const void*>(sp), &region, sizeof region)) return 0;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const uintptr_t end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (region.State != MEM_COMMIT || !(region.Protect & readable) || (region.Protect & PAGE_GUARD) ||
        end - sp < sizeof(uintptr_t))
        return 0;
    return *reinterpret_cast<const uintptr_t*>(sp);
}

void WriteLastLine(EXCEPTION_POINTERS* info, const LocalTime& now)
{
    HANDLE log = g.logFile;
    if (!log) return;
    CrashFacts facts;
    facts.code = info->ExceptionRecord->ExceptionCode;
    facts.address = reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress);
    facts.returnAddress = TopOfStack(info->ContextRecord);
    facts.time = now;
    const int length = static_cast<int>(ComposeCrashLine(g.line, kCrashLineChars, facts, g_modules));
    // As the log writes its lines: the ANSI code page, '?' for what it cannot represent.
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, g.line, length, g.narrow, sizeof g.narrow, "?",
                                   nullptr);
    if (size <= 0) size = WideCharToMultiByte(CP_ACP, 0, g.line, length, g.narrow, sizeof g.narrow, nullptr, nullptr);
    if (size <= 0) return;
    DWORD written = 0;
    WriteFile(log, g.narrow, static_cast<DWORD>(size), &written, nullptr);
}

void WriteMiniDump(EXCEPTION_POINTERS* info, const LocalTime& now)
{
    if (!g.writeDump || !g.logFolder) return;
    ComposeDumpName(g.dumpName, kDumpNameChars, now, GetCurrentProcessId());
    HANDLE dump = OpenInFolder(g.logFolder, g.dumpName, GENERIC_READ | GENERIC_WRITE | DELETE, 0, FILE_CREATE);
    if (!dump) return;
    MINIDUMP_EXCEPTION_INFORMATION exception = {GetCurrentThreadId(), info, FALSE};
    if (g.writeDump(GetCurrentProcess(), GetCurrentProcessId(), dump, kDumpType, &exception, nullptr, nullptr)) {
        CloseHandle(dump);
        if (HANDLE old = g.oldDump) DeleteAndClose(old);
    } else {
        DeleteAndClose(dump);
    }
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info)
{
    const DWORD self = GetCurrentThreadId();
    if (InterlockedCompareExchange(&g.entered, 1, 0) != 0) {
        // A fault while the report is written ends the process with the first code; a crash of another thread
        // waits for the reporting one to end the process.
        if (g.reportingThread == self) TerminateProcess(GetCurrentProcess(), g.code);
        for (;;) Sleep(INFINITE);
    }
    g.reportingThread = self;
    g.code = info->ExceptionRecord->ExceptionCode;
    // The log's own clock: GetLocalTime into a value, nothing allocated.
    const LocalTime now = Win32Clock().Now();
    WriteLastLine(info, now);
    WriteMiniDump(info, now);
    TerminateProcess(GetCurrentProcess(), g.code);
    return EXCEPTION_EXECUTE_HANDLER;
}

void CloseFolder()
{
    if (HANDLE old = g.oldDump) {
        g.oldDump = nullptr;
        CloseHandle(old);
    }
    if (g.logFolder) CloseHandle(g.logFolder);
    g.logFolder = nullptr;
}

// Opens the log folder for the filter; refuses a link or anything that is not a directory.
bool OpenFolder(const std::wstring& folder)
{
    HANDLE handle = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        return false;
    }
    g.logFolder = handle;
    return true;
}

// Removes the minidumps beyond the ones kept and holds the one a crash would push out.
void PruneDumps(const std::wstring& folder)
{
    std::vector<FileEntry> dumps;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\" + kDumpPattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        FileEntry entry;
        entry.name = data.cFileName;
        entry.creationTime = (static_cast<uint64_t>(data.ftCreationTime.dwHighDateTime) << 32) |
                             data.ftCreationTime.dwLowDateTime;
        entry.lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime;
        dumps.push_back(entry);
    } while (FindNextFileW(find, &data));
    FindClose(find);

    const DumpPruning plan = PlanDumpPruning(dumps);
    const ULONG shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    for (const std::wstring& name : plan.removeNow) {
        if (HANDLE old = OpenInFolder(g.logFolder, name.c_str(), DELETE, shareAll, FILE_OPEN)) DeleteAndClose(old);
    }
    if (!plan.removeOnCrash.empty())
        g.oldDump = OpenInFolder(g.logFolder, plan.removeOnCrash.c_str(), DELETE, shareAll, FILE_OPEN);
}

}  // namespace

Win32CrashHandler& Win32CrashHandler::Install()
{
    static Win32CrashHandler handler;
    static bool installed = false;
    if (installed) return handler;
    installed = true;
    SetUnhandledExceptionFilter(CrashFilter);
    // Room for the filter on the main thread's stack after a stack overflow.
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    // Without dbghelp.dll (not expected on Windows) a crash leaves the log line alone. Nothing is logged here: the
    // log is not open yet, and its first lines are the banner.
    HMODULE dbghelp = LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (dbghelp) {
        g.writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
        // Wine's MiniDumpWriteDump reads the debug information of every loaded module unless symbol loads are
        // deferred (measured for a crash in msi.dll: 36 s instead of 23 s); Windows' does not look at symbols.
        using GetOptions = DWORD(WINAPI*)();
        using SetOptions = DWORD(WINAPI*)(DWORD);
        auto getOptions =
            reinterpret_cast<GetOptions>(reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymGetOptions")));
        auto setOptions =
            reinterpret_cast<SetOptions>(reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymSetOptions")));
        if (getOptions && setOptions) setOptions(getOptions() | SYMOPT_DEFERRED_LOADS);
    }
    return handler;
}

void Win32CrashHandler::LogFileWritten(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return;
    const std::wstring folder = path.substr(0, slash);
    const std::wstring name = path.substr(slash + 1);

    if (!g.logFolder || g_logFolderPath != folder) {
        CloseFolder();
        g_logFolderPath = folder;
        if (OpenFolder(folder)) PruneDumps(folder);
    }
    HANDLE log = g.logFolder ? OpenInFolder(g.logFolder, name.c_str(), FILE_APPEND_DATA,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN)
                             : nullptr;
    HANDLE previous = g.logFile;
    g.logFile = log;
    if (previous) CloseHandle(previous);
}
