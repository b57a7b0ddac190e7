/* Prints what Windows Installer sees in a package: its embedded storages and
 * the Feature table as is and with each embedded language transform applied.
 *
 *   check_package.exe PACKAGE [LANGUAGE...]
 *
 * Output (UTF-8, one line each):
 *   storage<TAB>NAME                       for every row of _Storages
 *   [base] / [1031] ...                    section header
 *   Feature<TAB>Title<TAB>Description      for every Feature row
 * Exit code 0 on success, 1 when opening, applying or querying fails.
 */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static void put_utf8(const wchar_t *text)
{
    char buf[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, sizeof buf, NULL, NULL);
    DWORD written;
    if (n > 1)
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buf, (DWORD)(n - 1), &written, NULL);
}

static UINT get_field(MSIHANDLE rec, UINT field, wchar_t *buf, DWORD size)
{
    DWORD len = size;
    buf[0] = 0;
    return MsiRecordGetStringW(rec, field, buf, &len);
}

/* Runs QUERY and prints PREFIX followed by the tab-joined string fields of every row. */
static int print_query(MSIHANDLE db, const wchar_t *query, UINT fields, const wchar_t *prefix)
{
    MSIHANDLE view = 0, rec = 0;
    UINT r = MsiDatabaseOpenViewW(db, query, &view);
    if (r != ERROR_SUCCESS) {
        fprintf(stderr, "MsiDatabaseOpenViewW failed: %u\n", r);
        return 1;
    }
    r = MsiViewExecute(view, 0);
    if (r != ERROR_SUCCESS) {
        fprintf(stderr, "MsiViewExecute failed: %u\n", r);
        MsiCloseHandle(view);
        return 1;
    }
    while ((r = MsiViewFetch(view, &rec)) == ERROR_SUCCESS) {
        wchar_t line[2048], field[1024];
        UINT i;
        wcscpy(line, prefix);
        for (i = 1; i <= fields; i++) {
            if (get_field(rec, i, field, 1024) != ERROR_SUCCESS) {
                fprintf(stderr, "MsiRecordGetStringW failed\n");
                MsiCloseHandle(rec);
                MsiCloseHandle(view);
                return 1;
            }
            if (i > 1)
                wcscat(line, L"\t");
            wcsncat(line, field, 2048 - wcslen(line) - 2);
        }
        wcscat(line, L"\n");
        put_utf8(line);
        MsiCloseHandle(rec);
    }
    MsiViewClose(view);
    MsiCloseHandle(view);
    if (r != ERROR_NO_MORE_ITEMS) {
        fprintf(stderr, "MsiViewFetch failed: %u\n", r);
        return 1;
    }
    return 0;
}

static const wchar_t FEATURE_QUERY[] = L"SELECT `Feature`,`Title`,`Description` FROM `Feature`";

static int check_language(const wchar_t *package, const wchar_t *language)
{
    MSIHANDLE db = 0;
    wchar_t transform[64], header[80];
    UINT r = MsiOpenDatabaseW(package, MSIDBOPEN_READONLY, &db);
    int failed;
    if (r != ERROR_SUCCESS) {
        fprintf(stderr, "MsiOpenDatabaseW failed: %u\n", r);
        return 1;
    }
    _snwprintf(transform, 64, L":%ls", language);
    transform[63] = 0;
    r = MsiDatabaseApplyTransformW(db, transform, 0);
    if (r != ERROR_SUCCESS) {
        fprintf(stderr, "MsiDatabaseApplyTransformW(%ls) failed: %u\n", transform, r);
        MsiCloseHandle(db);
        return 1;
    }
    _snwprintf(header, 80, L"[%ls]\n", language);
    header[79] = 0;
    put_utf8(header);
    failed = print_query(db, FEATURE_QUERY, 3, L"");
    MsiCloseHandle(db);
    return failed;
}

int wmain(int argc, wchar_t **argv)
{
    MSIHANDLE db = 0;
    int i, failed;
    UINT r;

    if (argc < 2) {
        fprintf(stderr, "usage: check_package PACKAGE [LANGUAGE...]\n");
        return 2;
    }
    r = MsiOpenDatabaseW(argv[1], MSIDBOPEN_READONLY, &db);
    if (r != ERROR_SUCCESS) {
        fprintf(stderr, "MsiOpenDatabaseW failed: %u\n", r);
        return 1;
    }
    failed = print_query(db, L"SELECT `Name` FROM `_Storages`", 1, L"storage\t");
    put_utf8(L"[base]\n");
    failed |= print_query(db, FEATURE_QUERY, 3, L"");
    MsiCloseHandle(db);

    /* Each language gets a fresh handle: a transform changes the open database. */
    for (i = 2; i < argc; i++)
        failed |= check_language(argv[1], argv[i]);
    return failed;
}
