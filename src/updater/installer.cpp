#include "updater/installer.h"

#include <algorithm>
#include <cwchar>
#include <set>
#include <vector>

#include "base/game_notify.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "updater/downloader.h"
#include "updater/flush_pool.h"
#include "updater/package_integrity.h"
#include "updater/update_journal.h"
#include "updater/update_messages.h"
#include "updater/update_steps.h"
#include "updater/version_check.h"
#include "updater/version_order.h"
#include "updater/zip_names.h"
#include "updater/zip_reader.h"

namespace {

constexpr int kDownloadAttempts = 5;
// The last tries of a download go to the manifest's second URL.
constexpr int kTriesOnSecondUrl = 3;
// The try number rides in the low word of the failure notification's wParam.
constexpr WPARAM kAttemptMask = 0xFFFF;
// The longest suffix the updater appends to a member's path (".old.undone").
constexpr size_t kLongestSuffix = 11;

// Paths go into the log and to libcurl in the ANSI code page.
std::string ToAnsi(const std::wstring& text) {
  return zarvik::WideToAnsi(text);
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// True when `path` is gone afterwards.
bool DeleteIfExists(const std::wstring& path, const char* step = "delete") {
  if (!PathExists(path))
    return true;
  if (!zarvik::UpdateStep(step, path))
    return false;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != FALSE;
}

bool Rename(const char* step,
            const std::wstring& from,
            const std::wstring& to,
            DWORD flags,
            bool writeThrough = true) {
  return zarvik::UpdateStep(step, to) &&
         MoveFileExW(from.c_str(), to.c_str(),
                     flags | (writeThrough ? MOVEFILE_WRITE_THROUGH : 0)) != FALSE;
}

std::wstring PackageUrl(const std::wstring& url, const SYSTEMTIME& now) {
  wchar_t sid[64];
  swprintf(sid, 64, L"?sid=%.4d%.2d%.2d%.2d%.2d%.2d%.3d", now.wYear, now.wMonth, now.wDay,
           now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return url + sid;
}

std::wstring WithoutSeparator(std::wstring path) {
  if (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
    path.pop_back();
  return path;
}

// The single ANSI byte a character becomes with the system's best-fit conversion, 0 if none.
char AnsiOf(wchar_t c) {
  char out[8] = {};
  int n = WideCharToMultiByte(CP_ACP, 0, &c, 1, out, sizeof(out), nullptr, nullptr);
  return n == 1 ? out[0] : 0;
}

bool IsExecutableName(const std::wstring& name) {
  return zarvik::FoldZipName(name) == zarvik::FoldZipName(L"zarvik.exe");
}

// --- The journal on disk ---------------------------------------------------------------------

std::wstring JournalPath(const std::wstring& directory) {
  return directory + zarvik::kJournalName;
}

// Where the journal is written before it is renamed into place; never read.
std::wstring TemporaryJournalPath(const std::wstring& directory) {
  return directory + zarvik::kTemporaryJournalName;
}

// The step names of one journal write; each system call that changes the journal has its own.
struct JournalSteps {
  const char* create;
  const char* write;
  const char* place;
};
constexpr JournalSteps kStartSteps = {"create journal", "write journal", "place journal"};
constexpr JournalSteps kCommitSteps = {"create committed journal", "write committed journal",
                                       "commit journal"};

// Writes `journal` whole under the temporary name, flushes it and renames it over the journal:
// the journal on disk is always the old one or the new one, never a part. True when it is in
// place; on failure the temporary file is gone again (as far as it can be deleted).
bool WriteJournal(const std::wstring& directory,
                  const zarvik::UpdateJournal& journal,
                  const JournalSteps& steps) {
  const std::wstring temporary = TemporaryJournalPath(directory);
  const std::string text = zarvik::FormatJournal(journal);
  bool written = false;
  if (zarvik::UpdateStep(steps.create, temporary)) {
    zarvik::ScopedFileHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    DWORD count = 0;
    written =
        file && zarvik::UpdateStep(steps.write, temporary) &&
        WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &count, nullptr) &&
        count == text.size() && FlushFileBuffers(file.Get());
  }
  if (written && Rename(steps.place, temporary, JournalPath(directory), MOVEFILE_REPLACE_EXISTING))
    return true;
  const DWORD error = GetLastError();
  DeleteIfExists(temporary, "delete temporary journal");
  SetLastError(error);
  return false;
}

// 0: read; 1: no journal; -1: unreadable or too large.
int ReadJournal(const std::wstring& path, std::string* text) {
  if (!PathExists(path))
    return 1;
  zarvik::ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file)
    return -1;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    text->append(buffer, read);
    if (text->size() > zarvik::kMaxJournalBytes)
      return -1;
  }
  return 0;
}

// --- Roll-back -------------------------------------------------------------------------------

// Puts `prefix + name + ".old"` back as `prefix + name`; true when the old file is in place.
// The old file replaces the new one in one rename, so the name never goes missing. Where the new
// file cannot be replaced (the running executable can be renamed but not deleted), it is moved to
// a ".old.undone" name that a later clean-up removes, and moved back if the old one cannot come.
// A folder where the file should be is never moved: the journal names files there.
bool RestoreOld(const std::wstring& prefix, const std::wstring& name) {
  const std::wstring target = prefix + name;
  const std::wstring old = target + L".old";
  if (IsDirectory(target) || IsDirectory(old)) {
    LogLine(ERROR, "restore file : ", ToAnsi(target), " failed, a folder stands there.");
    return false;
  }
  if (!PathExists(old))
    return PathExists(target);  // never set aside: the old file is still where it was
  SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (PathExists(target))
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (Rename("restore", old, target, MOVEFILE_REPLACE_EXISTING))
    return true;
  const std::wstring away = target + L".old.undone";
  if (PathExists(target) && Rename("move new file away", target, away, MOVEFILE_REPLACE_EXISTING)) {
    if (Rename("restore", old, target, 0))
      return true;
    Rename("move new file back", away, target, 0);
  }
  LogLine(ERROR, "restore file : ", ToAnsi(target), " failed,error : ", GetLastError());
  return false;
}

bool RemoveNew(const std::wstring& prefix, const std::wstring& name) {
  const std::wstring target = prefix + name;
  if (!PathExists(target))
    return true;
  if (IsDirectory(target)) {
    // The installation adds files by N lines, never folders: this folder was there before.
    LogLine(ERROR, "not removed, a folder and not a new file : ", ToAnsi(target));
    return true;
  }
  if (DeleteIfExists(target, "remove new file") ||
      Rename("move new file away", target, target + L".old.undone", MOVEFILE_REPLACE_EXISTING))
    return true;
  LogLine(ERROR, "cannot remove new file : ", ToAnsi(target), " error : ", GetLastError());
  return false;
}

// Undoes what `journal` records; true when every old file is back. The names whose new file
// could only be moved to "<name>.old.undone" are added to `undone`.
bool RollBack(const std::wstring& prefix,
              const zarvik::UpdateJournal& journal,
              std::vector<std::wstring>* undone) {
  bool ok = true;
  for (const std::wstring& name : journal.added)
    ok = RemoveNew(prefix, name) && ok;
  for (const std::wstring& name : journal.replaced)
    ok = RestoreOld(prefix, name) && ok;
  // Folders of the installation, deepest first; one that is not empty stays.
  for (auto it = journal.folders.rbegin(); it != journal.folders.rend(); ++it) {
    const std::wstring folder = prefix + *it;
    if (IsDirectory(folder) && zarvik::UpdateStep("remove folder", folder))
      RemoveDirectoryW(folder.c_str());
  }
  for (const auto* names : {&journal.added, &journal.replaced}) {
    for (const std::wstring& name : *names) {
      if (PathExists(prefix + name + L".old.undone"))
        undone->push_back(name);
    }
  }
  return ok;
}

// Deletes what a committed journal names: the backups of the replaced files and what a roll-back
// left, with the clean-up's log lines. True when none of them is left.
bool DeleteNamedBackups(const std::wstring& prefix, const zarvik::UpdateJournal& journal) {
  std::vector<std::wstring> found;
  for (const std::wstring& name : journal.replaced)
    found.push_back(prefix + name + L".old");
  for (const std::wstring& name : journal.undone)
    found.push_back(prefix + name + L".old.undone");
  // The updater sets aside files only: a folder of that name is not one of its backups.
  found.erase(std::remove_if(
                  found.begin(), found.end(),
                  [](const std::wstring& path) { return !PathExists(path) || IsDirectory(path); }),
              found.end());
  LogLine(INFO, "find old file number : ", found.size());
  bool ok = true;
  for (const std::wstring& path : found) {
    LogLine(INFO, "delete file : ", ToAnsi(path));
    if (DeleteIfExists(path, "delete backup")) {
      LogLine(INFO, "file : ", ToAnsi(path), " delete succ.");
    } else {
      LogLine(ERROR, "file : ", ToAnsi(path), " delete failed,error : ", GetLastError());
      ok = false;
    }
  }
  return ok;
}

// --- Directory walks (wide names only, so no name changes meaning in a code page) ------------

bool IsDotEntry(const wchar_t* name) {
  return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// One member of the package as the installation sees it.
struct Member {
  int index;
  std::wstring name;  // cleaned, with backslashes
  bool directory;
};

std::wstring BackslashName(std::wstring name) {
  std::replace(name.begin(), name.end(), L'/', L'\\');
  while (!name.empty() && name.back() == L'\\')
    name.pop_back();
  return name;
}

// Lists every member and refuses the whole package, before anything is written, when a member
// cannot be read or its name is unsafe, too long or collides with another one.
int ListPackage(ZipReader* reader,
                const std::wstring& scratch,
                const std::wstring& base,
                std::vector<Member>* members) {
  const int count = reader->EntryCount();
  std::vector<zarvik::ZipListedName> names;
  for (int i = 0; i < count; ++i) {
    ZipEntry entry;
    int code = reader->ReadEntry(i, &entry);
    if (code != ZR_OK) {
      LogLine(ERROR, "cannot read package member ", i, ", zip code : ", code);
      return code;
    }
    names.push_back({entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  }
  // Every path the updater makes of a member, with its longest suffix, stays below MAX_PATH.
  const size_t used = std::max(scratch.size(), base.size()) + 1 + kLongestSuffix;
  const size_t maxLength = used < MAX_PATH ? MAX_PATH - 1 - used : 0;
  size_t at = 0;
  if (const char* problem = zarvik::ZipListProblem(names, maxLength, &AnsiOf, &at)) {
    LogLine(ERROR, "package member refused (", problem, ") : ", zarvik::WideToUtf8(names[at].name));
    return ZR_ARGS;
  }
  for (size_t i = 0; i < names.size(); ++i)
    members->push_back({static_cast<int>(i), BackslashName(names[i].name), names[i].directory});
  return ZR_OK;
}

// --- The steps of an installation ------------------------------------------------------------

// Empties "Temp" and creates it afresh; 0 or kUpdateScratchFailed. Whatever an earlier run left
// there is never installed, and a file of that name is junk too. Without the folder nothing is
// unpacked: members must never land anywhere else.
int PrepareScratchFolder(const std::wstring& scratch) {
  if (PathExists(scratch) && !IsDirectory(scratch) && !DeleteIfExists(scratch)) {
    const DWORD error = GetLastError();
    LogLine(ERROR,
            "a file stands where the scratch folder goes and cannot be deleted : ", ToAnsi(scratch),
            " error : ", error);
    return kUpdateScratchFailed;
  }
  if (!DeleteDirectoryTree(scratch)) {
    const DWORD error = GetLastError();
    LogLine(ERROR, "cannot empty the scratch folder : ", ToAnsi(scratch), " error : ", error);
    return kUpdateScratchFailed;
  }
  if (!zarvik::UpdateStep("create folder", scratch) ||
      !CreateDirectoryW(scratch.c_str(), nullptr) || !IsDirectory(scratch)) {
    const DWORD error = GetLastError();
    LogLine(ERROR, "cannot create the scratch folder : ", ToAnsi(scratch), " error : ", error);
    return kUpdateScratchFailed;
  }
  return 0;
}

// Unpacks every member of `package` into `scratch`, after the whole list has been checked; the
// members come back in `members`. ZR_OK, kUpdateEmptyPackage or a zip reader code.
int UnpackPackage(const std::wstring& package,
                  const std::wstring& scratch,
                  const std::wstring& base,
                  std::vector<Member>* members) {
  LogLine(INFO, "unzip : ", ToAnsi(package));
  std::unique_ptr<ZipReader> reader = ZipReader::Open(package, scratch + L"\\");
  if (!reader) {
    int result = ZipLastResult() ? ZipLastResult() : ZR_NOFILE;
    LogLine(ERROR, "cannot open the package, zip code : ", result);
    return result;
  }
  if (reader->EntryCount() == 0) {
    LogLine(INFO, "extract return code : ", kUpdateEmptyPackage);
    return kUpdateEmptyPackage;
  }
  int result = ListPackage(reader.get(), scratch, base, members);
  // Each member is flushed on the pool while the next ones are written; the unpacking ends only
  // when every flush is done, so nothing is renamed before all members are on disk.
  zarvik::FlushPool flushes;
  for (size_t i = 0; result == ZR_OK && i < members->size() && !flushes.Failed(); ++i) {
    const Member& member = (*members)[i];
    result = reader->ExtractEntry(member.index, member.name, &flushes);
    if (result != ZR_OK)
      LogLine(ERROR, "cannot unpack ", zarvik::WideToUtf8(member.name), ", zip code : ", result);
  }
  std::wstring unflushed;
  if (flushes.Finish(&unflushed) && result == ZR_OK) {
    result = ZR_WRITE;
    LogLine(ERROR, "cannot unpack ", zarvik::WideToUtf8(unflushed), ", zip code : ", result);
  }
  if (result != ZR_OK)
    LogLine(INFO, "extract return code : ", result);
  return result;
}

// The folders of the installation a member needs, outermost first (the member itself too when
// it is a folder).
std::vector<std::wstring> FolderChain(const Member& member) {
  std::vector<std::wstring> chain;
  for (size_t at = member.name.find(L'\\'); at != std::wstring::npos;
       at = member.name.find(L'\\', at + 1))
    chain.push_back(member.name.substr(0, at));
  if (member.directory)
    chain.push_back(member.name);
  return chain;
}

// The plan, before anything is renamed: folders to create, files to add, files to replace, in
// `journal`; the files to move in, the executable last, in `files`. 0, kUpdateCopyFailed (a file
// where a folder is needed or the other way round) or kUpdateSetAsideFailed (a stale backup that
// cannot be deleted).
int PlanInstallation(const std::wstring& prefix,
                     const std::vector<Member>& members,
                     zarvik::UpdateJournal* journal,
                     std::vector<std::wstring>* files) {
  std::set<std::wstring> plannedFolders;
  for (const Member& member : members) {
    for (const std::wstring& folder : FolderChain(member)) {
      const std::wstring path = prefix + folder;
      if (PathExists(path) && !IsDirectory(path)) {
        LogLine(ERROR, "a file stands where the package needs a folder : ", ToAnsi(path));
        return kUpdateCopyFailed;
      }
      if (!PathExists(path) && plannedFolders.insert(zarvik::FoldZipName(folder)).second)
        journal->folders.push_back(folder);
    }
    if (!member.directory)
      files->push_back(member.name);
  }
  std::stable_partition(files->begin(), files->end(),
                        [](const std::wstring& name) { return !IsExecutableName(name); });
  for (const std::wstring& name : *files) {
    const std::wstring target = prefix + name;
    if (IsDirectory(target)) {
      LogLine(ERROR, "a folder stands where the package has a file : ", ToAnsi(target));
      return kUpdateCopyFailed;
    }
    if (!PathExists(target)) {
      journal->added.push_back(name);
      continue;
    }
    // A backup left by an earlier update: after an interruption, every "<name>.old" of an R
    // line must be this installation's own.
    if (!DeleteIfExists(target + L".old", "delete stale backup")) {
      LogLine(ERROR, "cannot delete the stale backup : ", ToAnsi(target + L".old"));
      return kUpdateSetAsideFailed;
    }
    journal->replaced.push_back(name);
  }
  return 0;
}

// Writes the journal of the plan; without it no rename may start. 0 or kUpdateJournalFailed.
int StartJournal(const std::wstring& prefix, const zarvik::UpdateJournal& journal) {
  if (WriteJournal(prefix, journal, kStartSteps))
    return 0;
  LogLine(ERROR, "cannot write the update journal, error : ", GetLastError());
  DeleteIfExists(JournalPath(prefix), "delete journal");
  return kUpdateJournalFailed;
}

// Creates the planned folders, then sets aside and moves in one file at a time: the set-aside
// and the move of a file are adjacent renames. The executable comes last, and between its two
// renames nothing else happens (no flush, no log line, no other file), so that it is missing
// for as short a time as the system allows. 0, kUpdateCopyFailed or kUpdateSetAsideFailed; the
// caller undoes a failure from the journal.
int SetAsideAndMoveIn(const std::wstring& prefix,
                      const std::wstring& scratch,
                      const zarvik::UpdateJournal& journal,
                      const std::vector<std::wstring>& files) {
  for (const std::wstring& folder : journal.folders) {
    const std::wstring path = prefix + folder;
    if (!zarvik::UpdateStep("create folder", path) || !CreateDirectoryW(path.c_str(), nullptr)) {
      LogLine(ERROR, "cannot create folder : ", ToAnsi(path), " error : ", GetLastError());
      return kUpdateCopyFailed;
    }
  }
  const std::set<std::wstring> replaced(journal.replaced.begin(), journal.replaced.end());
  for (const std::wstring& name : files) {
    // Every path is made before the first rename.
    const std::wstring target = prefix + name;
    const std::wstring backup = target + L".old";
    const std::wstring unpacked = scratch + L"\\" + name;
    // A rename within one folder: write-through would only matter for a copy.
    if (replaced.count(name) && !Rename("set aside", target, backup, 0, false)) {
      LogLine(ERROR, "rename file : ", ToAnsi(target), " failed,error : ", GetLastError());
      return kUpdateSetAsideFailed;
    }
    if (!Rename("move in", unpacked, target, MOVEFILE_REPLACE_EXISTING)) {
      LogLine(ERROR, "move file : ", ToAnsi(target), " failed,error : ", GetLastError());
      return kUpdateCopyFailed;
    }
  }
  return 0;
}

// A journal that cannot be settled blocks the update that finds it: that update fails and is
// reported. So that it cannot block every later one too, it is then renamed out of the way (kept
// for a look at it); the next update installs over what it left, and its own plan deletes the
// stale backups of the files it replaces. At a normal start it stays, for another try.
zarvik::EarlierUpdate SetAsideIfAsked(const std::wstring& prefix, zarvik::StuckJournal stuck) {
  if (stuck == zarvik::StuckJournal::kSetAside) {
    const std::wstring aside = prefix + zarvik::kStuckJournalName;
    if (Rename("set aside journal", JournalPath(prefix), aside, MOVEFILE_REPLACE_EXISTING))
      LogLine(ERROR, "the update journal is set aside as ", ToAnsi(aside),
              ", the next update installs over it.");
    else
      LogLine(ERROR, "cannot set the update journal aside, error : ", GetLastError());
  }
  return zarvik::EarlierUpdate::kStuck;
}

// Rolls the installation of `journal` back. When the old files are back, the journal goes; if
// the roll-back could only move some new files to "<name>.old.undone", a committed journal that
// names just those replaces it, so that a later start deletes them. False, with the journal and
// the backups kept for another try, when an old file could not be put back.
bool RolledBack(const std::wstring& prefix, const zarvik::UpdateJournal& journal) {
  zarvik::UpdateJournal left;
  if (!RollBack(prefix, journal, &left.undone)) {
    LogLine(ERROR, "the roll-back failed: the journal and the backups stay for the next start.");
    return false;
  }
  if (!left.undone.empty()) {
    left.committed = true;
    if (!WriteJournal(prefix, left, kCommitSteps)) {
      // Rolling back again at the next start changes nothing and names them again.
      LogLine(ERROR, "cannot write the update journal, error : ", GetLastError());
    }
    return true;
  }
  if (!DeleteIfExists(JournalPath(prefix), "delete journal")) {
    // Rolling back again at the next start changes nothing: the old files are in place.
    LogLine(ERROR, "cannot delete the update journal, error : ", GetLastError());
  }
  return true;
}

// Rolls a failed installation back from its journal; `failure` when the old version is back (and
// the journal gone), kUpdateRollBackFailed when the journal and the backups must stay.
int UndoInstallation(const std::wstring& prefix,
                     const zarvik::UpdateJournal& journal,
                     int failure) {
  if (!RolledBack(prefix, journal))
    return kUpdateRollBackFailed;
  return failure;
}

// --- The steps before an installation --------------------------------------------------------

// Where the package comes from and what it must be.
struct PackageSource {
  std::string urls[2];  // ANSI, each with its "?sid=" time stamp
  zarvik::PackageExpectation expected;
};

// Takes the package URLs from the manifest the version check accepted (its signature, serial,
// expiry and edition were checked over the bytes it was parsed from) and checks its version
// against the running one again: the manifest on disk is never read here, so nothing written
// there after the check can be installed. 0, kUpdateNoManifest or kUpdateManifestRefused.
int ReadCheckedManifest(const zarvik::UpdateManifest* manifest, PackageSource* source) {
  if (!manifest) {
    LogLine(ERROR, "update configure file no exists.");
    return kUpdateNoManifest;
  }
  if (manifest->url.empty() && manifest->url2.empty()) {
    LogLine(ERROR, "update url section cann't find.");
    return kUpdateNoManifest;
  }
  if (zarvik::CompareVersions(manifest->version, LocalVersion) <= 0) {
    LogLine(ERROR, "the update manifest is refused: its version ", ToAnsi(manifest->version),
            " is not newer than ", ToAnsi(LocalVersion), ".");
    return kUpdateManifestRefused;
  }
  source->expected = manifest->expected;
  SYSTEMTIME now;
  GetLocalTime(&now);
  source->urls[0] = ToAnsi(PackageUrl(manifest->url, now));
  source->urls[1] = ToAnsi(PackageUrl(manifest->url2, now));
  return 0;
}

// One download of the package within `deadlineMs`, checked against the manifest before anything
// is unpacked: a mismatch is a failed download like any other. 0 or a download code.
int DownloadOnce(const std::string& url,
                 const std::wstring& package,
                 const zarvik::PackageExpectation& expected,
                 DWORD deadlineMs) {
  int result =
      DownloadFile(url, package, expected.size >= 0 ? expected.size : kMaxPackageBytes, deadlineMs);
  if (result == kDownloadTooLarge && expected.size >= 0)
    result = kDownloadMismatch;  // larger than the manifest's "Size"
  std::string problem;
  if (result == 0 && !zarvik::PackageMatches(package, expected, &problem)) {
    LogLine(ERROR, "the package does not match the manifest (", problem, "), deleted.");
    DeleteIfExists(package, "delete package");
    result = kDownloadMismatch;
  }
  return result;
}

// Downloads the package: the first URL first, the second for the last tries; every failed try
// is told to the game and followed by a pause of `pauseMs`. Each try has its deadline from the
// package's size, and all of them together the course's deadline. 0 or the last download code.
int DownloadCheckedPackage(HWND window,
                           const PackageSource& source,
                           const std::wstring& package,
                           DWORD pauseMs) {
  LogLine(INFO, "update package down load url : ", source.urls[0]);
  const zarvik::PackageDeadlines deadlines = zarvik::CurrentPackageDeadlines();
  const DWORD tryDeadline = zarvik::PackageTryDeadlineMs(source.expected.size, deadlines);
  const ULONGLONG courseStart = GetTickCount64();
  int result = 0;
  int attempt = 1;
  for (int remaining = kDownloadAttempts - 1; remaining >= 0; --remaining) {
    const ULONGLONG spent = GetTickCount64() - courseStart;
    if (spent >= deadlines.courseMs) {
      LogLine(ERROR, "the package download passed the update's deadline of ", deadlines.courseMs,
              " ms, no more tries.");
      return result != 0 ? result : kDownloadTimedOut;
    }
    const DWORD left = static_cast<DWORD>(deadlines.courseMs - spent);
    const std::string& url = remaining >= kTriesOnSecondUrl ? source.urls[0] : source.urls[1];
    LogLine(INFO, "try to download zarvik.zip from ", url);
    result = DownloadOnce(url, package, source.expected, std::min(tryDeadline, left));
    LogLine(INFO, "nRet = ", result);
    if (result == 0)
      return 0;
    if (window) {
      PostMessageW(window, GAME_NOTIFY_UPDATE_FAIL,
                   GameNotifyWParam(GAME_NOTIFY_UPDATE_FAIL) | (attempt & kAttemptMask), 0);
      ++attempt;
      LogLine(ERROR, "dwonload falied ,will retry ,", attempt);
    }
    Sleep(pauseMs);
  }
  return result;
}

}  // namespace

bool CopyDirectoryTree(const std::wstring& source,
                       const std::wstring& destination,
                       bool moveFiles) {
  CreateDirectoryW(destination.c_str(), nullptr);
  WIN32_FIND_DATAW data;
  zarvik::ScopedFindHandle find(FindFirstFileW((source + L"/*.*").c_str(), &data));
  if (!find)
    return false;
  bool ok = true;
  do {
    // "." and ".." are skipped by name: the listing order is up to the file system.
    if (IsDotEntry(data.cFileName))
      continue;
    const std::wstring from = source + L"/" + data.cFileName;
    const std::wstring to = destination + L"/" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ok = CopyDirectoryTree(from, to, moveFiles) && ok;
    } else if (moveFiles && MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      continue;
    } else if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
      LogLine(ERROR, "copy file : ", ToAnsi(from), " failed,error : ", GetLastError());
      ok = false;
    }
  } while (FindNextFileW(find.Get(), &data));
  return ok;
}

bool DeleteDirectoryTree(const std::wstring& directory) {
  const std::wstring base = WithoutSeparator(directory);
  if (!PathExists(base))
    return true;
  WIN32_FIND_DATAW data;
  zarvik::ScopedFindHandle find(FindFirstFileW((base + L"\\*").c_str(), &data));
  if (find) {
    do {
      if (IsDotEntry(data.cFileName))
        continue;
      const std::wstring path = base + L"\\" + data.cFileName;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link to another folder: the link goes, what it points to is never entered.
        if (zarvik::UpdateStep("delete", path)) {
          SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          if (!RemoveDirectoryW(path.c_str()))
            DeleteFileW(path.c_str());
        }
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirectoryTree(path);
      } else {
        DeleteIfExists(path);  // unpacked read-only members included
      }
    } while (FindNextFileW(find.Get(), &data));
    find.Reset();  // the folder itself goes next
  }
  if (zarvik::UpdateStep("remove folder", base))
    RemoveDirectoryW(base.c_str());
  return !PathExists(base);
}

namespace zarvik {

EarlierUpdate SettleEarlierUpdate(const std::wstring& directory, StuckJournal stuck) {
  const std::wstring path = JournalPath(directory);
  // A journal still under its temporary name was never in place: nothing was renamed for it.
  if (!DeleteIfExists(TemporaryJournalPath(directory), "delete temporary journal"))
    LogLine(ERROR, "cannot delete the temporary update journal, error : ", GetLastError());
  std::string text, problem;
  const int read = ReadJournal(path, &text);
  if (read == 1)
    return EarlierUpdate::kNone;
  UpdateJournal journal;
  const JournalText kind =
      read < 0 ? JournalText::kRefused : ParseJournal(text, &journal, &problem);
  if (kind == JournalText::kIncomplete) {
    LogLine(ERROR, "the update journal is incomplete (", problem,
            "): nothing was renamed for it, it is discarded.");
    if (DeleteIfExists(path, "delete journal"))
      return EarlierUpdate::kDiscarded;
    LogLine(ERROR, "cannot delete the update journal, error : ", GetLastError());
    return SetAsideIfAsked(directory, stuck);
  }
  if (kind == JournalText::kRefused) {
    if (read < 0)
      problem = "journal unreadable";
    LogLine(ERROR, "the update journal is not used (", problem, "), it stays with the backups.");
    return SetAsideIfAsked(directory, stuck);
  }
  if (journal.committed) {
    // The new version has started: its backups are no longer needed, then the journal.
    if (!DeleteNamedBackups(directory, journal)) {
      LogLine(ERROR, "cannot delete every backup of the last update, error : ", GetLastError());
      return SetAsideIfAsked(directory, stuck);
    }
    if (!DeleteIfExists(path, "delete journal"))
      LogLine(ERROR, "cannot delete the update journal, error : ", GetLastError());
    LogLine(INFO, "the last update is finished, ", journal.replaced.size(), " backups deleted.");
    return EarlierUpdate::kFinished;
  }
  LogLine(ERROR, "the last update did not finish, roll back ", journal.replaced.size(), " files.");
  if (!RolledBack(directory, journal))
    return SetAsideIfAsked(directory, stuck);
  return EarlierUpdate::kRolledBack;
}

int InstallPackage(const std::wstring& directory, const std::wstring& package) {
  const std::wstring base = WithoutSeparator(directory);
  const std::wstring prefix = base + L"\\";
  const std::wstring scratch = base + L"\\Temp";

  int result = PrepareScratchFolder(scratch);
  if (result != 0)
    return result;
  std::vector<Member> members;
  result = UnpackPackage(package, scratch, base, &members);
  UpdateJournal journal;
  std::vector<std::wstring> files;
  if (result == ZR_OK)
    result = PlanInstallation(prefix, members, &journal, &files);
  if (result == 0)
    result = StartJournal(prefix, journal);
  if (result != 0) {
    // Nothing of the installation was touched yet.
    DeleteDirectoryTree(scratch);
    return result;
  }

  // From here on every failure is undone from the journal.
  result = SetAsideAndMoveIn(prefix, scratch, journal, files);
  if (result == 0) {
    UpdateJournal committed = journal;
    committed.committed = true;
    if (!WriteJournal(prefix, committed, kCommitSteps)) {
      LogLine(ERROR, "cannot commit the update journal, error : ", GetLastError());
      result = kUpdateJournalFailed;
    }
  }
  if (result != 0) {
    // Half a new version is a broken client: put the old one back.
    result = UndoInstallation(prefix, journal, result);
    DeleteDirectoryTree(scratch);
    return result;
  }
  // Committed: left-overs of the scratch folder or the package are removed at the next start.
  DeleteDirectoryTree(scratch);
  LogLine(INFO, "Delete Directory : ", ToAnsi(scratch));
  LogLine(INFO, "extract return code : ", 0);
  DeleteIfExists(package, "delete package");
  return 0;
}

void CleanUpAfterUpdate(const std::wstring& directory) {
  const std::wstring base = WithoutSeparator(directory);
  // Only what a journal names is deleted: a file of the installation may well contain ".old".
  const EarlierUpdate earlier = SettleEarlierUpdate(base + L"\\");
  if (earlier != EarlierUpdate::kFinished)
    LogLine(INFO, "find old file number : ", 0);
  DeleteDirectoryTree(base + L"\\Temp");
  DeleteIfExists(base + L"\\zarvik.zip", "delete package");
}

int RunUpdateIn(HWND window,
                const std::wstring& directory,
                const UpdateManifest* manifest,
                DWORD pauseMs) {
  ProgressWindow = window;
  // An earlier installation is settled before this one touches anything.
  if (SettleEarlierUpdate(directory, StuckJournal::kSetAside) == EarlierUpdate::kStuck) {
    LogLine(ERROR, "an earlier update is not settled, this one does not start.");
    return kUpdateEarlierUnfinished;
  }
  PackageSource source;
  int result = ReadCheckedManifest(manifest, &source);
  if (result != 0)
    return result;

  const std::wstring package = directory + L"zarvik.zip";
  LogLine(INFO, ToAnsi(package));
  LogLine(INFO, ToAnsi(package));
  DeleteIfExists(package, "delete package");
  result = DownloadCheckedPackage(window, source, package, pauseMs);
  if (result != 0)
    return result;

  if (window)
    PostMessageW(window, WM_UPDATE_INSTALLING, 0, 0);
  LogLine(INFO, "unpackage zarvik.zip", ToAnsi(ModuleFilePath()));
  DeleteIfExists(directory + L"zarvik.bin");
  DeleteIfExists(directory + L"duilib.dll.org");

  LogLine(INFO, ToAnsi(package));
  result = PathExists(package) ? InstallPackage(directory, package) : ZR_NOFILE;
  if (result != 0) {
    LogLine(ERROR, "unzip file filed.");
    return result;
  }
  LogLine(INFO, "unzip file success.");
  return 0;
}

int RunUpdateIn(HWND window, const std::wstring& directory, DWORD pauseMs) {
  return RunUpdateIn(window, directory, AcceptedManifest(), pauseMs);
}

}  // namespace zarvik

int RunUpdate(HWND window) {
  return zarvik::RunUpdateIn(window, zarvik::ModuleDirectory(), 1000);
}

void DeleteOldFiles(const std::wstring& directory) {
  zarvik::CleanUpAfterUpdate(directory + L"\\");
}
