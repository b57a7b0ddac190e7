// What the process leaves behind when it dies of an unhandled exception: the last log line, the name of its
// minidump and the choice of old minidumps to remove. Composing the line and the name allocates nothing: the
// exception filter runs them with a heap that may be damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "log/LogPlatform.h"

// The tag of the last log line.
extern const wchar_t* const kCrashTag;

// Characters of the buffer for the whole line (time stamp, tag, text, CR LF and terminator).
constexpr size_t kCrashLineChars = 640;
// Characters of the buffer for a minidump's file name, terminator included.
constexpr size_t kDumpNameChars = 64;
// Minidumps kept in the log folder, the one of the crash included.
constexpr size_t kDumpsKept = 3;

// The loaded modules, as the exception filter can ask for them. Implementations allocate nothing.
class ICrashModules {
public:
    virtual ~ICrashModules() = default;
    // The module that holds address: its base address and its full path (valid until the next call).
    virtual bool ModuleAt(uintptr_t address, uintptr_t& base, const wchar_t*& path) = 0;
};

// What the exception filter knows about the exception.
struct CrashFacts {
    uint32_t code = 0;
    uintptr_t address = 0;        // where the exception happened
    uintptr_t returnAddress = 0;  // the value on top of the stack (0 when it could not be read)
    LocalTime time;
};

// Writes the whole log line as the log would write "Unhandled exception %x at %s+%x" with the code, the module's
// file name and the offset in it (time stamp, tag padded to 20, text, CR LF) into out (capacity characters,
// terminator included) and returns its length; a line that does not fit is cut before its CR LF.
// The module is the one that holds the exception's address. An address outside every module (a call through a
// null or stale function pointer) names the module of the return address on top of the stack, the caller;
// when that is outside every module too, the module reads "?" and the offset is the address itself.
size_t ComposeCrashLine(wchar_t* out, size_t capacity, const CrashFacts& facts, ICrashModules& modules);

// Writes the minidump's file name, "Setup-YYYYMMDD-hhmmss-<process id>.dmp", into out (capacity characters,
// terminator included) and returns its length.
size_t ComposeDumpName(wchar_t* out, size_t capacity, const LocalTime& time, uint32_t processId);

// The pattern of the minidumps' file names in the log folder.
extern const wchar_t* const kDumpPattern;  // "Setup-*.dmp"

// What a run does with the minidumps it finds at its start so that, with the one a crash would add, at most
// kDumpsKept remain: the newest kDumpsKept - 1 stay, the next one goes when a crash writes its minidump, the
// older ones go now. Newer means a later creation time, then (equal times) a greater name.
struct DumpPruning {
    std::vector<std::wstring> removeNow;
    std::wstring removeOnCrash;  // empty when there is room
};
DumpPruning PlanDumpPruning(std::vector<FileEntry> dumps);
