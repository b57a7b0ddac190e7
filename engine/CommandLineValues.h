// Checks of the values that go into the command lines of child processes: a value may add nothing to a
// command line but itself (no switch, no property, no end of a quoted text).
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kErrorInvalidCommandLine = 1639;  // ERROR_INVALID_COMMAND_LINE, as msiexec answers

// A comma-separated feature list (ADDLOCAL, REMOVE) with the blanks around its commas dropped: "A , B" gives
// "A,B". False when a name holds a blank, a double quote or a slash (normalized is then not set).
bool NormalizeFeatureList(const std::wstring& list, std::wstring& normalized);

// The flags of a q-switch (the UI level without its slash): letters and "+", "-", "!" only.
bool IsValidQuietFlags(const std::wstring& flags);

// A folder handed on in double quotes (CUSTOMCONFIGFILES, REDISTDIR): blanks are fine, a double quote or a
// control character is not.
bool IsValidQuotedFolder(const std::wstring& folder);
