// Replaces one embedded "BIN" payload of an executable with the bytes of a file, in the payload's own language,
// so that a test can run Setup.exe with another package without building it again.
// Usage: setpayload EXECUTABLE RESOURCE_ID FILE      exit code 0, or 1 with a message
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: setpayload EXECUTABLE RESOURCE_ID FILE\n");
        return 1;
    }
    const WORD id = static_cast<WORD>(std::wcstoul(argv[2], nullptr, 10));
    std::ifstream in(argv[3], std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "cannot read %ls\n", argv[3]);
        return 1;
    }

    WORD language = 0xFFFF;
    if (HMODULE image = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        EnumResourceLanguagesW(image, L"BIN", MAKEINTRESOURCEW(id), TakeLanguage,
                               reinterpret_cast<LONG_PTR>(&language));
        FreeLibrary(image);
    }
    if (language == 0xFFFF) {
        std::fprintf(stderr, "no BIN %u in %ls\n", id, argv[1]);
        return 1;
    }
    HANDLE update = BeginUpdateResourceW(argv[1], FALSE);
    if (!update || !UpdateResourceW(update, L"BIN", MAKEINTRESOURCEW(id), language,
                                    const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size())) ||
        !EndUpdateResourceW(update, FALSE)) {
        std::fprintf(stderr, "cannot update %ls: %lu\n", argv[1], GetLastError());
        return 1;
    }
    return 0;
}
