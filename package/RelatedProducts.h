// Related-product detection: the package's Upgrade table against the products Windows Installer knows.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "package/MsiApi.h"

// How the installed client relates to the embedded package.
enum InstallState : int32_t {
    NotInstalled = 0,
    LowerVersionInstalled = 1,
    SameVersionInstalled = 2,
    HigherVersionInstalled = 3,
    PackageUnreadable = 4,  // the package database could not be opened; handled like NotInstalled
};

struct VersionTriple {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t build = 0;

    // A triple whose parts add up to 0 counts as no bound at all.
    bool Absent() const { return static_cast<int64_t>(major) + minor + build == 0; }
    bool operator==(const VersionTriple& o) const { return major == o.major && minor == o.minor && build == o.build; }
    bool operator!=(const VersionTriple& o) const { return !(*this == o); }
    bool operator<(const VersionTriple& o) const
    {
        if (major != o.major) return major < o.major;
        if (minor != o.minor) return minor < o.minor;
        return build < o.build;
    }
    bool operator>(const VersionTriple& o) const { return o < *this; }
};

// "6.7.3319" -> (6, 7, 3319); empty parts between dots are skipped, missing parts are 0,
// each part is its leading decimal number (clamped to 32 bits), parts after the third are ignored.
VersionTriple ParseVersionTriple(const std::wstring& text);

// "%d.%d.%d.%d" of major, minor, build / 1000 and build % 1000: 6.7.3319 -> "6.7.3.319".
std::wstring FormatInstalledVersion(const VersionTriple& version);

struct UpgradeEntry {
    std::wstring UpgradeCode;
    std::wstring VersionMin;
    std::wstring VersionMax;
    VersionTriple minVersion;
    VersionTriple maxVersion;
    int32_t Attributes = 0;  // 0x100: minimum inclusive, 0x200: maximum inclusive
    std::wstring ActionProperty;
    std::wstring propertyValue;  // always empty: no installer session exists here
};

struct ActionPropertyEntry {
    std::wstring name;
    std::wstring value;  // product codes joined by ";"
    bool changed = false;
};

// Ordered by the property names, compared code unit by code unit.
using ActionPropertyMap = std::map<std::wstring, ActionPropertyEntry>;

// Appends one entry per row of the Upgrade table and adds each new action property to the map. Returns 0.
uint32_t GetUpgradeTableEntries(IMsiApi& msi, MsiHandle database, std::vector<UpgradeEntry>& entries,
                                ActionPropertyMap& properties);

// Adds every installed product that matches a row to the row's action property and its version to versions.
// Returns 0.
uint32_t FindRelatedProducts(IMsiApi& msi, const std::vector<UpgradeEntry>& entries, ActionPropertyMap& properties,
                             std::vector<VersionTriple>& versions);

// Opens the package and answers its install state, the related product codes (";"-joined) and their versions.
InstallState DetectRelatedProducts(IMsiApi& msi, const std::wstring& packagePath, std::wstring& productCodes,
                                   std::vector<VersionTriple>& versions);
