// Reader of the update package: lists the members of a ZIP archive with their cleaned names,
// attributes and times, and writes them below a root directory (the current directory at the
// moment the archive was opened).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Result codes of the reader; 0 is success.
constexpr int ZR_OK = 0;
constexpr int ZR_NOFILE = 0x200;     // the archive or an output file could not be opened/created
constexpr int ZR_WRITE = 0x400;      // writing an output file failed
constexpr int ZR_CORRUPT = 0x700;    // corrupt or not an archive
constexpr int ZR_READ = 0x800;       // reading the archive failed
constexpr int ZR_PASSWORD = 0x1000;  // the member needs a password
constexpr int ZR_ARGS = 0x10000;     // bad argument: index out of range, unsafe name
constexpr int ZR_FLATE = 0x5000000;  // an inflate error

struct ZipEntry {
  int index = 0;      // for the pseudo-index -1: the number of entries
  std::wstring name;  // cleaned, at most 259 characters
  DWORD attributes = 0;
  FILETIME accessTime = {};
  FILETIME creationTime = {};
  FILETIME modificationTime = {};
  long compressedSize = 0;
  long uncompressedSize = 0;
};

class ZipReader {
 public:
  // Opens the archive read-only (shared for reading); none when the file cannot be opened or is
  // not an archive. Sets the last result to ZR_OK or ZR_NOFILE.
  static std::unique_ptr<ZipReader> Open(const std::wstring& path);
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Fills `entry` for member `index`; index -1 gives the number of entries in entry->index.
  int ReadEntry(int index, ZipEntry* entry);
  // Writes member `index` as `name` below the root directory (or at `name` when it is absolute).
  // Names that still climb out with ".." are refused with ZR_ARGS.
  int ExtractEntry(int index, const std::wstring& name);
  void Close();

  const std::wstring& RootDirectory() const { return m_root; }
  int EntryCount() const { return m_count; }

 private:
  ZipReader() = default;
  int GoTo(int index);
  int ReadRawEntry(int index, ZipEntry* entry, unsigned* flags);

  void* m_archive = nullptr;  // unzFile
  std::wstring m_root;
  int m_count = 0;
  int m_current = -1;
};

// The reader's last result code, process-wide.
int ZipLastResult();
