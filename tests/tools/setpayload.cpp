// Replaces one embedded "BIN" payload of an executable with the bytes of a file (used by the benchmark to
// build a Setup.exe with large packages without rebuilding it). Usage: setpayload EXE ID FILE
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: setpayload EXE ID FILE\n");
        return 2;
    }
    const WORD id = static_cast<WORD>(_wtoi(argv[2]));
    FILE* in = _wfopen(argv[3], L"rb");
    if (!in) {
        std::fprintf(stderr, "cannot read the payload file\n");
        return 1;
    }
    std::vector<char> data;
    char chunk[1 << 16];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.insert(data.end(), chunk, chunk + n);
    std::fclose(in);

    // Replace the payload in the language it was built with.
    WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    if (HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        EnumResourceLanguagesW(module, L"BIN", MAKEINTRESOURCEW(id), FirstLanguage, reinterpret_cast<LONG_PTR>(&language));
        FreeLibrary(module);
    }
    HANDLE update = BeginUpdateResourceW(argv[1], FALSE);
    if (!update) {
        std::fprintf(stderr, "BeginUpdateResource failed: %lu\n", GetLastError());
        return 1;
    }
    if (!UpdateResourceW(update, L"BIN", MAKEINTRESOURCEW(id), language, data.data(), static_cast<DWORD>(data.size())) ||
        !EndUpdateResourceW(update, FALSE)) {
        std::fprintf(stderr, "UpdateResource failed: %lu\n", GetLastError());
        return 1;
    }
    std::printf("payload %u: %zu bytes\n", static_cast<unsigned>(id), data.size());
    return 0;
}
