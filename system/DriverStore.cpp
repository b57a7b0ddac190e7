// Re-creates missing driver-store registrations of the Snom D7 phone driver.
#include "system/DriverStore.h"

#include <string>
#include <vector>

#include "log/Log.h"

namespace {

const wchar_t* const kTag = L"CInstallController";

const wchar_t* const kDriverStoreKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DIFx\\DriverStore";
const wchar_t* const kDriverPackage = L"7xx_exp_cdc.inf_amd64_c8b237413cdbec21";
const wchar_t* const kComponentsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DIFxApp\\Components";
const wchar_t* const kComponent = L"{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}";

const char* const kDependentInstaller = "{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}";
const char* const kDependentInstallerName = "KELVARO VOV Client v6.5.1.126";
const char* const kDriverStorePath =
    "C:\\WINDOWS\\System32\\DriverStore\\FileRepository\\7xx_exp_cdc.inf_amd64_c8b237413cdbec21\\7xx_exp_cdc.inf";

// 8-bit text with its terminating zero; a multi-string gets the closing zero of its list as well.
std::vector<uint8_t> AnsiValue(const char* text, bool multiString)
{
    std::vector<uint8_t> bytes(text, text + std::char_traits<char>::length(text));
    bytes.push_back(0);
    if (multiString) bytes.push_back(0);
    return bytes;
}

// A value is missing when it cannot be queried or holds no bytes.
bool IsValueMissing(IRegistry& registry, RegKey key, const wchar_t* name)
{
    uint32_t type = 0;
    uint32_t size = 0;
    return registry.QueryValueSize(key, name, type, size) != kErrorSuccess || size == 0;
}

// Opens parent\name with full access, or logs that it is missing and creates it. False when neither works.
bool OpenOrCreateSubkey(IRegistry& registry, const ScopedKey& parent, const std::wstring& parentPath,
                        const std::wstring& name, ScopedKey& subkey)
{
    if (registry.OpenKey(parent.key, name, true, subkey.key) == kErrorSuccess) return true;
    subkey.key = 0;
    LogFormat(kTag, L"Key missing: %s", parentPath + L"\\" + name);
    if (registry.CreateKey(parent.key, name, subkey.key) == kErrorSuccess) return true;
    subkey.key = 0;
    return false;
}

void RepairDependentInstaller(IRegistry& registry)
{
    ScopedKey driverStore(registry);
    if (registry.CreateKey(kRegLocalMachine, kDriverStoreKey, driverStore.key) != kErrorSuccess) {
        driverStore.key = 0;
        return;
    }
    ScopedKey package(registry);
    if (!OpenOrCreateSubkey(registry, driverStore, kDriverStoreKey, kDriverPackage, package)) return;
    const bool installerMissing = IsValueMissing(registry, package.key, L"DependentInstaller");
    if (installerMissing) LogMessage(kTag, L"Value missing: DependentInstaller");
    const bool nameMissing = IsValueMissing(registry, package.key, L"DependentInstallerName");
    if (nameMissing) LogMessage(kTag, L"Value missing: DependentInstallerName");
    // Write failures are not reported: the installation goes on without the repair.
    if (installerMissing)
        registry.SetValue(package.key, L"DependentInstaller", kRegMultiSz, AnsiValue(kDependentInstaller, true));
    if (nameMissing)
        registry.SetValue(package.key, L"DependentInstallerName", kRegMultiSz, AnsiValue(kDependentInstallerName, true));
}

void RepairComponentDriverStore(IRegistry& registry)
{
    ScopedKey components(registry);
    if (registry.CreateKey(kRegLocalMachine, kComponentsKey, components.key) != kErrorSuccess) {
        components.key = 0;
        return;
    }
    ScopedKey component(registry);
    if (!OpenOrCreateSubkey(registry, components, kComponentsKey, kComponent, component)) return;
    if (IsValueMissing(registry, component.key, L"DriverStore")) {
        LogMessage(kTag, L"Value missing: DriverStore");
        registry.SetValue(component.key, L"DriverStore", kRegSz, AnsiValue(kDriverStorePath, false));
    }
}

}  // namespace

void RepairSnomD7DriverStore(IRegistry& registry, bool snomD7Installed)
{
    if (!snomD7Installed) return;
    LogMessage(kTag, L"Snom D7 Driver Feature is installed");
    RepairDependentInstaller(registry);
    RepairComponentDriverStore(registry);
}
