// The package's Feature table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/MsiApi.h"

struct FeatureInfo {
    std::wstring Feature;
    std::wstring Feature_Parent;
    std::wstring Title;
    std::wstring Description;
    int32_t Display = 0;
    int32_t Level = 0;
    bool disallowAbsent = false;  // Attributes bit 0x10: cannot be deselected
    bool installed = false;       // installed locally in a related product
    bool selected = false;        // written by the feature page
    uintptr_t treeItem = 0;       // the feature's tree item, written by the feature page
};

// The query that reads the features, ordered as the wizard shows them.
extern const wchar_t* const kFeatureQuery;

// Appends the rows of the Feature table of an open database. Returns 0.
uint32_t GetFeatures(IMsiApi& msi, MsiHandle database, std::vector<FeatureInfo>& features);
