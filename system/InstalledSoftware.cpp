// Registry probes for installed software: Ghostscript, eDocPrintPro and uninstall entries.
#include "system/InstalledSoftware.h"

#include <cfloat>
#include <cmath>
#include <cwctype>

#include "log/Log.h"

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const wchar_t* const kTag = L"InstallController";

// Buffer sizes of the fixed-size reads: a path value of 260 characters, a subkey name of 200.
constexpr uint32_t kPathValueBytes = 520;
constexpr uint32_t kSubkeyNameChars = 200;

constexpr size_t kMsiDistributionPrefixChars = 32;  // "GPL Ghostscript MSI Distribution"

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

// Registry strings are UTF-16 little-endian; the text ends at the first zero unit or at the end of the data
// (a value stored without its terminator still reads in full, an odd last byte is dropped).
std::wstring DecodeRegistryText(const std::vector<uint8_t>& data)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const uint32_t unit = data[i] | (static_cast<uint32_t>(data[i + 1]) << 8);
        if (unit == 0) break;
        if (sizeof(wchar_t) >= 4 && unit >= 0xDC00 && unit <= 0xDFFF && !text.empty()) {
            const uint32_t high = static_cast<uint32_t>(text.back());
            if (high >= 0xD800 && high <= 0xDBFF) {
                text.back() = static_cast<wchar_t>(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                continue;
            }
        }
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

// Reads a path value into a buffer of 520 bytes. A value that does not fit is taken as missing rather
// than cut: a shortened path would name another file. A value that is not a string is missing as well.
std::wstring ReadPathValue(IRegistry& registry, RegKey key, const std::wstring& name)
{
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (registry.QueryValue(key, name, kPathValueBytes, type, data) != kErrorSuccess) return std::wstring();
    if (!IsStringType(type)) return std::wstring();
    return DecodeRegistryText(data);
}

wchar_t FoldCase(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

bool StartsWithIgnoreCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::wstring ToLower(std::wstring text)
{
    for (wchar_t& c : text) c = FoldCase(c);
    return text;
}

// The longest leading decimal number of a version text ("9.53.3" gives 9.53): optional blanks, digits,
// optionally a point and more digits. Signs, exponents, hexadecimal and "inf"/"nan" are not numbers here.
// False when there is no leading number or it does not fit a float.
bool ParseLeadingNumber(const std::wstring& text, float& value)
{
    // Read by hand: strtod would link the C library's whole decimal conversion into Setup.exe. The digits
    // make an integer and the point a power of ten to divide by; both are exact up to 15 digits and 22
    // decimals, so every version number gets strtod's value (one rounding). Longer numbers may differ from
    // it in the last bit of the double.
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    auto isDigit = [&text](size_t at) { return at < text.size() && text[at] >= L'0' && text[at] <= L'9'; };
    const size_t start = i;
    double digits = 0;
    double scale = 1;
    for (; isDigit(i); ++i) digits = digits * 10 + (text[i] - L'0');
    if (i < text.size() && text[i] == L'.' && isDigit(i + 1)) {
        for (++i; isDigit(i); ++i) {
            digits = digits * 10 + (text[i] - L'0');
            scale *= 10;
        }
    }
    if (i == start) return false;
    const double parsed = digits / scale;
    // Too large for a float, too many digits for a double, or a value too small for a double: no number.
    if (!std::isfinite(parsed) || parsed > FLT_MAX || (parsed == 0 && digits != 0)) return false;
    value = static_cast<float>(parsed);
    return true;
}

bool IsGhostscriptName(const std::wstring& displayName)
{
    static const std::wstring kMsiDistribution = L"GPL Ghostscript MSI Distribution";
    return EqualsIgnoreCase(displayName, L"GPL Ghostscript") || EqualsIgnoreCase(displayName, L"gs_x64") ||
           EqualsIgnoreCase(displayName, L"gs_x86") ||
           StartsWithIgnoreCase(displayName, kMsiDistribution.substr(0, kMsiDistributionPrefixChars));
}

// Walks the subkey names of a key with RegEnumKeyW into a buffer of 200 characters. A name that cannot be
// read (one of 200 characters or more does not fit the buffer) comes back empty and is passed over. The walk
// ends at ERROR_NO_MORE_ITEMS; a key that keeps failing (a run of kMaxFailedIndexes errors) ends it as well,
// instead of walking indexes for ever.
class SubkeyWalk {
public:
    SubkeyWalk(IRegistry& registry, RegKey key) : registry_(registry), key_(key) {}

    bool Next(std::wstring& name)
    {
        name.clear();
        const uint32_t result = registry_.EnumKey(key_, index_++, kSubkeyNameChars, name);
        if (result == kErrorNoMoreItems) return false;
        if (result == kErrorSuccess && name.size() < kSubkeyNameChars) {
            failedInARow_ = 0;
            return true;
        }
        name.clear();
        return ++failedInARow_ < kMaxFailedIndexes;
    }

private:
    static constexpr uint32_t kMaxFailedIndexes = 256;
    IRegistry& registry_;
    RegKey key_;
    uint32_t index_ = 0;
    uint32_t failedInARow_ = 0;
};

// Opens the uninstall key and hands every subkey that can be opened to visit(subkey name, open key), in
// enumeration order, until visit returns false. False when the uninstall key cannot be opened.
template <class Visit>
bool ForEachUninstallEntry(IRegistry& registry, Visit visit)
{
    ScopedKey uninstall(registry);
    if (registry.OpenKey(kRegLocalMachine, kUninstallKey, false, uninstall.key) != kErrorSuccess) return false;
    std::wstring subkeyName;
    SubkeyWalk walk(registry, uninstall.key);
    while (walk.Next(subkeyName)) {
        if (subkeyName.empty()) continue;
        ScopedKey entry(registry);
        if (registry.OpenKey(kRegLocalMachine, std::wstring(kUninstallKey) + L"\\" + subkeyName, false, entry.key) !=
            kErrorSuccess)
            continue;
        if (!visit(subkeyName, entry.key)) break;
    }
    return true;
}

// Reads a text value of an uninstall entry. A value of another type is not taken, and the log says so: it is
// no mere absence, and the entry it belongs to is left out because of it.
bool ReadEntryText(IRegistry& registry, RegKey key, const std::wstring& subkeyName, const wchar_t* name,
                   std::wstring& value)
{
    uint32_t type = 0;
    uint32_t size = 0;
    const RegistryRead read = ReadRegistryText(registry, key, name, value, type, size);
    if (read == RegistryRead::WrongType) {
        LogFormat(kTag, L"Uninstall entry %s: %s is not text (type %u, %u bytes), entry ignored", subkeyName, name,
                  type, size);
    }
    return read == RegistryRead::Read;
}

void AddGhostscriptEntry(IRegistry& registry, RegKey key, const std::wstring& subkeyName, float required,
                         std::vector<LegacyGhostscriptEntry>& entries, bool& anyOlder)
{
    LegacyGhostscriptEntry entry;
    if (!ReadEntryText(registry, key, subkeyName, L"DisplayName", entry.displayName)) return;
    if (!IsGhostscriptName(entry.displayName)) return;
    std::wstring uninstallString;
    if (!ReadEntryText(registry, key, subkeyName, L"DisplayVersion", entry.versionText)) return;
    if (!ReadEntryText(registry, key, subkeyName, L"UninstallString", uninstallString)) return;

    entry.uninstallCommand = uninstallString;
    const std::wstring lowered = ToLower(uninstallString);
    if (lowered.find(L"msiexec") != std::wstring::npos) {
        entry.productCode = subkeyName;
        entry.uninstallCommand += L" /Q";
    } else if (lowered.find(L"uninstgs.exe") != std::wstring::npos) {
        entry.uninstallCommand += L" /S";
    }

    if (ParseLeadingNumber(entry.versionText, entry.version)) {
        if (entry.displayName.find(entry.versionText) == std::wstring::npos) entry.displayName += L" v" + entry.versionText;
        entry.isOlder = entry.version < required;
    } else {
        entry.version = 0;
        entry.isOlder = false;
    }
    if (entry.isOlder) anyOlder = true;
    entry.listIndex = -1;
    entries.push_back(entry);
}

}  // namespace

RegistryRead ReadRegistryText(IRegistry& registry, RegKey key, const std::wstring& name, std::wstring& value,
                              uint32_t& type, uint32_t& size)
{
    type = 0;
    size = 0;
    if (registry.QueryValueSize(key, name, type, size) != kErrorSuccess) return RegistryRead::Missing;
    // Numbers and binary data are not text: reading them as characters would give garbage names.
    if (!IsStringType(type)) return RegistryRead::WrongType;
    if (size == 0) return RegistryRead::Missing;
    std::vector<uint8_t> data;
    uint32_t readType = 0;
    // The value may have grown since its size was asked for; then it reads as missing.
    if (registry.QueryValue(key, name, size, readType, data) != kErrorSuccess) return RegistryRead::Missing;
    if (!IsStringType(readType)) {
        type = readType;
        return RegistryRead::WrongType;
    }
    std::wstring text = DecodeRegistryText(data);
    if (text.empty()) return RegistryRead::Missing;
    value = text;
    return RegistryRead::Read;
}

bool ReadRegistryString(IRegistry& registry, RegKey key, const std::wstring& name, std::wstring& value)
{
    uint32_t type = 0;
    uint32_t size = 0;
    return ReadRegistryText(registry, key, name, value, type, size) == RegistryRead::Read;
}

RegistryRead ReadRegistryNumber(IRegistry& registry, RegKey key, const std::wstring& name, uint32_t& value,
                                uint32_t& type, uint32_t& size)
{
    value = 0;
    type = 0;
    size = 0;
    if (registry.QueryValueSize(key, name, type, size) != kErrorSuccess) return RegistryRead::Missing;
    if (type != kRegDword || size != 4) return RegistryRead::WrongType;
    std::vector<uint8_t> data;
    uint32_t readType = 0;
    if (registry.QueryValue(key, name, 4, readType, data) != kErrorSuccess) return RegistryRead::Missing;
    if (readType != kRegDword || data.size() != 4) {
        type = readType;
        size = static_cast<uint32_t>(data.size());
        return RegistryRead::WrongType;
    }
    value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
    return RegistryRead::Read;
}

bool IsGhostscriptInstalled(IRegistry& registry, IFileSystem& files, const std::wstring& version)
{
    std::wstring path;
    {
        ScopedKey key(registry);
        if (registry.OpenKey(kRegLocalMachine, L"SOFTWARE\\GPL Ghostscript\\" + version, false, key.key) != kErrorSuccess)
            return false;
        path = ReadPathValue(registry, key.key, L"GS_DLL");
    }
    if (path.empty()) return false;
    LogFormat(L"InstallController", L"Ghostscript path: %s", path);
    return files.FileExists(path);
}

bool IsEDocPrintProInstalled(IRegistry& registry, IFileSystem& files)
{
    std::wstring folder;
    {
        ScopedKey key(registry);
        if (registry.OpenKey(kRegLocalMachine, L"SOFTWARE\\MAYComputer\\eDocPrintPro", false, key.key) != kErrorSuccess)
            return false;
        folder = ReadPathValue(registry, key.key, L"eDocPrintPro");
    }
    if (folder.empty()) return false;
    LogMessage(L"CInstallController", folder);
    return files.FileExists(folder + L"eDocPrintProUtil.exe");
}

bool FindUninstallEntryVersion(IRegistry& registry, const std::wstring& displayName, uint32_t& version,
                               std::wstring& versionText)
{
    version = 0;
    versionText.clear();
    ForEachUninstallEntry(registry, [&](const std::wstring&, RegKey entry) {
        std::wstring name;
        if (!ReadRegistryString(registry, entry, L"DisplayName", name) || !EqualsIgnoreCase(name, displayName))
            return true;
        LogMessage(L"CInstallController", name);
        uint32_t type = 0;
        uint32_t size = 0;
        // Only a REG_DWORD of 4 bytes counts; anything else reads 0, and the log says why.
        if (ReadRegistryNumber(registry, entry, L"Version", version, type, size) == RegistryRead::WrongType) {
            LogFormat(L"CInstallController", L"Version of %s is not a 32-bit number (type %u, %u bytes): taken as 0",
                      name, type, size);
        }
        versionText = FormatText(L"%d.%d.%d", {version >> 24, (version >> 16) & 0xff, version & 0xffff});
        return false;  // the first entry of that name wins
    });
    return version != 0;
}

bool CollectLegacyGhostscript(IRegistry& registry, const std::wstring& required,
                              std::vector<LegacyGhostscriptEntry>& entries, bool& anyOlder)
{
    float requiredVersion = 0;
    if (!ParseLeadingNumber(required, requiredVersion)) requiredVersion = 0;
    return ForEachUninstallEntry(registry, [&](const std::wstring& subkeyName, RegKey entry) {
        AddGhostscriptEntry(registry, entry, subkeyName, requiredVersion, entries, anyOlder);
        return true;
    });
}
