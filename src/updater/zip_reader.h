// Reader of the update package: lists the members of a ZIP archive with their cleaned names,
// attributes and times, and writes them below a root directory given when the archive is opened
// (never the process's current directory).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/scoped_handle.h"

namespace zarvik {
class FlushPool;
}

// Result codes of the reader; 0 is success.
constexpr int ZR_OK = 0;
constexpr int ZR_NOFILE = 0x200;     // the archive or an output file could not be opened/created
constexpr int ZR_WRITE = 0x400;      // writing an output file failed
constexpr int ZR_CORRUPT = 0x700;    // corrupt or not an archive
constexpr int ZR_READ = 0x800;       // reading the archive failed
constexpr int ZR_PASSWORD = 0x1000;  // the member needs a password
constexpr int ZR_ARGS = 0x10000;     // bad argument: index out of range, unsafe name
constexpr int ZR_FLATE = 0x5000000;  // an inflate error
constexpr int ZR_SIZE = 0x6000000;   // a member's written size differs from its declared size

// More members than any package of ours holds: the archive is refused as corrupt.
constexpr uint64_t kMaxZipEntries = 100000;

struct ZipEntry {
  int index = 0;      // for the pseudo-index -1: the number of entries
  std::wstring name;  // cleaned; not cut, so an over-long name can be refused as a whole
  DWORD attributes = 0;
  FILETIME accessTime = {};
  FILETIME creationTime = {};
  FILETIME modificationTime = {};
  long compressedSize = 0;
  long uncompressedSize = 0;
  uint64_t declaredSize = 0;  // the uncompressed size in full, for the check after writing
};

class ZipReader {
 public:
  // Opens the archive read-only (shared for reading); members are written below `root`. None
  // when the file cannot be opened or is not an archive (last result ZR_NOFILE), or when it
  // claims more than kMaxZipEntries members (ZR_CORRUPT); else the last result is ZR_OK.
  static std::unique_ptr<ZipReader> Open(const std::wstring& path, const std::wstring& root);
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Fills `entry` for member `index`; index -1 gives the number of entries in entry->index.
  int ReadEntry(int index, ZipEntry* entry);
  // Writes member `index` as `name` below the root directory (or at `name` when it is absolute).
  // Names that still climb out with ".." are refused with ZR_ARGS. The file is flushed to disk
  // and must hold exactly the declared number of bytes (else ZR_SIZE, and it is deleted). With
  // `flushes` the checked file is handed to that pool instead, which flushes and closes it while
  // the next members are written: ZR_OK then means written and checked, and only the pool's
  // Finish says whether it reached the disk.
  int ExtractEntry(int index, const std::wstring& name, zarvik::FlushPool* flushes = nullptr);
  void Close();

  const std::wstring& RootDirectory() const { return m_root; }
  int EntryCount() const { return m_count; }

 private:
  ZipReader() = default;
  int GoTo(int index);
  int ReadRawEntry(int index, ZipEntry* entry, unsigned* flags);

  zarvik::ScopedZipFile m_archive;
  std::wstring m_root;
  int m_count = 0;
  int m_current = -1;
};

// The reader's last result code, process-wide.
int ZipLastResult();
