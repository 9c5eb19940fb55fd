// Installation of the update package: download "zarvik.zip" beside the executable, unpack it into
// the emptied scratch directory "Temp" (every member flushed and checked against its declared
// size), then, file by file, set each replaced file aside as "<name>.old" and move the new one
// in, the executable last. The ".old" files stay until the first start of the new version.
//
// The journal ("update.journal", see update_journal.h) is written whole and flushed before the
// first rename and replaced by the committed one after the last move. At the next start a
// committed journal means the new version runs: the backups it names and then the journal are
// deleted. A journal that is not committed means the installation was interrupted: it is rolled
// back from the backups, and if that fails the journal and the backups stay for another try. A
// journal whose writing never finished is discarded: nothing was renamed for it.
#pragma once

#include <windows.h>

#include <string>

// RunUpdate results besides 0 (new files in place), the download codes and the zip reader codes.
constexpr int kUpdateNoManifest = 1;                // manifest missing or naming no package URL
constexpr int kUpdateSetAsideFailed = 0x20000;      // a file could not be set aside; all undone
constexpr int kUpdateCopyFailed = 0x40000;          // a file could not be moved in; all undone
constexpr int kUpdateEmptyPackage = 0x80000;        // the package holds no entries
constexpr int kUpdateScratchFailed = 0x100000;      // "Temp" could not be emptied or created
constexpr int kUpdateJournalFailed = 0x200000;      // the journal could not be written or committed
constexpr int kUpdateEarlierUnfinished = 0x400000;  // an earlier installation could not be undone
constexpr int kUpdateRollBackFailed = 0x800000;     // a failure whose undo failed too: journal kept
constexpr int kUpdateManifestRefused = 0x1000000;   // the manifest's version is not newer

// The update procedure for the running executable; runs on the update worker thread.
int RunUpdate(HWND window);

// The clean-up at a normal start for `directory` (no trailing separator): finishes or rolls back
// an earlier installation by its journal, which deletes the backups the journal names and
// nothing else; the scratch folder and a left package are removed too. The path stays wide: an
// installation folder outside the ANSI code page is settled all the same.
void DeleteOldFiles(const std::wstring& directory);

// Copies the tree `source` over `destination`; true when every file arrived. With `moveFiles`
// the files are moved instead where the system can (copied where it cannot).
bool CopyDirectoryTree(const std::wstring& source,
                       const std::wstring& destination,
                       bool moveFiles = false);
// Deletes the tree `directory` (links to other folders are removed, never entered); true when
// nothing of it is left.
bool DeleteDirectoryTree(const std::wstring& directory);

namespace zarvik {

struct UpdateManifest;

// RunUpdate for the installation directory `directory` (with a trailing backslash), following
// `manifest`, the one the version check accepted (null: none, result kUpdateNoManifest); its
// version must still be newer than LocalVersion (else kUpdateManifestRefused). `pauseMs` is the
// pause after a failed download.
int RunUpdateIn(HWND window,
                const std::wstring& directory,
                const UpdateManifest* manifest,
                DWORD pauseMs);
// The same with the manifest the last version check accepted (AcceptedManifest).
int RunUpdateIn(HWND window, const std::wstring& directory, DWORD pauseMs);

// Unpacks `package` and puts its files in place in `directory` (with trailing backslash).
int InstallPackage(const std::wstring& directory, const std::wstring& package);

// What the journal in `directory` (with trailing backslash) says about an earlier installation.
enum class EarlierUpdate {
  kNone,        // no journal
  kFinished,    // committed: backups and journal deleted (or the journal could not be deleted)
  kRolledBack,  // not committed: the old files are back and the journal is gone
  kDiscarded,   // its writing never finished, so nothing was renamed: the journal was deleted
  kStuck,       // unreadable, unsafe, or the roll-back failed: journal and backups kept (or the
                // journal set aside, see StuckJournal)
};
// What becomes of a journal that cannot be settled: kept for the next start, or, in the update
// that finds it (which then fails and is reported), renamed to kStuckJournalName so that the
// next update can install over it.
enum class StuckJournal { kKeep, kSetAside };
// Settles the journal in `directory`, see above. A journal left under its temporary name is
// deleted first.
EarlierUpdate SettleEarlierUpdate(const std::wstring& directory,
                                  StuckJournal stuck = StuckJournal::kKeep);

// The clean-up of a normal start for `directory` (with trailing backslash).
void CleanUpAfterUpdate(const std::wstring& directory);

constexpr wchar_t kJournalName[] = L"update.journal";
// The journal while it is written, before it is renamed into place.
constexpr wchar_t kTemporaryJournalName[] = L"update.journal.new";
// A journal that could not be settled, out of the way of later updates.
constexpr wchar_t kStuckJournalName[] = L"update.journal.stuck";

}  // namespace zarvik
