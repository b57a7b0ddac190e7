// The Windows side of the working folders of runs: listing the folders of the temporary folder, the marker file
// that a run holds open while it lives, and the attempt to delete another run's marker.
#pragma once

#include <string>
#include <vector>

#include "system/EarlierRuns.h"

// The plain folders in a folder (no links, no "." or ".."), by name; empty when it cannot be listed.
std::vector<std::wstring> Win32ListFolders(const std::wstring& folder);

// Deletes a marker file: Deleted, InUse (a sharing violation: a run holds it open), Missing, or Failed.
// A link in its place is deleted itself, never its target.
MarkerDeletion Win32DeleteMarker(const std::wstring& path);

// Creates the marker file (never opens an existing one) and holds it open without delete sharing until
// Win32ReleaseMarker or the end of the process. False when it cannot be created.
bool Win32HoldMarker(const std::wstring& path);
void Win32ReleaseMarker();
