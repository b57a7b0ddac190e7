// The calls on Windows Installer's msi.dll that package inspection uses, behind an interface of our own.
#pragma once

#include <cstdint>
#include <string>

using MsiHandle = uint32_t;  // 0 = no handle

constexpr uint32_t kMsiSuccess = 0;
constexpr uint32_t kMsiMoreData = 234;    // ERROR_MORE_DATA: the text does not fit the buffer
constexpr uint32_t kMsiNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS
constexpr int32_t kMsiInstallStateLocal = 3;  // INSTALLSTATE_LOCAL

// Every operation returns 0 on success and a Windows error code otherwise, as msi.dll does.
class IMsiApi {
public:
    virtual ~IMsiApi() = default;

    // MsiOpenDatabaseW in read-only mode.
    virtual uint32_t OpenDatabase(const std::wstring& path, MsiHandle& database) = 0;
    // MsiDatabaseApplyTransformW with a transform name such as ":1031" (an embedded transform), no errors suppressed.
    virtual uint32_t ApplyTransform(MsiHandle database, const std::wstring& transform) = 0;
    // MsiDatabaseOpenViewW.
    virtual uint32_t OpenView(MsiHandle database, const std::wstring& query, MsiHandle& view) = 0;
    // MsiViewExecute without a parameter record.
    virtual uint32_t ViewExecute(MsiHandle view) = 0;
    // MsiViewFetch: one record per row, then kMsiNoMoreItems.
    virtual uint32_t ViewFetch(MsiHandle view, MsiHandle& record) = 0;
    // MsiViewGetColumnInfo: kind 0 gives the column names, 1 the column types (e.g. "s38", "I2").
    virtual uint32_t ViewGetColumnInfo(MsiHandle view, int kind, MsiHandle& record) = 0;
    virtual uint32_t ViewClose(MsiHandle view) = 0;
    virtual uint32_t CloseHandle(MsiHandle handle) = 0;

    // MsiRecordGetFieldCount.
    virtual uint32_t RecordFieldCount(MsiHandle record) = 0;
    // MsiRecordGetStringW into a buffer of bufferChars characters (terminator included):
    // kMsiMoreData when the text needs bufferChars characters or more; value is then empty.
    virtual uint32_t RecordGetString(MsiHandle record, uint32_t field, uint32_t bufferChars, std::wstring& value) = 0;
    // MsiRecordGetInteger (MSI_NULL_INTEGER for an empty or non-integer field).
    virtual int32_t RecordGetInteger(MsiHandle record, uint32_t field) = 0;

    // MsiEnumRelatedProductsW: the product code at index, or kMsiNoMoreItems.
    virtual uint32_t EnumRelatedProducts(const std::wstring& upgradeCode, uint32_t index, std::wstring& productCode) = 0;
    // MsiGetProductInfoW with a buffer of bufferChars characters.
    virtual uint32_t GetProductInfo(const std::wstring& productCode, const std::wstring& property, uint32_t bufferChars,
                                    std::wstring& value) = 0;
    // MsiQueryFeatureStateW: 3 when installed locally.
    virtual int32_t QueryFeatureState(const std::wstring& productCode, const std::wstring& feature) = 0;
};

// Closes an MSI handle when it goes out of scope; a view that was executed is closed with MsiViewClose first.
class MsiHandleGuard {
public:
    explicit MsiHandleGuard(IMsiApi& msi) : msi_(msi) {}
    ~MsiHandleGuard() { Close(); }
    MsiHandleGuard(const MsiHandleGuard&) = delete;
    MsiHandleGuard& operator=(const MsiHandleGuard&) = delete;

    MsiHandle& Receive() { Close(); return handle_; }
    MsiHandle get() const { return handle_; }
    void SetExecuted() { executed_ = true; }
    void Close()
    {
        if (handle_ == 0) return;
        if (executed_) msi_.ViewClose(handle_);
        msi_.CloseHandle(handle_);
        handle_ = 0;
        executed_ = false;
    }

private:
    IMsiApi& msi_;
    MsiHandle handle_ = 0;
    bool executed_ = false;
};
