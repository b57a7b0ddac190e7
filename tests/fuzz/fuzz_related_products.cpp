// Fuzz target: version parsing and related-product detection on an Upgrade table and installed products
// described by the input (see FuzzMsi.h), through the fake Windows Installer. Checks that every handle is
// closed, that the result agrees with the product codes found, and that version texts read back.
#include <algorithm>
#include <cstdlib>

#include "FuzzMsi.h"
#include "log/TextFormat.h"
#include "package/RelatedProducts.h"

namespace {

const std::wstring kPackagePath = L"C:\\Temp\\client.msi";

void CheckVersionText(const std::wstring& text)
{
    const VersionTriple v = ParseVersionTriple(text);
    const VersionTriple again = ParseVersionTriple(FormatText(L"%d.%d.%d", {v.major, v.minor, v.build}));
    if (again != v) std::abort();
    FormatInstalledVersion(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> lines = fuzz::Lines(data, size);
    FakeMsi msi;
    fuzz::BuildMsi(lines, msi, msi.AddPackage(kPackagePath));

    std::wstring productCodes;
    std::vector<VersionTriple> versions;
    const InstallState state = DetectRelatedProducts(msi, kPackagePath, productCodes, versions);

    if (!msi.HandleProblems().empty()) std::abort();
    switch (state) {
    case NotInstalled:
        if (!productCodes.empty()) std::abort();
        break;
    case LowerVersionInstalled:
    case SameVersionInstalled:
    case HigherVersionInstalled:
        if (productCodes.empty() || versions.empty()) std::abort();
        break;
    case PackageUnreadable:
        if (!productCodes.empty() || !versions.empty()) std::abort();
        break;
    default:
        std::abort();
    }
    // Every matched version is the parsed version text of an installed product, or 0.0.0 for one whose
    // version cannot be read.
    for (const VersionTriple& v : versions) {
        bool known = v == VersionTriple();
        for (const FakeMsi::Product& p : msi.products) {
            auto it = p.info.find(L"VersionString");
            if (it != p.info.end() && ParseVersionTriple(it->second) == v) known = true;
        }
        if (!known) std::abort();
    }
    if (!versions.empty()) {
        std::sort(versions.begin(), versions.end());
        FormatInstalledVersion(versions.back());
    }
    for (const FakeMsi::Product& p : msi.products) {
        for (const auto& [property, value] : p.info) CheckVersionText(value);
    }
    for (const std::string& line : lines) CheckVersionText(fuzz::Widen(line));
    return 0;
}
