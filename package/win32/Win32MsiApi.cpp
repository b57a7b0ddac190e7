// IMsiApi on Windows Installer's msi.dll, loaded from the system folder at the first call. A function that
// cannot be had fails the call as Windows Installer reports failures: with the Windows error, an empty text, an
// unknown state or a null integer.
#include "package/win32/Win32MsiApi.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <vector>

#include "platform/win32/SystemLibrary.h"

// The msi.dll function `name`, or a return of `failure` from the calling function when it cannot be had; `error`
// is the Windows error then.
#define MSI_FUNCTION(name, failure)                                   \
    DWORD error = ERROR_SUCCESS;                                      \
    const auto name##Function = SYSTEM_FUNCTION(L"msi.dll", name, error); \
    if (!name##Function) return failure

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
    MSI_FUNCTION(MsiOpenDatabaseW, error);
    MSIHANDLE handle = 0;
    const UINT result = MsiOpenDatabaseWFunction(path.c_str(), MSIDBOPEN_READONLY, &handle);
    database = handle;
    return result;
}

uint32_t Win32MsiApi::ApplyTransform(MsiHandle database, const std::wstring& transform)
{
    MSI_FUNCTION(MsiDatabaseApplyTransformW, error);
    return MsiDatabaseApplyTransformWFunction(database, transform.c_str(), 0);
}

uint32_t Win32MsiApi::OpenView(MsiHandle database, const std::wstring& query, MsiHandle& view)
{
    MSI_FUNCTION(MsiDatabaseOpenViewW, error);
    MSIHANDLE handle = 0;
    const UINT result = MsiDatabaseOpenViewWFunction(database, query.c_str(), &handle);
    view = handle;
    return result;
}

uint32_t Win32MsiApi::ViewExecute(MsiHandle view)
{
    MSI_FUNCTION(MsiViewExecute, error);
    return MsiViewExecuteFunction(view, 0);
}

uint32_t Win32MsiApi::ViewFetch(MsiHandle view, MsiHandle& record)
{
    MSI_FUNCTION(MsiViewFetch, error);
    MSIHANDLE handle = 0;
    const UINT result = MsiViewFetchFunction(view, &handle);
    record = handle;
    return result;
}

uint32_t Win32MsiApi::ViewGetColumnInfo(MsiHandle view, int kind, MsiHandle& record)
{
    MSI_FUNCTION(MsiViewGetColumnInfo, error);
    MSIHANDLE handle = 0;
    const UINT result = MsiViewGetColumnInfoFunction(view, static_cast<MSICOLINFO>(kind), &handle);
    record = handle;
    return result;
}

uint32_t Win32MsiApi::ViewClose(MsiHandle view)
{
    MSI_FUNCTION(MsiViewClose, error);
    return MsiViewCloseFunction(view);
}

uint32_t Win32MsiApi::CloseHandle(MsiHandle handle)
{
    MSI_FUNCTION(MsiCloseHandle, error);
    return MsiCloseHandleFunction(handle);
}

uint32_t Win32MsiApi::RecordFieldCount(MsiHandle record)
{
    MSI_FUNCTION(MsiRecordGetFieldCount, 0xFFFFFFFFu);
    return MsiRecordGetFieldCountFunction(record);
}

uint32_t Win32MsiApi::RecordGetString(MsiHandle record, uint32_t field, uint32_t bufferChars, std::wstring& value)
{
    MSI_FUNCTION(MsiRecordGetStringW, TakeText(error, {}, value));
    std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
    DWORD chars = bufferChars;
    return TakeText(MsiRecordGetStringWFunction(record, field, buffer.data(), &chars), buffer, value);
}

int32_t Win32MsiApi::RecordGetInteger(MsiHandle record, uint32_t field)
{
    MSI_FUNCTION(MsiRecordGetInteger, MSI_NULL_INTEGER);
    return MsiRecordGetIntegerFunction(record, field);
}

uint32_t Win32MsiApi::EnumRelatedProducts(const std::wstring& upgradeCode, uint32_t index, std::wstring& productCode)
{
    MSI_FUNCTION(MsiEnumRelatedProductsW, TakeText(error, {}, productCode));
    std::vector<wchar_t> buffer(kProductCodeChars, L'\0');
    return TakeText(MsiEnumRelatedProductsWFunction(upgradeCode.c_str(), 0, index, buffer.data()), buffer, productCode);
}

uint32_t Win32MsiApi::GetProductInfo(const std::wstring& productCode, const std::wstring& property,
                                     uint32_t bufferChars, std::wstring& value)
{
    MSI_FUNCTION(MsiGetProductInfoW, TakeText(error, {}, value));
    std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
    DWORD chars = bufferChars;
    return TakeText(MsiGetProductInfoWFunction(productCode.c_str(), property.c_str(), buffer.data(), &chars), buffer,
                    value);
}

int32_t Win32MsiApi::QueryFeatureState(const std::wstring& productCode, const std::wstring& feature)
{
    MSI_FUNCTION(MsiQueryFeatureStateW, INSTALLSTATE_UNKNOWN);
    return MsiQueryFeatureStateWFunction(productCode.c_str(), feature.c_str());
}
