// Fuzz target: the registry probes of the controller's set-up (the uninstall-entry walks for eDocPrintPro
// and for legacy Ghostscript releases, Ghostscript and eDocPrintPro keys, the .NET release) on a registry
// described by the input, one item per line:
//   K<TAB>path                          the current key: relative to the uninstall key, or a full path that
//                                       starts with "HKLM\" or "HKCR\"
//   V<TAB>name<TAB>type<TAB>data        a value of the current key; type is a number (1 REG_SZ, 3 REG_BINARY,
//                                       4 REG_DWORD, 7 REG_MULTI_SZ, ...); data is "s:text" (UTF-16 with its
//                                       terminator), "u:text" (without), "x:hex bytes", "d:number" (4 bytes),
//                                       "a:text" (8-bit bytes); "text*count" repeats a text
//   F<TAB>operation<TAB>key<TAB>code<TAB>value name
//                                       an operation (Open, Enum, QuerySize, Query) on that key fails
//   E<TAB>path                          a file that exists
//   W<TAB>0|1                           32- or 64-bit Windows
// Checks that every key is closed and that the Ghostscript list agrees with its own rules.
#include <cstdlib>

#include "FuzzInput.h"
#include "engine/InstallController.h"
#include "support/FakeEngineServices.h"
#include "support/FakeLogPlatform.h"

namespace {

constexpr size_t kMaxValueChars = 20000;  // far beyond the 520-byte and 200-character buffers

std::wstring KeyPath(const std::string& field)
{
    const std::wstring path = fuzz::Widen(field);
    if (path.rfind(L"HKLM\\", 0) == 0 || path.rfind(L"HKCR\\", 0) == 0) return path;
    return L"HKLM\\" + std::wstring(kUninstallKey) + (path.empty() ? L"" : L"\\" + path);
}

std::vector<uint8_t> ValueData(const std::string& field)
{
    const std::string kind = field.substr(0, 2);
    const std::string rest = field.size() > 2 ? field.substr(2) : std::string();
    if (kind == "s:" || kind == "u:") return fake::Utf16(fuzz::Expand(rest, kMaxValueChars), kind == "s:");
    if (kind == "d:") {
        const uint32_t v = static_cast<uint32_t>(fuzz::Number(rest));
        return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                static_cast<uint8_t>(v >> 24)};
    }
    if (kind == "x:") {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < rest.size(); i += 2) {
            const std::string pair = rest.substr(i, 2);
            bytes.push_back(static_cast<uint8_t>(std::strtoul(pair.c_str(), nullptr, 16)));
        }
        return bytes;
    }
    std::vector<uint8_t> bytes;
    for (wchar_t c : fuzz::Expand(rest, kMaxValueChars)) bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

bool RegistryOperation(const std::string& name, FakeRegistry::Op& op)
{
    static const std::pair<const char*, FakeRegistry::Op> kOps[] = {{"Open", FakeRegistry::Op::Open},
                                                                     {"Enum", FakeRegistry::Op::Enum},
                                                                     {"QuerySize", FakeRegistry::Op::QuerySize},
                                                                     {"Query", FakeRegistry::Op::Query}};
    for (const auto& [text, value] : kOps) {
        if (name == text) {
            op = value;
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LogFixture log;
    log.Initialize();
    FakeEngineServices services;
    std::wstring key = KeyPath("");
    services.registry.AddKey(key);
    for (const std::string& line : fuzz::Lines(data, size)) {
        const std::vector<std::string> f = fuzz::Split(line, '\t');
        if (f[0] == "K") {
            key = KeyPath(fuzz::Field(f, 1));
            services.registry.AddKey(key);
        } else if (f[0] == "V") {
            services.registry.SetRaw(key, fuzz::Widen(fuzz::Field(f, 1)),
                                     static_cast<uint32_t>(fuzz::Number(fuzz::Field(f, 2))),
                                     ValueData(fuzz::Field(f, 3)));
        } else if (f[0] == "F") {
            FakeRegistry::Op op;
            if (RegistryOperation(fuzz::Field(f, 1), op))
                services.registry.Fail(op, KeyPath(fuzz::Field(f, 2)), static_cast<uint32_t>(fuzz::Number(fuzz::Field(f, 3))),
                                       fuzz::Widen(fuzz::Field(f, 4)));
        } else if (f[0] == "E") {
            services.files.AddFile(fuzz::Widen(fuzz::Field(f, 1)));
        } else if (f[0] == "W") {
            services.system.x64 = fuzz::Field(f, 1) != "0";
        }
    }

    CInstallController controller(services.engine);
    if (services.registry.OpenHandles() != 0) std::abort();

    bool anyOlder = false;
    for (const LegacyGhostscriptEntry& e : controller.legacyGhostscripts) {
        anyOlder |= e.isOlder;
        if (e.listIndex != -1) std::abort();
        if (e.displayName.empty() || e.versionText.empty()) std::abort();
        if (!e.productCode.empty() && e.uninstallCommand.size() < 3) std::abort();
        if (e.isOlder && !(e.version >= 0)) std::abort();
    }
    if (anyOlder != controller.legacyGhostscriptFound) std::abort();
    if (controller.needDotNet == controller.dotNetInstalled) std::abort();

    controller.SetFeatureLists(L"MainFeature,FeatureFax", L"");
    controller.EnqueueLegacyGhostscriptRemoval();
    controller.EnqueuePrerequisites();
    return 0;
}
