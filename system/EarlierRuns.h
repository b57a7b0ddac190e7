// The working folders of runs, "KELVARO Setup {GUID}" inside the temporary folder, and the removal of those left
// behind by runs that ended without removing them (a crash, a power cut, a process ended from outside).
//
// Each run holds a marker file in its working folder open, without delete sharing, for as long as it lives. So
// the marker of a running run cannot be deleted, and a folder whose marker can be deleted belongs to a run that
// has ended.
#pragma once

#include <string>
#include <vector>

#include "log/Log.h"

// The start of a working folder's name; a GUID in registry form follows.
extern const wchar_t* const kWorkFolderPrefix;  // "KELVARO Setup "
// The marker file inside a working folder.
extern const wchar_t* const kRunMarkerName;  // "Setup.running"

// What came of trying to delete a working folder's marker.
enum class MarkerDeletion {
    Deleted,  // nobody held it: its run has ended
    InUse,    // its run holds it open: the run is still going
    Missing,  // no marker: a run between creating its folder and its marker, or another start removing it
    Failed,   // any other failure: nothing is known
};

// Whether a name found in the temporary folder is one of a working folder: the prefix and a GUID in registry
// form ("{" 8-4-4-4-12 hexadecimal digits "}"), nothing else.
bool IsWorkFolderName(const std::wstring& name);

// Whether a working folder may be removed, by what came of deleting its marker: only when the marker could be
// deleted. A missing marker does not count: a run that has just created its folder has no marker yet.
bool BelongsToEndedRun(MarkerDeletion deletion);

// Removes the working folders of ended runs from the temporary folder (ending with a backslash), except `own`.
// One log line per folder removed, "Removed working folder of an ended run: %s", or, when the folder could not
// be removed, "Working folder of an ended run not removed: %s". Files: anything with
//   std::vector<std::wstring> ListFolders(const std::wstring& folder)  the plain folders in it (no links), by name
//   MarkerDeletion DeleteMarker(const std::wstring& path)
//   bool RemoveTree(const std::wstring& path)                          without following links; true when gone
template <class Files>
void RemoveFoldersOfEndedRuns(Files& files, const std::wstring& tempFolder, const std::wstring& own)
{
    if (tempFolder.empty()) return;
    for (const std::wstring& name : files.ListFolders(tempFolder)) {
        if (!IsWorkFolderName(name)) continue;
        const std::wstring folder = tempFolder + name;
        if (folder == own) continue;
        if (!BelongsToEndedRun(files.DeleteMarker(folder + L"\\" + kRunMarkerName))) continue;
        if (files.RemoveTree(folder))
            LogFormat(L"ResourceExtractor", L"Removed working folder of an ended run: %s", folder);
        else
            LogFormat(L"ResourceExtractor", L"Working folder of an ended run not removed: %s", folder);
    }
}
