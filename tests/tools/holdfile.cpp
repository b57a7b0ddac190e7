// Holds a file open the way another user's process could: opened for reading, shared for reading only, so that
// nobody can write, replace or delete it while others may still read it. Creates the file with the given content
// when it does not exist, prints "held" once it holds it, and lets go when the release file exists (after five
// minutes at the latest).
// Usage: holdfile FILE RELEASEFILE [CONTENT_FILE]   CONTENT_FILE is copied to FILE first
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: holdfile FILE RELEASEFILE [CONTENT_FILE]\n");
        return 2;
    }
    if (argc > 3 && !CopyFileW(argv[3], argv[1], FALSE)) {
        std::printf("copy failed: %lu\n", GetLastError());
        return 1;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("open failed: %lu\n", GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    for (int i = 0; i < 3000 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    CloseHandle(file);
    return 0;
}
