// Drives package inspection on a real package through msi.dll and prints the results as UTF-8 text.
// Usage: msiprobe [--trace] detect PACKAGE
//          state: N / product codes: ... / versions: a.b.c ... / installed version: a.b.c.d; exit code N
//        msiprobe [--trace] features PACKAGE [TRANSFORM]
//          "apply transform :T: CODE" when TRANSFORM is given, then one line per feature:
//          Feature<TAB>Feature_Parent<TAB>Title<TAB>Description<TAB>Display<TAB>Level<TAB>disallowAbsent(0|1)
//          exit code 0, or 1 with "open database: CODE" when the package cannot be opened
// With --trace every debugger-output text is printed as "trace: TEXT" where it happens. Usage errors exit 100.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "log/DebugTrace.h"
#include "package/Features.h"
#include "package/RelatedProducts.h"
#include "package/win32/Win32MsiApi.h"

namespace {

void Print(const std::wstring& text)
{
    std::wstring line = text + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

class PrintedTrace : public IDebugOutput {
public:
    void Write(const std::string& text) override { Print(L"trace: " + std::wstring(text.begin(), text.end())); }
    void Write(const std::wstring& text) override { Print(L"trace: " + text); }
};

std::wstring Triple(const VersionTriple& v)
{
    return std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.build);
}

int Detect(IMsiApi& msi, const std::wstring& package)
{
    std::wstring codes;
    std::vector<VersionTriple> versions;
    const InstallState state = DetectRelatedProducts(msi, package, codes, versions);
    Print(L"state: " + std::to_wstring(static_cast<int>(state)));
    Print(L"product codes: " + codes);
    std::wstring list;
    for (const VersionTriple& v : versions) list += (list.empty() ? L"" : L" ") + Triple(v);
    Print(L"versions: " + list);
    // The installed version shown to the user: the highest matched version.
    std::sort(versions.begin(), versions.end());
    Print(L"installed version: " + (versions.empty() ? std::wstring() : FormatInstalledVersion(versions.back())));
    return static_cast<int>(state);
}

int Features(IMsiApi& msi, const std::wstring& package, const std::wstring& transform)
{
    MsiHandle database = 0;
    const uint32_t opened = msi.OpenDatabase(package, database);
    if (opened != kMsiSuccess) {
        Print(L"open database: " + std::to_wstring(opened));
        return 1;
    }
    if (!transform.empty()) {
        const uint32_t applied = msi.ApplyTransform(database, L":" + transform);
        Print(L"apply transform :" + transform + L": " + std::to_wstring(applied));
    }
    std::vector<FeatureInfo> features;
    GetFeatures(msi, database, features);
    msi.CloseHandle(database);
    for (const FeatureInfo& f : features) {
        Print(f.Feature + L"\t" + f.Feature_Parent + L"\t" + f.Title + L"\t" + f.Description + L"\t" +
              std::to_wstring(f.Display) + L"\t" + std::to_wstring(f.Level) + L"\t" +
              (f.disallowAbsent ? L"1" : L"0"));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    PrintedTrace trace;
    if (!args.empty() && args[0] == L"--trace") {
        SetDebugOutput(&trace);
        args.erase(args.begin());
    }
    Win32MsiApi msi;
    int result = 100;
    if (args.size() == 2 && args[0] == L"detect") {
        result = Detect(msi, args[1]);
    } else if ((args.size() == 2 || args.size() == 3) && args[0] == L"features") {
        result = Features(msi, args[1], args.size() == 3 ? args[2] : std::wstring());
    } else {
        std::fprintf(stderr, "usage: msiprobe [--trace] detect PACKAGE | features PACKAGE [TRANSFORM]\n");
    }
    SetDebugOutput(nullptr);
    return result;
}
