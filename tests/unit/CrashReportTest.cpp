// Tests of what a crash leaves behind: the last log line from a module table, the minidump's name, which old
// minidumps go, and that composing allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/CrashReport.h"
#include "support/FakeLogPlatform.h"

// Counts the allocations of the whole test program, so that a test can show that code between two readings
// allocated nothing.
namespace {
std::atomic<size_t> g_allocations{0};
}

void* operator new(size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    ++g_allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
// Every form is replaced, so that no allocation of the program (the sanitizers' own operators included) is
// freed by a function other than the one that matches it.
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

struct FakeModule {
    uintptr_t base;
    uintptr_t size;
    const wchar_t* path;
};

class FakeModuleTable : public ICrashModules {
public:
    std::vector<FakeModule> modules = {
        {0x140000000, 0x26b000, L"C:\\Media\\Setup.exe"},
        {0x170000000, 0x361000, L"C:\\windows\\system32\\ntdll.dll"},
        {0x392c60000, 0x627000, L"C:\\windows\\system32\\msi.dll"},
        {0x7b000000, 0x5e5000, L"kernelbase.dll"},
        {0x10000000, 0x1000, L"\\\\?\\C:/Program Files/Hook/inject.dll"},
    };
    bool ModuleAt(uintptr_t address, uintptr_t& base, const wchar_t*& path) override
    {
        for (const FakeModule& m : modules) {
            if (address >= m.base && address - m.base < m.size) {
                base = m.base;
                path = m.path;
                return true;
            }
        }
        return false;
    }
};

std::wstring Line(const CrashFacts& facts, ICrashModules& modules, size_t capacity = kCrashLineChars)
{
    std::vector<wchar_t> buffer(capacity, L'#');
    const size_t length = ComposeCrashLine(buffer.data(), capacity, facts, modules);
    EXPECT_EQ(buffer[length], L'\0');
    return std::wstring(buffer.data(), length);
}

struct LineCase {
    const char* name;
    uint32_t code;
    uintptr_t address;
    uintptr_t returnAddress;
    const wchar_t* text;
};

TEST(CrashReport, LineNamesTheModuleAndTheOffsetOfTheFault)
{
    const LineCase cases[] = {
        {"fault inside msi.dll", 0xC0000005, 0x392c8e44d, 0, L"Unhandled exception c0000005 at msi.dll+2e44d"},
        {"the stack's top is not looked at when the fault is in a module", 0xC0000005, 0x392c8e44d, 0x140001000,
         L"Unhandled exception c0000005 at msi.dll+2e44d"},
        {"call through a null pointer: the caller in msi.dll", 0xC0000005, 0, 0x392c8e450,
         L"Unhandled exception c0000005 at msi.dll+2e450"},
        {"jump into freed memory from Setup.exe", 0xC0000005, 0x5000000, 0x140012345,
         L"Unhandled exception c0000005 at Setup.exe+12345"},
        {"first byte of a module", 0x80000003, 0x170000000, 0, L"Unhandled exception 80000003 at ntdll.dll+0"},
        {"last byte of a module", 0xC00000FD, 0x7b5e4fff, 0, L"Unhandled exception c00000fd at kernelbase.dll+5e4fff"},
        {"a path with forward slashes", 0xC0000409, 0x10000010, 0, L"Unhandled exception c0000409 at inject.dll+10"},
        {"nothing known: the address itself", 0xC0000005, 0x7ff612345678, 0x5000000,
         L"Unhandled exception c0000005 at ?+7ff612345678"},
        {"null address and nothing on the stack", 0xC0000005, 0, 0, L"Unhandled exception c0000005 at ?+0"},
    };
    FakeModuleTable table;
    CrashFacts facts;
    facts.time = {2026, 3, 5, 14, 7, 9};
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        facts.code = c.code;
        facts.address = c.address;
        facts.returnAddress = c.returnAddress;
        EXPECT_EQ(Line(facts, table), std::wstring(L"03-05 14:07:09 BootStrapper         ") + c.text + L"\r\n");
    }
}

TEST(CrashReport, LineIsTheOneTheLogWritesForTheSameText)
{
    LogFixture log;
    log.Initialize();
    log.clock.now = {2026, 12, 31, 23, 59, 58};
    LogFormat(kCrashTag, L"Unhandled exception %x at %s+%x", 0xC0000005u, L"msi.dll", 0x2e450u);

    FakeModuleTable table;
    CrashFacts facts;
    facts.code = 0xC0000005;
    facts.returnAddress = 0x392c8e450;
    facts.time = log.clock.now;
    const std::wstring line = Line(facts, table);
    EXPECT_EQ(log.Content(), std::string(line.begin(), line.end()));
}

TEST(CrashReport, LineStaysInItsBufferAndEndsWithCrLf)
{
    FakeModuleTable table;
    const std::wstring longPath = L"C:\\" + std::wstring(2000, L'x') + L".dll";
    table.modules.push_back({0x20000000, 0x1000, longPath.c_str()});
    CrashFacts facts;
    facts.code = 0xC0000005;
    facts.address = 0x20000010;
    const std::wstring full = Line(facts, table);
    EXPECT_EQ(full.size(), kCrashLineChars - 1);
    EXPECT_EQ(full.substr(full.size() - 2), L"\r\n");

    const std::wstring small = Line(facts, table, 20);
    EXPECT_EQ(small, L"00-00 00:00:00 Bo\r\n");
    EXPECT_EQ(Line(facts, table, 1), L"");
}

TEST(CrashReport, ComposingTheLineAndTheDumpNameAllocatesNothing)
{
    FakeModuleTable table;
    CrashFacts facts;
    facts.code = 0xC0000005;
    facts.returnAddress = 0x392c8e450;
    wchar_t line[kCrashLineChars];
    wchar_t name[kDumpNameChars];
    const size_t before = g_allocations.load();
    const size_t lineLength = ComposeCrashLine(line, kCrashLineChars, facts, table);
    const size_t nameLength = ComposeDumpName(name, kDumpNameChars, facts.time, 4242);
    const size_t after = g_allocations.load();
    EXPECT_EQ(after, before);
    EXPECT_GT(lineLength, 0u);
    EXPECT_GT(nameLength, 0u);
    // The counter does count: one string of this size is allocated.
    std::wstring counted(100, L'x');
    EXPECT_GT(g_allocations.load(), after);
}

TEST(CrashReport, DumpNameCarriesTheTimeAndTheProcess)
{
    wchar_t name[kDumpNameChars];
    EXPECT_EQ(ComposeDumpName(name, kDumpNameChars, {2026, 3, 5, 14, 7, 9}, 264), 29u);
    EXPECT_EQ(std::wstring(name), L"Setup-20260305-140709-264.dmp");
    ComposeDumpName(name, kDumpNameChars, {2026, 12, 31, 23, 59, 59}, 4294967295u);
    EXPECT_EQ(std::wstring(name), L"Setup-20261231-235959-4294967295.dmp");
    EXPECT_EQ(ComposeDumpName(name, 7, {2026, 1, 2, 3, 4, 5}, 1), 6u);
    EXPECT_EQ(std::wstring(name), L"Setup-");
}

struct PruningCase {
    const char* name;
    std::vector<FileEntry> dumps;
    std::vector<std::wstring> removeNow;
    std::wstring removeOnCrash;
};

TEST(CrashReport, OldDumpsMakeRoomSoThatThreeRemainAfterACrash)
{
    const std::vector<PruningCase> cases = {
        {"none", {}, {}, L""},
        {"two: room for one more", {{L"Setup-a.dmp", 10, 10}, {L"Setup-b.dmp", 20, 20}}, {}, L""},
        {"three: the oldest goes with the next crash",
         {{L"Setup-b.dmp", 20, 20}, {L"Setup-c.dmp", 30, 30}, {L"Setup-a.dmp", 10, 10}},
         {},
         L"Setup-a.dmp"},
        {"five: the two oldest go now, the third oldest with the next crash",
         {{L"Setup-e.dmp", 50, 50},
          {L"Setup-a.dmp", 10, 10},
          {L"Setup-d.dmp", 40, 40},
          {L"Setup-b.dmp", 20, 20},
          {L"Setup-c.dmp", 30, 30}},
         {L"Setup-b.dmp", L"Setup-a.dmp"},
         L"Setup-c.dmp"},
        {"equal creation times: the smaller name is older",
         {{L"Setup-y.dmp", 10, 10}, {L"Setup-x.dmp", 10, 10}, {L"Setup-z.dmp", 10, 10}, {L"Setup-w.dmp", 5, 99}},
         {L"Setup-w.dmp"},
         L"Setup-x.dmp"},
        {"creation time counts before the name",
         {{L"Setup-20260101.dmp", 30, 30}, {L"Setup-20250101.dmp", 40, 40}, {L"Setup-20240101.dmp", 50, 50}},
         {},
         L"Setup-20260101.dmp"},
    };
    for (const PruningCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DumpPruning plan = PlanDumpPruning(c.dumps);
        EXPECT_EQ(plan.removeNow, c.removeNow);
        EXPECT_EQ(plan.removeOnCrash, c.removeOnCrash);
    }
}

}  // namespace
