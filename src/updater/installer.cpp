#include "updater/installer.h"

#include <cwchar>
#include <set>
#include <vector>

#include "app/game_notify.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "updater/downloader.h"
#include "updater/update_messages.h"
#include "updater/zip_reader.h"

namespace {

constexpr int kDownloadAttempts = 5;
constexpr DWORD kProfileValueSize = 260;

std::string Ansi(const std::wstring& text) {
  return zarvik::WideToAnsi(text);
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DeleteIfExists(const std::wstring& path) {
  if (PathExists(path)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
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

// --- The journal of an installation in progress ---------------------------------------------
// Line one names the file; then "N\t<name>" for every package member that does not exist yet and
// "R\t<name>" for every member that is about to be set aside. Names in UTF-8. It is written and
// flushed once, before the first rename; stale ".old" files of the members are gone by then, so
// after an interruption every "<name>.old" of an R line is this installation's own.

const char kJournalHeader[] = "zarvik update journal\n";

class Journal {
 public:
  explicit Journal(const std::wstring& directory) : m_path(directory + zarvik::kJournalName) {}
  bool Begin(const std::vector<std::wstring>& newNames, const std::vector<std::wstring>& replaced) {
    zarvik::ScopedFileHandle file(CreateFileW(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
    if (!file)
      return false;
    std::string text = kJournalHeader;
    for (const std::wstring& name : newNames)
      text += "N\t" + zarvik::WideToUtf8(name) + "\n";
    for (const std::wstring& name : replaced)
      text += "R\t" + zarvik::WideToUtf8(name) + "\n";
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file.Get());
  }
  void End() { DeleteFileW(m_path.c_str()); }

 private:
  std::wstring m_path;
};

// Puts `prefix + name + ".old"` back as `prefix + name`. A file in the way (a new copy, maybe the
// running executable, which cannot be deleted but can be renamed) is moved to a ".old.undone"
// name that the next clean-up removes.
void RestoreOld(const std::wstring& prefix, const std::wstring& name) {
  const std::wstring target = prefix + name;
  const std::wstring old = target + L".old";
  if (!PathExists(old))
    return;
  SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (PathExists(target)) {
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(target.c_str()))
      MoveFileExW(target.c_str(), (target + L".old.undone").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  if (!MoveFileW(old.c_str(), target.c_str()))
    LogLine(ERROR, "restore file : ", Ansi(target), " failed,error : ", GetLastError());
}

void RemoveNew(const std::wstring& prefix, const std::wstring& name) {
  const std::wstring target = prefix + name;
  if (!PathExists(target))
    return;
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(target.c_str()))
    MoveFileExW(target.c_str(), (target + L".old.undone").c_str(), MOVEFILE_REPLACE_EXISTING);
}

void RollBack(const std::wstring& prefix,
              const std::vector<std::wstring>& renamed,
              const std::vector<std::wstring>& added) {
  for (const std::wstring& name : added)
    RemoveNew(prefix, name);
  for (const std::wstring& name : renamed)
    RestoreOld(prefix, name);
}

// Sets aside every existing target; on a failure puts back what was already set aside.
int SetAsideTargets(const std::wstring& prefix,
                    const std::vector<std::wstring>& names,
                    Journal* journal,
                    std::vector<std::wstring>* renamed,
                    std::vector<std::wstring>* added) {
  std::vector<std::wstring> replaced;
  for (const std::wstring& name : names) {
    const std::wstring target = prefix + name;
    if (!PathExists(target)) {
      added->push_back(name);
      continue;
    }
    DeleteIfExists(target + L".old");  // left from an earlier update
    replaced.push_back(name);
  }
  if (!journal->Begin(*added, replaced)) {
    LogLine(ERROR, "cannot write the update journal, error : ", GetLastError());
    journal->End();
    return kUpdateSetAsideFailed;
  }
  for (const std::wstring& name : replaced) {
    const std::wstring target = prefix + name;
    if (!MoveFileW(target.c_str(), (target + L".old").c_str())) {
      LogLine(ERROR, "rename file : ", Ansi(target), " failed,error : ", GetLastError());
      RollBack(prefix, *renamed, std::vector<std::wstring>());
      journal->End();
      return kUpdateSetAsideFailed;
    }
    renamed->push_back(name);
  }
  return 0;
}

bool IsDotEntry(const wchar_t* name) {
  return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

void FindOldFiles(const std::string& directory, std::vector<std::string>* found) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((directory + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..")
      continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      FindOldFiles(directory + "\\" + name, found);
    else if (name.find(".old") != std::string::npos)
      found->push_back(directory + "\\" + name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

std::vector<std::wstring> SplitJournalNames(const std::string& text, char kind) {
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();  // a last line cut short by the interruption is still a full name
    std::string line = text.substr(start, end - start);
    if (line.size() > 2 && line[0] == kind && line[1] == '\t')
      names.push_back(zarvik::Utf8ToWide(line.substr(2)));
    start = end + 1;
  }
  return names;
}

}  // namespace

bool CopyDirectoryTree(const std::wstring& source,
                       const std::wstring& destination,
                       bool moveFiles) {
  CreateDirectoryW(destination.c_str(), nullptr);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((source + L"/*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  bool ok = true;
  do {
    // "." and ".." are skipped by name: the listing order is up to the file system.
    if (IsDotEntry(data.cFileName))
      continue;
    const std::wstring from = source + L"/" + data.cFileName;
    const std::wstring to = destination + L"/" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = CopyDirectoryTree(from, to, moveFiles) && ok;
    } else if (moveFiles && MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      continue;
    } else if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
      LogLine(ERROR, "copy file : ", Ansi(from), " failed,error : ", GetLastError());
      ok = false;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return ok;
}

bool DeleteDirectoryTree(const std::string& directory) {
  std::string base = directory;
  if (base.empty() || (base.back() != '\\' && base.back() != '/'))
    base += '\\';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((base + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..")
      continue;
    std::string path = base + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteDirectoryTree(path);
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // unpacked read-only members
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  base.pop_back();
  RemoveDirectoryA(base.c_str());
  return true;
}

namespace zarvik {

bool RollBackUnfinishedUpdate(const std::wstring& directory) {
  const std::wstring path = directory + kJournalName;
  if (!PathExists(path))
    return false;
  std::string text;
  {
    ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
      text.append(buffer, read);
  }
  if (text.compare(0, sizeof(kJournalHeader) - 1, kJournalHeader) == 0) {
    std::vector<std::wstring> renamed = SplitJournalNames(text, 'R');
    std::vector<std::wstring> added = SplitJournalNames(text, 'N');
    LogLine(ERROR, "the last update did not finish, roll back ", renamed.size(), " files.");
    RollBack(directory, renamed, added);
  }
  DeleteFileW(path.c_str());
  return true;
}

int RunUpdateIn(HWND window, const std::wstring& directory, DWORD pauseMs) {
  ProgressWindow = window;
  // An earlier installation that never finished is undone before this one sets files aside.
  RollBackUnfinishedUpdate(directory);
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

  const std::wstring package = directory + L"zarvik.zip";
  LogLine(INFO, Ansi(package));
  LogLine(INFO, Ansi(package));
  DeleteIfExists(package);

  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string urls[2] = {Ansi(PackageUrl(url1, now)), Ansi(PackageUrl(url2, now))};
  LogLine(INFO, "update package down load url : ", urls[0]);

  int result = 0;
  int attempt = 1;
  for (int remaining = kDownloadAttempts - 1; remaining >= 0; --remaining) {
    const std::string& url = remaining >= 3 ? urls[0] : urls[1];
    LogLine(INFO, "try to download zarvik.zip from ", url);
    result = DownloadFile(url, Ansi(package));
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
  std::vector<std::wstring> names, files;
  std::wstring base = directory;
  if (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
    base.pop_back();
  const std::wstring scratch = base + L"\\Temp";
  if (!PathExists(package)) {
    result = ZR_NOFILE;
  } else {
    CreateDirectoryW(scratch.c_str(), nullptr);
    SetCurrentDirectoryW(scratch.c_str());
    LogLine(INFO, "unzip : ", Ansi(package));
    std::unique_ptr<ZipReader> reader = ZipReader::Open(package);
    if (!reader) {
      result = ZipLastResult() ? ZipLastResult() : ZR_NOFILE;
      LogLine(ERROR, "cannot open the package, zip code : ", result);
    } else {
      ZipEntry countEntry;
      reader->ReadEntry(-1, &countEntry);
      const int count = countEntry.index;
      int readFailure = 0;
      for (int i = 0; i < count; ++i) {
        ZipEntry entry;
        int code = reader->ReadEntry(i, &entry);
        if (code != ZR_OK) {
          readFailure = code;  // the member is skipped, the installation will not go ahead
          continue;
        }
        code = reader->ExtractEntry(i, entry.name);
        if (code != ZR_OK) {
          result = code;
          break;
        }
        names.push_back(entry.name);
        // Directories merge with the installed ones; only files are set aside.
        if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
          files.push_back(entry.name);
      }
      reader->Close();
      if (count == 0) {
        result = kUpdateEmptyPackage;
        LogLine(INFO, "extract return code : ", result);
      } else if (static_cast<int>(names.size()) < count) {
        if (result == 0)
          result = readFailure ? readFailure : ZR_READ;
        LogLine(INFO, "extract return code : ", result);
      } else {
        const std::wstring prefix = base + L"\\";
        Journal journal(prefix);
        std::vector<std::wstring> renamed, added;
        result = SetAsideTargets(prefix, files, &journal, &renamed, &added);
        if (result == 0) {
          // The scratch directory is removed right after, so its files are moved into place
          // (on the same volume a rename, not a second write of the whole package).
          bool copied = CopyDirectoryTree(scratch, base, true);
          if (!copied) {
            // Half a new version is a broken client: put the old one back.
            RollBack(prefix, renamed, added);
            journal.End();
            result = kUpdateCopyFailed;
          } else {
            journal.End();
            SetCurrentDirectoryW(base.c_str());
            DeleteDirectoryTree(Ansi(scratch));
            LogLine(INFO, "Delete Directory : ", Ansi(scratch));
            LogLine(INFO, "extract return code : ", result);
            DeleteIfExists(package);
          }
        }
      }
    }
    // Leave the scratch directory, so it can be removed later.
    SetCurrentDirectoryW(base.c_str());
  }
  names.clear();
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
  zarvik::RollBackUnfinishedUpdate(zarvik::AnsiToWide(directory) + L"\\");
  std::vector<std::string> found;
  FindOldFiles(directory, &found);
  LogLine(INFO, "find old file number : ", found.size());
  for (const std::string& path : found) {
    LogLine(INFO, "delete file : ", path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path.c_str()))
      LogLine(INFO, "file : ", path, " delete succ.");
    else
      LogLine(ERROR, "file : ", path, " delete failed,error : ", GetLastError());
  }
}
