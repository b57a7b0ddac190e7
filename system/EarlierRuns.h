// The working folders of runs, "KELVARO Setup {GUID}" inside the temporary folder, and the removal of those left
// behind by runs that ended without removing them (a crash, a power cut, a process ended from outside).
//
// Each run holds a marker file in its working folder open, without delete sharing, for as long as it lives. So
// the marker of a running run cannot be deleted, and a folder whose marker can be deleted belongs to a run that
// has ended.
#pragma once

#include <string>

#include "system/FileSystem.h"

// The start of a working folder's name; a GUID in registry form follows.
extern const wchar_t* const kWorkFolderPrefix;  // "KELVARO Setup "
// The marker file inside a working folder.
extern const wchar_t* const kRunMarkerName;  // "Setup.running"

// Whether a name found in the temporary folder is one of a working folder: the prefix and a GUID in registry
// form ("{" 8-4-4-4-12 hexadecimal digits "}"), nothing else.
bool IsWorkFolderName(const std::wstring& name);

// Whether a working folder may be removed, by what came of deleting its marker: only when the marker could be
// deleted. A missing marker does not count: a run that has just created its folder has no marker yet.
bool BelongsToEndedRun(MarkerDeletion deletion);

// Removes a working folder with everything in it. When something in it is still in use (a program a run started
// may outlive it), what can go goes and an unheld marker is put back, so that a later start takes the folder for
// an ended run's and tries again. Whether the folder is gone.
bool RemoveWorkFolder(IFileSystem& files, const std::wstring& folder);

// Removes the working folders of ended runs from the temporary folder (ending with a backslash). Called before
// this run creates its own. Only folders with a working folder's name that are private (IFileSystem::
// IsPrivateFolder) are looked into; one with such a name that others can change was not made by a run and is
// left alone with the line "Not a private folder, left alone: %s". A folder whose marker could be deleted is
// removed with the line "Removed working folder of an ended run: %s". When something in it is still in use
// (a program the run started may outlive it), what can go goes, the marker is put back so that a later start
// tries again, and the line reads "Working folder of an ended run not removed: %s".
void RemoveFoldersOfEndedRuns(IFileSystem& files, const std::wstring& tempFolder);
