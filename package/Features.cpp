// Reads the package's Feature table into FeatureInfo records.
#include "package/Features.h"

#include "log/DebugTrace.h"

const wchar_t* const kFeatureQuery =
    L"SELECT Feature,Feature_Parent,Title,Description,Display,Level,Attributes FROM Feature "
    L"ORDER BY Display,Feature_Parent";

namespace {

constexpr uint32_t kFieldChars = 250;
constexpr int32_t kDisallowAbsentBit = 4;  // msidbFeatureAttributesUIDisallowAbsent = 0x10

// A field that does not fit the buffer (250 characters or more) or cannot be read is empty.
std::wstring ReadField(IMsiApi& msi, MsiHandle record, uint32_t field)
{
    std::wstring value;
    if (msi.RecordGetString(record, field, kFieldChars, value) != kMsiSuccess) value.clear();
    return value;
}

FeatureInfo ReadFeatureRow(IMsiApi& msi, MsiHandle row)
{
    FeatureInfo feature;
    feature.Feature = ReadField(msi, row, 1);
    feature.Feature_Parent = ReadField(msi, row, 2);
    feature.Title = ReadField(msi, row, 3);
    feature.Description = ReadField(msi, row, 4);
    feature.Display = msi.RecordGetInteger(row, 5);
    feature.Level = msi.RecordGetInteger(row, 6);
    const uint32_t attributes = static_cast<uint32_t>(msi.RecordGetInteger(row, 7));
    feature.disallowAbsent = ((attributes >> kDisallowAbsentBit) & 1) != 0;
    return feature;
}

}  // namespace

uint32_t GetFeatures(IMsiApi& msi, MsiHandle database, std::vector<FeatureInfo>& features)
{
    DebugTrace("GetFeatures");
    DebugTrace("Get active database");
    if (database == 0) return 0;

    DebugTrace("Get feature table");
    MsiHandleGuard view(msi);
    if (msi.OpenView(database, kFeatureQuery, view.Receive()) != kMsiSuccess) return 0;
    DebugTrace("Execute feature table view");
    if (msi.ViewExecute(view.get()) != kMsiSuccess) return 0;
    view.SetExecuted();

    for (;;) {
        MsiHandleGuard row(msi);
        if (msi.ViewFetch(view.get(), row.Receive()) != kMsiSuccess) break;
        FeatureInfo feature = ReadFeatureRow(msi, row.get());
        row.Close();
        features.push_back(feature);
    }
    view.Close();
    DebugTrace("Done");
    return 0;
}
