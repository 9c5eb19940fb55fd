// Installation of the update package: download "zarvik.zip" beside the executable, unpack it into
// the scratch directory "Temp", set every file it replaces aside as "<name>.old", copy the
// unpacked tree over the installation and clean up. The ".old" files go at the next start.
//
// A journal file ("update.journal") is written before the first file is set aside and removed
// after the last file is in place. If it is still there at the next start, that update never
// finished: the installation is rolled back from its ".old" files instead of having them deleted.
#pragma once

#include <windows.h>

#include <string>

// RunUpdate results besides 0 (new files in place), the download codes and the zip reader codes.
constexpr int kUpdateNoManifest = 1;            // manifest missing or naming no package URL
constexpr int kUpdateSetAsideFailed = 0x20000;  // a file could not be set aside; all undone
constexpr int kUpdateCopyFailed = 0x40000;      // a file could not be copied; all undone
constexpr int kUpdateEmptyPackage = 0x80000;    // the package holds no entries

// The update procedure for the running executable; runs on the update worker thread.
int RunUpdate(HWND window);

// Removes every file whose name contains ".old" below `directory` (no trailing separator), after
// rolling back an installation that did not finish.
void DeleteOldFiles(const std::string& directory);

// Copies the tree `source` over `destination`; true when every file arrived. With `moveFiles`
// the files are moved instead where the system can (copied where it cannot).
bool CopyDirectoryTree(const std::wstring& source,
                       const std::wstring& destination,
                       bool moveFiles = false);
// Deletes the tree `directory`; false when it could not be listed.
bool DeleteDirectoryTree(const std::string& directory);

namespace zarvik {

// RunUpdate for the installation directory `directory` (with a trailing backslash); `pauseMs`
// is the pause after a failed download.
int RunUpdateIn(HWND window, const std::wstring& directory, DWORD pauseMs);

// Rolls back what the journal in `directory` (with trailing backslash) records, then removes it.
// False when there was no journal.
bool RollBackUnfinishedUpdate(const std::wstring& directory);

constexpr wchar_t kJournalName[] = L"update.journal";

}  // namespace zarvik
