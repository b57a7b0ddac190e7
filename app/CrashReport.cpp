// What the process leaves behind when it dies of an unhandled exception: the last log line, the name of its
// minidump and the choice of old minidumps to remove.
#include "app/CrashReport.h"

#include <algorithm>
#include <cwchar>

const wchar_t* const kCrashTag = L"BootStrapper";
const wchar_t* const kDumpPattern = L"Setup-*.dmp";

namespace {

// Appends to a fixed buffer without allocating; what does not fit before `limit` characters is dropped.
class BoundedWriter {
public:
    BoundedWriter(wchar_t* out, size_t capacity)
        : out_(out), capacity_(capacity), limit_(capacity ? capacity - 1 : 0)
    {
    }

    void Limit(size_t reserve) { limit_ = capacity_ > reserve + 1 ? capacity_ - reserve - 1 : 0; }
    void Unlimit() { limit_ = capacity_ ? capacity_ - 1 : 0; }

    void Put(wchar_t c)
    {
        if (length_ < limit_) out_[length_++] = c;
    }
    void Text(const wchar_t* text)
    {
        while (*text) Put(*text++);
    }
    void Hex(uint64_t value)
    {
        wchar_t digits[16];
        size_t count = 0;
        do {
            digits[count++] = L"0123456789abcdef"[value & 0xF];
            value >>= 4;
        } while (value);
        while (count) Put(digits[--count]);
    }
    void Decimal(uint32_t value, size_t width)
    {
        wchar_t digits[10];
        size_t count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
            value /= 10;
        } while (value);
        for (size_t i = count; i < width; ++i) Put(L'0');
        while (count) Put(digits[--count]);
    }
    size_t Length() const { return length_; }
    size_t Finish()
    {
        if (capacity_) out_[length_] = 0;
        return length_;
    }

private:
    wchar_t* out_;
    size_t capacity_;
    size_t limit_;
    size_t length_ = 0;
};

const wchar_t* FileNameOf(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    return name;
}

uint32_t Field(int value) { return value < 0 ? 0u : static_cast<uint32_t>(value); }

bool Newer(const FileEntry& a, const FileEntry& b)
{
    if (a.creationTime != b.creationTime) return a.creationTime > b.creationTime;
    if (a.name != b.name) return a.name > b.name;
    return a.lastWriteTime > b.lastWriteTime;
}

}  // namespace

size_t ComposeCrashLine(wchar_t* out, size_t capacity, const CrashFacts& facts, ICrashModules& modules)
{
    uintptr_t where = facts.address;
    uintptr_t base = 0;
    const wchar_t* path = nullptr;
    bool found = modules.ModuleAt(where, base, path);
    if (!found && facts.returnAddress) {
        where = facts.returnAddress;
        found = modules.ModuleAt(where, base, path);
    }
    if (!found) {
        where = facts.address;
        base = 0;
    }

    BoundedWriter w(out, capacity);
    w.Limit(2);  // room for CR LF
    const LocalTime& t = facts.time;
    w.Decimal(Field(t.month), 2);
    w.Put(L'-');
    w.Decimal(Field(t.day), 2);
    w.Put(L' ');
    w.Decimal(Field(t.hour), 2);
    w.Put(L':');
    w.Decimal(Field(t.minute), 2);
    w.Put(L':');
    w.Decimal(Field(t.second), 2);
    w.Put(L' ');
    w.Text(kCrashTag);
    for (size_t i = std::wcslen(kCrashTag); i < 20; ++i) w.Put(L' ');
    w.Put(L' ');
    w.Text(L"Unhandled exception ");
    w.Hex(facts.code);
    w.Text(L" at ");
    w.Text(found && path ? FileNameOf(path) : L"?");
    w.Put(L'+');
    w.Hex(where - base);
    w.Unlimit();
    w.Text(L"\r\n");
    return w.Finish();
}

size_t ComposeDumpName(wchar_t* out, size_t capacity, const LocalTime& time, uint32_t processId)
{
    BoundedWriter w(out, capacity);
    w.Text(L"Setup-");
    w.Decimal(Field(time.year), 4);
    w.Decimal(Field(time.month), 2);
    w.Decimal(Field(time.day), 2);
    w.Put(L'-');
    w.Decimal(Field(time.hour), 2);
    w.Decimal(Field(time.minute), 2);
    w.Decimal(Field(time.second), 2);
    w.Put(L'-');
    w.Decimal(processId, 1);
    w.Text(L".dmp");
    return w.Finish();
}

DumpPruning PlanDumpPruning(std::vector<FileEntry> dumps)
{
    std::sort(dumps.begin(), dumps.end(), Newer);
    DumpPruning plan;
    for (size_t i = kDumpsKept - 1; i < dumps.size(); ++i) {
        if (i == kDumpsKept - 1) plan.removeOnCrash = dumps[i].name;
        else plan.removeNow.push_back(dumps[i].name);
    }
    return plan;
}
