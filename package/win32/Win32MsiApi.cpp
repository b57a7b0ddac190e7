// IMsiApi on Windows Installer's msi.dll.
#include "package/win32/Win32MsiApi.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <vector>

namespace {

constexpr DWORD kProductCodeChars = 39;  // a GUID in braces and the terminator

// Copies the text of a filled buffer; a failed call leaves the value empty.
uint32_t TakeText(UINT result, const std::vector<wchar_t>& buffer, std::wstring& value)
{
    value = result == ERROR_SUCCESS ? std::wstring(buffer.data()) : std::wstring();
    return result;
}

}  // namespace

uint32_t Win32MsiApi::OpenDatabase(const std::wstring& path, MsiHandle& database)
{
    MSIHANDLE handle = 0;
    const UINT result = MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &handle);
    database = handle;
    return result;
}

uint32_t Win32MsiApi::ApplyTransform(MsiHandle database, const std::wstring& transform)
{
    return MsiDatabaseApplyTransformW(database, transform.c_str(), 0);
}

uint32_t Win32MsiApi::OpenView(MsiHandle database, const std::wstring& query, MsiHandle& view)
{
    MSIHANDLE handle = 0;
    const UINT result = MsiDatabaseOpenViewW(database, query.c_str(), &handle);
    view = handle;
    return result;
}

uint32_t Win32MsiApi::ViewExecute(MsiHandle view) { return MsiViewExecute(view, 0); }

uint32_t Win32MsiApi::ViewFetch(MsiHandle view, MsiHandle& record)
{
    MSIHANDLE handle = 0;
    const UINT result = MsiViewFetch(view, &handle);
    record = handle;
    return result;
}

uint32_t Win32MsiApi::ViewGetColumnInfo(MsiHandle view, int kind, MsiHandle& record)
{
    MSIHANDLE handle = 0;
    const UINT result = MsiViewGetColumnInfo(view, static_cast<MSICOLINFO>(kind), &handle);
    record = handle;
    return result;
}

uint32_t Win32MsiApi::ViewClose(MsiHandle view) { return MsiViewClose(view); }

uint32_t Win32MsiApi::CloseHandle(MsiHandle handle) { return MsiCloseHandle(handle); }

uint32_t Win32MsiApi::RecordFieldCount(MsiHandle record) { return MsiRecordGetFieldCount(record); }

uint32_t Win32MsiApi::RecordGetString(MsiHandle record, uint32_t field, uint32_t bufferChars, std::wstring& value)
{
    std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
    DWORD chars = bufferChars;
    return TakeText(MsiRecordGetStringW(record, field, buffer.data(), &chars), buffer, value);
}

int32_t Win32MsiApi::RecordGetInteger(MsiHandle record, uint32_t field) { return MsiRecordGetInteger(record, field); }

uint32_t Win32MsiApi::EnumRelatedProducts(const std::wstring& upgradeCode, uint32_t index, std::wstring& productCode)
{
    std::vector<wchar_t> buffer(kProductCodeChars, L'\0');
    return TakeText(MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, buffer.data()), buffer, productCode);
}

uint32_t Win32MsiApi::GetProductInfo(const std::wstring& productCode, const std::wstring& property,
                                     uint32_t bufferChars, std::wstring& value)
{
    std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
    DWORD chars = bufferChars;
    return TakeText(MsiGetProductInfoW(productCode.c_str(), property.c_str(), buffer.data(), &chars), buffer,
                    value);
}

int32_t Win32MsiApi::QueryFeatureState(const std::wstring& productCode, const std::wstring& feature)
{
    return MsiQueryFeatureStateW(productCode.c_str(), feature.c_str());
}
