// Related-product detection: reads the package's Upgrade table and matches the installed products of each
// upgrade code against the row's version range.
#include "package/RelatedProducts.h"

#include <climits>

#include "log/DebugTrace.h"
#include "log/TextFormat.h"

namespace {

constexpr uint32_t kColumnNameChars = 256;
constexpr uint32_t kColumnTypeChars = 256;
constexpr uint32_t kCellChars = 250;
constexpr uint32_t kProductNameChars = 1000;
constexpr uint32_t kVersionChars = 100;
constexpr uint32_t kLanguageChars = 100;

constexpr int kTypeString = 0;
constexpr int kTypeInteger = 1;
constexpr int kTypeBinary = 2;
constexpr int kTypeOther = 3;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring Trim(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The part's leading decimal number with an optional sign, clamped to the signed 32-bit range; 0 without digits.
int32_t PartValue(const std::wstring& part)
{
    size_t i = 0;
    bool negative = false;
    if (i < part.size() && (part[i] == L'+' || part[i] == L'-')) {
        negative = part[i] == L'-';
        ++i;
    }
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < part.size() && part[i] >= L'0' && part[i] <= L'9'; ++i) {
        value = value * 10 + (part[i] - L'0');
        if (value > limit) value = limit;  // stays saturated for any further digits
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int ColumnTypeCode(const std::wstring& typeText)
{
    if (typeText.empty()) return kTypeOther;
    switch (typeText[0]) {
    case L's': case L'S': case L'l': case L'L': return kTypeString;
    case L'i': case L'I': return kTypeInteger;
    case L'v': case L'V': return kTypeBinary;
    default: return kTypeOther;
    }
}

// A string cell read with the table's cell buffer; a cell that does not fit, or cannot be read, is empty.
std::wstring ReadCell(IMsiApi& msi, MsiHandle record, uint32_t field)
{
    std::wstring value;
    if (msi.RecordGetString(record, field, kCellChars, value) != kMsiSuccess) value.clear();
    return value;
}

struct Column {
    std::wstring name;
    int type = kTypeOther;
};

// The column numbers (from 1) of the five columns the detection needs; 0 = not found.
struct UpgradeColumns {
    uint32_t upgradeCode = 0;
    uint32_t versionMin = 0;
    uint32_t versionMax = 0;
    uint32_t attributes = 0;
    uint32_t actionProperty = 0;

    bool Complete() const { return upgradeCode && versionMin && versionMax && attributes && actionProperty; }
};

// Reads the names and type codes of the view's columns; false when the column information cannot be had.
bool ReadColumns(IMsiApi& msi, MsiHandle view, std::vector<Column>& columns)
{
    DebugTrace("Get column names");
    MsiHandleGuard names(msi);
    if (msi.ViewGetColumnInfo(view, 0, names.Receive()) != kMsiSuccess) return false;
    const uint32_t count = msi.RecordFieldCount(names.get());
    DebugTrace(FormatInserts(L"Column count: %1!d!", {count}));
    for (uint32_t i = 1; i <= count; ++i) {
        Column column;
        if (msi.RecordGetString(names.get(), i, kColumnNameChars, column.name) != kMsiSuccess) return false;
        columns.push_back(column);
    }
    names.Close();

    DebugTrace("Get column types");
    MsiHandleGuard types(msi);
    if (msi.ViewGetColumnInfo(view, 1, types.Receive()) != kMsiSuccess) return false;
    for (uint32_t i = 1; i <= count; ++i) {
        std::wstring typeText;
        // A type that cannot be read leaves the column as "other", so it cannot serve as a required column.
        if (msi.RecordGetString(types.get(), i, kColumnTypeChars, typeText) == kMsiSuccess) {
            columns[i - 1].type = ColumnTypeCode(typeText);
        }
    }
    return true;
}

UpgradeColumns FindUpgradeColumns(const std::vector<Column>& columns)
{
    UpgradeColumns found;
    for (uint32_t i = 1; i <= columns.size(); ++i) {
        const Column& c = columns[i - 1];
        DebugTrace(FormatInserts(L"Column name: %1!s!, type: %2!d!", {c.name, c.type}));
        if (c.name == L"UpgradeCode" && c.type == kTypeString) {
            if (!found.upgradeCode) found.upgradeCode = i;
        } else if (c.name == L"VersionMin" && c.type == kTypeString) {
            if (!found.versionMin) found.versionMin = i;
        } else if (c.name == L"VersionMax" && c.type == kTypeString) {
            if (!found.versionMax) found.versionMax = i;
        } else if (c.name == L"Attributes" && c.type == kTypeInteger) {
            if (!found.attributes) found.attributes = i;
        } else if (c.name == L"ActionProperty" && c.type == kTypeString) {
            if (!found.actionProperty) found.actionProperty = i;
        }
    }
    return found;
}

UpgradeEntry ReadUpgradeRow(IMsiApi& msi, MsiHandle row, const UpgradeColumns& columns)
{
    UpgradeEntry entry;
    entry.UpgradeCode = ReadCell(msi, row, columns.upgradeCode);
    entry.VersionMin = ReadCell(msi, row, columns.versionMin);
    entry.VersionMax = ReadCell(msi, row, columns.versionMax);
    entry.ActionProperty = ReadCell(msi, row, columns.actionProperty);
    entry.Attributes = msi.RecordGetInteger(row, columns.attributes);
    entry.minVersion = ParseVersionTriple(entry.VersionMin);
    entry.maxVersion = ParseVersionTriple(entry.VersionMax);
    return entry;
}

void TraceUpgradeEntry(const UpgradeEntry& e)
{
    DebugTrace(FormatInserts(
        L"Upgrade: %1!s!, min: %2!s!, max: %3!s!, attributes: %4!d!, action property: %5!s!, value: %6!s!",
        {e.UpgradeCode, e.VersionMin, e.VersionMax, e.Attributes, e.ActionProperty, e.propertyValue}));
    DebugTrace(FormatInserts(L"Min: %1!d!.%2!d!.%3!d!, max: %4!d!.%5!d!.%6!d!",
                             {e.minVersion.major, e.minVersion.minor, e.minVersion.build, e.maxVersion.major,
                              e.maxVersion.minor, e.maxVersion.build}));
}

// The version-match rules of an Upgrade row; the first rule that applies decides. Returns the trace
// message of the matching rule, or nullptr when the version is outside the row's range.
const char* MatchVersion(const UpgradeEntry& entry, const VersionTriple& cur)
{
    const VersionTriple& min = entry.minVersion;
    const VersionTriple& max = entry.maxVersion;
    const bool minIncl = (entry.Attributes & 0x100) != 0;
    const bool maxIncl = (entry.Attributes & 0x200) != 0;
    const bool minGiven = !min.Absent();
    const bool maxGiven = !max.Absent();

    if (minGiven && maxGiven) {
        if (minIncl && maxIncl && cur == min && cur == max) return "Version match: current == min == max";
        if (minIncl && cur == min) return "Version match: current == min";
        if (maxIncl && cur == max) return "Version match: current == max";
        if (min < cur && cur < max) return "Version match: min < current < max";
        return nullptr;
    }
    if (minGiven) {
        if (minIncl && cur == min) return "Version match: current == min";
        if (cur > min) return "Version match: current > min";
        return nullptr;
    }
    if (maxGiven) {
        if (maxIncl && cur == max) return "Version match: current == max";
        if (cur < max) return "Version match: current < max";
        return nullptr;
    }
    return "Version match: detect any version";
}

void AddProductCode(ActionPropertyMap& properties, const std::wstring& name, const std::wstring& productCode)
{
    auto it = properties.find(name);
    if (it == properties.end()) {
        DebugTrace("Add new action property");
        properties[name] = ActionPropertyEntry{name, productCode, true};
        return;
    }
    ActionPropertyEntry& entry = it->second;
    if (entry.value.find(productCode) != std::wstring::npos) {
        DebugTrace("Existing prodcut already listed in action property -> ignore");
        return;
    }
    DebugTrace("Add product ID to existing action property");
    if (!entry.value.empty()) entry.value += L';';
    entry.value += productCode;
    entry.changed = true;
}

// Examines one installed product of the entry's upgrade code.
void ExamineProduct(IMsiApi& msi, const UpgradeEntry& entry, const std::wstring& productCode,
                    ActionPropertyMap& properties, std::vector<VersionTriple>& versions)
{
    DebugTrace(FormatInserts(L"Found installed related product: %1!s!", {productCode}));
    std::wstring name;
    if (msi.GetProductInfo(productCode, L"InstalledProductName", kProductNameChars, name) == kMsiSuccess) {
        DebugTrace(FormatInserts(L"Installed related product name: %1!s!", {name}));
    }
    // A product whose version cannot be read (or does not fit the buffer) is matched as version 0.0.0:
    // the same result an empty version text gives. Only a row without bounds, or one whose bounds admit
    // 0.0.0 (an upper bound alone), takes it, so a broken registration is never taken for the same or a
    // newer version, and an upgrade that Windows Installer itself would detect is still offered.
    std::wstring version;
    if (msi.GetProductInfo(productCode, L"VersionString", kVersionChars, version) == kMsiSuccess) {
        DebugTrace(FormatInserts(L"Installed related product version: %1!s!", {version}));
    } else {
        version.clear();
    }
    std::wstring language;
    if (msi.GetProductInfo(productCode, L"Language", kLanguageChars, language) == kMsiSuccess) {
        DebugTrace(FormatInserts(L"Installed related product language: %1!s!", {language}));
    } else {
        DebugTrace("Could not get installed product language");
    }

    const VersionTriple current = ParseVersionTriple(version);
    const char* match = MatchVersion(entry, current);
    if (!match) return;
    DebugTrace(match);
    versions.push_back(current);
    AddProductCode(properties, entry.ActionProperty, productCode);
}

}  // namespace

VersionTriple ParseVersionTriple(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size() && parts.size() < 3) {
        size_t dot = text.find(L'.', start);
        if (dot == std::wstring::npos) dot = text.size();
        if (dot > start) parts.push_back(Trim(text.substr(start, dot - start)));
        start = dot + 1;
    }
    VersionTriple v;
    if (parts.size() > 0) v.major = PartValue(parts[0]);
    if (parts.size() > 1) v.minor = PartValue(parts[1]);
    if (parts.size() > 2) v.build = PartValue(parts[2]);
    return v;
}

std::wstring FormatInstalledVersion(const VersionTriple& version)
{
    return FormatText(L"%d.%d.%d.%d", {version.major, version.minor, version.build / 1000, version.build % 1000});
}

uint32_t GetUpgradeTableEntries(IMsiApi& msi, MsiHandle database, std::vector<UpgradeEntry>& entries,
                                ActionPropertyMap& properties)
{
    DebugTrace("GetUpgradeTableEntries");
    DebugTrace("Get active database");
    if (database == 0) return 0;

    DebugTrace("Get upgrade table");
    MsiHandleGuard view(msi);
    if (msi.OpenView(database, L"SELECT * FROM Upgrade", view.Receive()) != kMsiSuccess) return 0;
    DebugTrace("Execute upgrade table view");
    if (msi.ViewExecute(view.get()) != kMsiSuccess) return 0;
    view.SetExecuted();

    std::vector<Column> columns;
    if (!ReadColumns(msi, view.get(), columns)) return 0;
    const UpgradeColumns found = FindUpgradeColumns(columns);
    if (!found.Complete()) return 0;

    for (;;) {
        MsiHandleGuard row(msi);
        if (msi.ViewFetch(view.get(), row.Receive()) != kMsiSuccess) break;
        UpgradeEntry entry = ReadUpgradeRow(msi, row.get(), found);
        entries.push_back(entry);
        TraceUpgradeEntry(entry);
        if (properties.find(entry.ActionProperty) == properties.end()) {
            DebugTrace(FormatInserts(L"Add to property map: %1!s! = %2!s!", {entry.ActionProperty, entry.propertyValue}));
            properties[entry.ActionProperty] = ActionPropertyEntry{entry.ActionProperty, entry.propertyValue, false};
        }
    }
    view.Close();
    DebugTrace("Done");
    return 0;
}

uint32_t FindRelatedProducts(IMsiApi& msi, const std::vector<UpgradeEntry>& entries, ActionPropertyMap& properties,
                             std::vector<VersionTriple>& versions)
{
    for (const UpgradeEntry& entry : entries) {
        DebugTrace(FormatInserts(L"Looking for: %1!s!, min: %2!s!, max: %3!s!, action property: %4!s!",
                                 {entry.UpgradeCode, entry.VersionMin, entry.VersionMax, entry.ActionProperty}));
        for (uint32_t index = 0;; ++index) {
            std::wstring productCode;
            if (msi.EnumRelatedProducts(entry.UpgradeCode, index, productCode) != kMsiSuccess) break;
            ExamineProduct(msi, entry, productCode, properties, versions);
        }
    }
    DebugTrace("Done");
    return 0;
}

InstallState DetectRelatedProducts(IMsiApi& msi, const std::wstring& packagePath, std::wstring& productCodes,
                                   std::vector<VersionTriple>& versions)
{
    productCodes.clear();
    versions.clear();

    std::vector<UpgradeEntry> entries;
    ActionPropertyMap properties;
    {
        MsiHandleGuard database(msi);
        if (msi.OpenDatabase(packagePath, database.Receive()) != kMsiSuccess) return PackageUnreadable;
        GetUpgradeTableEntries(msi, database.get(), entries, properties);
    }
    FindRelatedProducts(msi, entries, properties, versions);

    auto newer = properties.find(L"NEWERVERSIONDETECTED");
    if (newer != properties.end() && !newer->second.value.empty()) {
        productCodes = newer->second.value;
        return HigherVersionInstalled;
    }
    auto same = properties.find(L"SAMEVERSIONDETECTED");
    if (same != properties.end() && !same->second.value.empty()) {
        productCodes = same->second.value;
        return SameVersionInstalled;
    }
    bool any = false;
    for (const auto& [name, entry] : properties) {
        if (entry.value.empty()) continue;
        if (any) productCodes += L';';
        productCodes += entry.value;
        any = true;
    }
    return any ? LowerVersionInstalled : NotInstalled;
}
