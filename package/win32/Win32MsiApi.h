// IMsiApi on Windows Installer's msi.dll: each operation is the one msi.dll call it names.
#pragma once

#include "package/MsiApi.h"

class Win32MsiApi : public IMsiApi {
public:
    uint32_t OpenDatabase(const std::wstring& path, MsiHandle& database) override;
    uint32_t ApplyTransform(MsiHandle database, const std::wstring& transform) override;
    uint32_t OpenView(MsiHandle database, const std::wstring& query, MsiHandle& view) override;
    uint32_t ViewExecute(MsiHandle view) override;
    uint32_t ViewFetch(MsiHandle view, MsiHandle& record) override;
    uint32_t ViewGetColumnInfo(MsiHandle view, int kind, MsiHandle& record) override;
    uint32_t ViewClose(MsiHandle view) override;
    uint32_t CloseHandle(MsiHandle handle) override;

    uint32_t RecordFieldCount(MsiHandle record) override;
    uint32_t RecordGetString(MsiHandle record, uint32_t field, uint32_t bufferChars, std::wstring& value) override;
    int32_t RecordGetInteger(MsiHandle record, uint32_t field) override;

    uint32_t EnumRelatedProducts(const std::wstring& upgradeCode, uint32_t index, std::wstring& productCode) override;
    uint32_t GetProductInfo(const std::wstring& productCode, const std::wstring& property, uint32_t bufferChars,
                            std::wstring& value) override;
    int32_t QueryFeatureState(const std::wstring& productCode, const std::wstring& feature) override;
};
