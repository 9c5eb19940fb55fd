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
#include "updater/package_integrity.h"
#include "updater/update_journal.h"
#include "updater/update_messages.h"
#include "updater/update_steps.h"
#include "updater/zip_names.h"
#include "updater/zip_reader.h"

namespace {

constexpr int kDownloadAttempts = 5;
constexpr DWORD kProfileValueSize = 260;
// The longest suffix the updater appends to a member's path (".old.undone").
constexpr size_t kLongestSuffix = 11;

std::string Ansi(const std::wstring& text) {
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

bool Rename(const char* step, const std::wstring& from, const std::wstring& to, DWORD flags) {
  return zarvik::UpdateStep(step, to) &&
         MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::wstring ReadProfileText(const std::wstring& path, const wchar_t* key) {
  wchar_t value[kProfileValueSize] = {};
  GetPrivateProfileStringW(L"UPDATE", key, L"", value, kProfileValueSize, path.c_str());
  return value;
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
  return zarvik::FoldZipName(name) == L"zarvik.exe";
}

// --- The journal on disk ---------------------------------------------------------------------

std::wstring JournalPath(const std::wstring& directory) {
  return directory + zarvik::kJournalName;
}

bool WriteJournal(const std::wstring& path, const std::string& text, bool append) {
  if (!zarvik::UpdateStep(append ? "commit journal" : "write journal", path))
    return false;
  zarvik::ScopedFileHandle file(
      CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                  append ? OPEN_EXISTING : CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
  if (!file)
    return false;
  DWORD written = 0;
  return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size() && FlushFileBuffers(file.Get());
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
bool RestoreOld(const std::wstring& prefix, const std::wstring& name) {
  const std::wstring target = prefix + name;
  const std::wstring old = target + L".old";
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
  LogLine(ERROR, "restore file : ", Ansi(target), " failed,error : ", GetLastError());
  return false;
}

bool RemoveNew(const std::wstring& prefix, const std::wstring& name) {
  const std::wstring target = prefix + name;
  if (!PathExists(target))
    return true;
  if (DeleteIfExists(target, "remove new file") ||
      Rename("move new file away", target, target + L".old.undone", MOVEFILE_REPLACE_EXISTING))
    return true;
  LogLine(ERROR, "cannot remove new file : ", Ansi(target), " error : ", GetLastError());
  return false;
}

// Undoes what `journal` records; true when every old file is back.
bool RollBack(const std::wstring& prefix, const zarvik::UpdateJournal& journal) {
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
  return ok;
}

// --- Directory walks (wide names only, so no name changes meaning in a code page) ------------

bool IsDotEntry(const wchar_t* name) {
  return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

void FindOldFiles(const std::wstring& directory, std::vector<std::wstring>* found) {
  WIN32_FIND_DATAW data;
  zarvik::ScopedFindHandle find(FindFirstFileW((directory + L"\\*").c_str(), &data));
  if (!find)
    return;
  do {
    if (IsDotEntry(data.cFileName))
      continue;
    const std::wstring path = directory + L"\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A link may point anywhere: never searched.
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        FindOldFiles(path, found);
    } else if (wcsstr(data.cFileName, L".old")) {
      found->push_back(path);
    }
  } while (FindNextFileW(find.Get(), &data));
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
  std::set<std::wstring> names, folders;
  for (int i = 0; i < count; ++i) {
    ZipEntry entry;
    int code = reader->ReadEntry(i, &entry);
    if (code != ZR_OK) {
      LogLine(ERROR, "cannot read package member ", i, ", zip code : ", code);
      return code;
    }
    const char* problem = zarvik::ZipNameProblem(entry.name, &AnsiOf);
    const size_t longest = std::max(scratch.size(), base.size()) + 1 + entry.name.size();
    if (!problem && longest + kLongestSuffix >= MAX_PATH)
      problem = "name too long for the installation folder";
    const std::wstring folded = zarvik::FoldZipName(entry.name);
    if (!problem && !names.insert(folded).second)
      problem = "two members with the same name";
    if (problem) {
      LogLine(ERROR, "package member refused (", problem, ") : ", zarvik::WideToUtf8(entry.name));
      return ZR_ARGS;
    }
    for (size_t at = folded.find(L'\\'); at != std::wstring::npos; at = folded.find(L'\\', at + 1))
      folders.insert(folded.substr(0, at));
    members->push_back(
        {i, BackslashName(entry.name), (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  }
  // A file where another member needs a folder.
  for (const Member& member : *members) {
    if (!member.directory && folders.count(zarvik::FoldZipName(member.name))) {
      LogLine(ERROR, "package member refused (a file where a folder is needed) : ",
              zarvik::WideToUtf8(member.name));
      return ZR_ARGS;
    }
  }
  return ZR_OK;
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
      LogLine(ERROR, "copy file : ", Ansi(from), " failed,error : ", GetLastError());
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

EarlierUpdate SettleEarlierUpdate(const std::wstring& directory) {
  const std::wstring path = JournalPath(directory);
  std::string text, problem;
  const int read = ReadJournal(path, &text);
  if (read == 1)
    return EarlierUpdate::kNone;
  UpdateJournal journal;
  if (read < 0 || !ParseJournal(text, &journal, &problem)) {
    if (read < 0)
      problem = "journal unreadable";
    LogLine(ERROR, "the update journal is not used (", problem, "), it stays with the backups.");
    return EarlierUpdate::kStuck;
  }
  if (journal.committed) {
    // The new version has started: its backups are no longer needed, then the journal.
    bool ok = true;
    for (const std::wstring& name : journal.replaced)
      ok = DeleteIfExists(directory + name + L".old", "delete backup") && ok;
    if (!ok) {
      LogLine(ERROR, "cannot delete every backup of the last update, error : ", GetLastError());
      return EarlierUpdate::kStuck;
    }
    if (!DeleteIfExists(path, "delete journal"))
      LogLine(ERROR, "cannot delete the update journal, error : ", GetLastError());
    LogLine(INFO, "the last update is finished, ", journal.replaced.size(), " backups deleted.");
    return EarlierUpdate::kFinished;
  }
  LogLine(ERROR, "the last update did not finish, roll back ", journal.replaced.size(), " files.");
  if (!RollBack(directory, journal)) {
    LogLine(ERROR, "the roll-back failed: the journal and the backups stay for the next start.");
    return EarlierUpdate::kStuck;
  }
  if (!DeleteIfExists(path, "delete journal")) {
    // Rolling back again at the next start changes nothing: the old files are in place.
    LogLine(ERROR, "cannot delete the update journal, error : ", GetLastError());
  }
  return EarlierUpdate::kRolledBack;
}

int InstallPackage(const std::wstring& directory, const std::wstring& package) {
  const std::wstring base = WithoutSeparator(directory);
  const std::wstring prefix = base + L"\\";
  const std::wstring scratch = base + L"\\Temp";

  // Whatever an earlier run left in "Temp" is never installed; a file of that name is junk too.
  // Without the folder nothing is unpacked: members must never land anywhere else.
  if (PathExists(scratch) && !IsDirectory(scratch) && !DeleteIfExists(scratch)) {
    const DWORD error = GetLastError();
    LogLine(ERROR, "a file stands where the scratch folder goes and cannot be deleted : ",
            Ansi(scratch), " error : ", error);
    return kUpdateScratchFailed;
  }
  if (!DeleteDirectoryTree(scratch)) {
    const DWORD error = GetLastError();
    LogLine(ERROR, "cannot empty the scratch folder : ", Ansi(scratch), " error : ", error);
    return kUpdateScratchFailed;
  }
  if (!UpdateStep("create folder", scratch) || !CreateDirectoryW(scratch.c_str(), nullptr) ||
      !IsDirectory(scratch)) {
    const DWORD error = GetLastError();
    LogLine(ERROR, "cannot create the scratch folder : ", Ansi(scratch), " error : ", error);
    return kUpdateScratchFailed;
  }
  LogLine(INFO, "unzip : ", Ansi(package));
  std::unique_ptr<ZipReader> reader = ZipReader::Open(package, scratch + L"\\");
  if (!reader) {
    int result = ZipLastResult() ? ZipLastResult() : ZR_NOFILE;
    LogLine(ERROR, "cannot open the package, zip code : ", result);
    DeleteDirectoryTree(scratch);
    return result;
  }
  if (reader->EntryCount() == 0) {
    LogLine(INFO, "extract return code : ", kUpdateEmptyPackage);
    reader.reset();
    DeleteDirectoryTree(scratch);
    return kUpdateEmptyPackage;
  }
  std::vector<Member> members;
  int result = ListPackage(reader.get(), scratch, base, &members);
  for (size_t i = 0; result == ZR_OK && i < members.size(); ++i) {
    result = reader->ExtractEntry(members[i].index, members[i].name);
    if (result != ZR_OK)
      LogLine(ERROR, "cannot unpack ", WideToUtf8(members[i].name), ", zip code : ", result);
  }
  reader.reset();
  if (result != ZR_OK) {
    LogLine(INFO, "extract return code : ", result);
    DeleteDirectoryTree(scratch);
    return result;
  }

  // The plan: folders to create, files to add, files to replace; the executable last.
  UpdateJournal journal;
  std::vector<std::wstring> files;
  std::set<std::wstring> plannedFolders;
  for (const Member& member : members) {
    std::vector<std::wstring> chain;
    for (size_t at = member.name.find(L'\\'); at != std::wstring::npos;
         at = member.name.find(L'\\', at + 1))
      chain.push_back(member.name.substr(0, at));
    if (member.directory)
      chain.push_back(member.name);
    for (const std::wstring& folder : chain) {
      const std::wstring path = prefix + folder;
      if (PathExists(path) && !IsDirectory(path)) {
        LogLine(ERROR, "a file stands where the package needs a folder : ", Ansi(path));
        DeleteDirectoryTree(scratch);
        return kUpdateCopyFailed;
      }
      if (!PathExists(path) && plannedFolders.insert(FoldZipName(folder)).second)
        journal.folders.push_back(folder);
    }
    if (!member.directory)
      files.push_back(member.name);
  }
  std::stable_partition(files.begin(), files.end(),
                        [](const std::wstring& name) { return !IsExecutableName(name); });
  for (const std::wstring& name : files) {
    const std::wstring target = prefix + name;
    if (IsDirectory(target)) {
      LogLine(ERROR, "a folder stands where the package has a file : ", Ansi(target));
      DeleteDirectoryTree(scratch);
      return kUpdateCopyFailed;
    }
    if (!PathExists(target)) {
      journal.added.push_back(name);
      continue;
    }
    // A backup left by an earlier update: after an interruption, every "<name>.old" of an R
    // line must be this installation's own.
    if (!DeleteIfExists(target + L".old", "delete stale backup")) {
      LogLine(ERROR, "cannot delete the stale backup : ", Ansi(target + L".old"));
      DeleteDirectoryTree(scratch);
      return kUpdateSetAsideFailed;
    }
    journal.replaced.push_back(name);
  }

  const std::wstring journalPath = JournalPath(prefix);
  if (!WriteJournal(journalPath, FormatJournal(journal), false)) {
    LogLine(ERROR, "cannot write the update journal, error : ", GetLastError());
    DeleteIfExists(journalPath, "delete journal");
    DeleteDirectoryTree(scratch);
    return kUpdateJournalFailed;
  }

  // From here on every failure is undone from the journal.
  const std::set<std::wstring> replaced(journal.replaced.begin(), journal.replaced.end());
  result = 0;
  for (const std::wstring& folder : journal.folders) {
    const std::wstring path = prefix + folder;
    if (!UpdateStep("create folder", path) || !CreateDirectoryW(path.c_str(), nullptr)) {
      LogLine(ERROR, "cannot create folder : ", Ansi(path), " error : ", GetLastError());
      result = kUpdateCopyFailed;
      break;
    }
  }
  // Set aside and move in, one file at a time: the set-aside and the move of a file (the
  // executable's too) are adjacent renames.
  for (size_t i = 0; result == 0 && i < files.size(); ++i) {
    const std::wstring target = prefix + files[i];
    if (replaced.count(files[i]) && !Rename("set aside", target, target + L".old", 0)) {
      LogLine(ERROR, "rename file : ", Ansi(target), " failed,error : ", GetLastError());
      result = kUpdateSetAsideFailed;
      break;
    }
    if (!Rename("move in", scratch + L"\\" + files[i], target, MOVEFILE_REPLACE_EXISTING)) {
      LogLine(ERROR, "move file : ", Ansi(target), " failed,error : ", GetLastError());
      result = kUpdateCopyFailed;
    }
  }
  if (result == 0 && !WriteJournal(journalPath, JournalCommitLine(), true)) {
    LogLine(ERROR, "cannot commit the update journal, error : ", GetLastError());
    result = kUpdateJournalFailed;
  }
  if (result != 0) {
    // Half a new version is a broken client: put the old one back.
    if (!RollBack(prefix, journal)) {
      LogLine(ERROR, "the roll-back failed: the journal and the backups stay for the next start.");
      DeleteDirectoryTree(scratch);
      return kUpdateRollBackFailed;
    }
    if (!DeleteIfExists(journalPath, "delete journal"))
      LogLine(ERROR, "cannot delete the update journal, error : ", GetLastError());
    DeleteDirectoryTree(scratch);
    return result;
  }
  // Committed: left-overs of the scratch folder or the package are removed at the next start.
  DeleteDirectoryTree(scratch);
  LogLine(INFO, "Delete Directory : ", Ansi(scratch));
  LogLine(INFO, "extract return code : ", 0);
  DeleteIfExists(package, "delete package");
  return 0;
}

void CleanUpAfterUpdate(const std::wstring& directory) {
  const std::wstring base = WithoutSeparator(directory);
  const EarlierUpdate earlier = SettleEarlierUpdate(base + L"\\");
  DeleteDirectoryTree(base + L"\\Temp");
  DeleteIfExists(base + L"\\zarvik.zip", "delete package");
  if (earlier == EarlierUpdate::kStuck || PathExists(JournalPath(base + L"\\")))
    return;  // every ".old" file may be needed to undo it
  std::vector<std::wstring> found;
  FindOldFiles(base, &found);
  LogLine(INFO, "find old file number : ", found.size());
  for (const std::wstring& path : found) {
    LogLine(INFO, "delete file : ", Ansi(path));
    if (DeleteIfExists(path))
      LogLine(INFO, "file : ", Ansi(path), " delete succ.");
    else
      LogLine(ERROR, "file : ", Ansi(path), " delete failed,error : ", GetLastError());
  }
}

int RunUpdateIn(HWND window, const std::wstring& directory, DWORD pauseMs) {
  ProgressWindow = window;
  // An earlier installation is settled before this one touches anything.
  if (SettleEarlierUpdate(directory) == EarlierUpdate::kStuck) {
    LogLine(ERROR, "an earlier update is not settled, this one does not start.");
    return kUpdateEarlierUnfinished;
  }
  const std::wstring manifest = directory + L"update.ini";
  if (!PathExists(manifest)) {
    LogLine(ERROR, "update configure file no exists.");
    return kUpdateNoManifest;
  }
  const std::wstring url1 = ReadProfileText(manifest, L"URL");
  const std::wstring url2 = ReadProfileText(manifest, L"URL2");
  if (url1.empty() && url2.empty()) {
    LogLine(ERROR, "update url section cann't find.");
    return kUpdateNoManifest;
  }

  // The manifest on disk is checked again: nothing unverified is ever installed.
  PackageExpectation expected;
  std::string problem;
  if (!CheckManifest(manifest, directory + L"update.ini.sig", &expected, &problem)) {
    LogLine(ERROR, "the update manifest is refused: ", problem, ".");
    return kUpdateManifestRefused;
  }

  const std::wstring package = directory + L"zarvik.zip";
  LogLine(INFO, Ansi(package));
  LogLine(INFO, Ansi(package));
  DeleteIfExists(package, "delete package");

  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string urls[2] = {Ansi(PackageUrl(url1, now)), Ansi(PackageUrl(url2, now))};
  LogLine(INFO, "update package down load url : ", urls[0]);

  int result = 0;
  int attempt = 1;
  for (int remaining = kDownloadAttempts - 1; remaining >= 0; --remaining) {
    const std::string& url = remaining >= 3 ? urls[0] : urls[1];
    LogLine(INFO, "try to download zarvik.zip from ", url);
    result =
        DownloadFile(url, Ansi(package), expected.size >= 0 ? expected.size : kMaxPackageBytes);
    if (result == kDownloadTooLarge && expected.size >= 0)
      result = kDownloadMismatch;  // larger than the manifest's "Size"
    if (result == 0 && !PackageMatches(package, expected, &problem)) {
      // Checked before anything is unpacked; a mismatch is a failed download like any other.
      LogLine(ERROR, "the package does not match the manifest (", problem, "), deleted.");
      DeleteIfExists(package, "delete package");
      result = kDownloadMismatch;
    }
    LogLine(INFO, "nRet = ", result);
    if (result == 0)
      break;
    if (window) {
      PostMessageW(window, GAME_NOTIFY_UPDATE_FAIL,
                   GameNotifyWParam(GAME_NOTIFY_UPDATE_FAIL) | (attempt & 0xFFFF), 0);
      ++attempt;
      LogLine(ERROR, "dwonload falied ,will retry ,", attempt);
    }
    Sleep(pauseMs);
  }
  if (result != 0)
    return result;

  if (window)
    PostMessageW(window, WM_UPDATE_INSTALLING, 0, 0);
  LogLine(INFO, "unpackage zarvik.zip", Ansi(ModuleFilePath()));
  DeleteIfExists(directory + L"zarvik.bin");
  DeleteIfExists(directory + L"duilib.dll.org");

  LogLine(INFO, Ansi(package));
  result = PathExists(package) ? InstallPackage(directory, package) : ZR_NOFILE;
  if (result != 0) {
    LogLine(ERROR, "unzip file filed.");
    return result;
  }
  LogLine(INFO, "unzip file success.");
  return 0;
}

}  // namespace zarvik

int RunUpdate(HWND window) {
  return zarvik::RunUpdateIn(window, zarvik::ModuleDirectory(), 1000);
}

void DeleteOldFiles(const std::string& directory) {
  zarvik::CleanUpAfterUpdate(zarvik::AnsiToWide(directory) + L"\\");
}
