#include "updater/zip_reader.h"

// iowin32.h needs the declarations of unzip.h first.
#include <minizip/unzip.h>

#include <minizip/iowin32.h>

#include <utility>
#include <vector>

#include "common/encoding.h"
#include "common/scoped_handle.h"
#include "updater/flush_pool.h"
#include "updater/update_steps.h"
#include "updater/zip_names.h"

namespace {

constexpr size_t kBlockSize = 16384;
// Bit 0 of a member's general purpose flags: its data is encrypted.
constexpr unsigned kEncryptedFlag = 1;
int g_zipLastResult = ZR_OK;

int SetResult(int code) {
  g_zipLastResult = code;
  return code;
}

int MapUnzError(int error) {
  return error == UNZ_BADZIPFILE ? ZR_CORRUPT : ZR_READ;
}

FILETIME ToFileTime(uint64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool IsAbsoluteName(const std::wstring& name) {
  return (!name.empty() && IsSeparator(name[0])) || (name.size() >= 2 && name[1] == L':');
}

// Creates `path` and its missing parents one level at a time; `from` is where the part of the
// path that may need creating begins.
void CreateDirectories(const std::wstring& path, size_t from) {
  for (size_t i = from; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (i == 0 || (i > 0 && path[i - 1] == L':'))
        continue;
      const std::wstring directory = path.substr(0, i);
      if (GetFileAttributesW(directory.c_str()) == INVALID_FILE_ATTRIBUTES &&
          zarvik::UpdateStep("create folder", directory))
        CreateDirectoryW(directory.c_str(), nullptr);
    }
  }
}

// Creates the file of a member for writing, with the member's read-only, hidden, system and
// archive attributes; INVALID_HANDLE_VALUE when it cannot be created.
HANDLE CreateMemberFile(const std::wstring& path, DWORD memberAttributes) {
  // A read-only or hidden file from an earlier run would refuse to be replaced.
  DWORD existing = GetFileAttributesW(path.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY))
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DWORD createAttributes = memberAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  if (!zarvik::UpdateStep("write member", path))
    return INVALID_HANDLE_VALUE;
  return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     createAttributes ? createAttributes : FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Copies the open member of `archive` into `out`, block by block; ZR_OK, ZR_FLATE or ZR_WRITE.
// `total` counts the bytes written.
int CopyOpenMember(unzFile archive, HANDLE out, uint64_t* total) {
  std::vector<char> block(kBlockSize);
  for (;;) {
    int read = unzReadCurrentFile(archive, block.data(), static_cast<unsigned>(block.size()));
    if (read < 0)
      return ZR_FLATE;
    if (read == 0)
      return ZR_OK;
    DWORD written = 0;
    if (!WriteFile(out, block.data(), static_cast<DWORD>(read), &written, nullptr) ||
        written != static_cast<DWORD>(read))
      return ZR_WRITE;
    *total += written;
  }
}

// Writes the current member of `archive` to `path`: complete, checked and on disk, or not at all.
// With `flushes` the flush (and the close) is left to that pool.
int WriteCurrentMember(unzFile archive,
                       const ZipEntry& entry,
                       const std::wstring& path,
                       const std::wstring& label,
                       zarvik::FlushPool* flushes) {
  if (unzOpenCurrentFile(archive) != UNZ_OK)
    return ZR_FLATE;
  zarvik::ScopedFileHandle out(CreateMemberFile(path, entry.attributes));
  if (!out) {
    unzCloseCurrentFile(archive);
    return ZR_NOFILE;
  }
  uint64_t total = 0;
  int code = CopyOpenMember(archive, out.Get(), &total);
  int closeError = unzCloseCurrentFile(archive);  // reports a CRC mismatch
  if (code == ZR_OK && closeError != UNZ_OK)
    code = ZR_FLATE;
  // The CRC is only checked when every declared byte came out: a member whose data ends early
  // would pass as a short file.
  if (code == ZR_OK && total != entry.declaredSize)
    code = ZR_SIZE;
  if (code == ZR_OK) {
    // Set before the flush, so that the times reach the disk with the data.
    SetFileTime(out.Get(), &entry.creationTime, &entry.accessTime, &entry.modificationTime);
    if (flushes) {
      flushes->Submit(std::move(out), path, label);
      return ZR_OK;
    }
    // The file must be on disk before anything of the installation is renamed for it.
    if (!FlushFileBuffers(out.Get()))
      code = ZR_WRITE;
  }
  if (code == ZR_OK)
    return ZR_OK;
  // A half-written member is of no use to anybody.
  out.Reset();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
  return code;
}

}  // namespace

int ZipLastResult() {
  return g_zipLastResult;
}

std::unique_ptr<ZipReader> ZipReader::Open(const std::wstring& path, const std::wstring& root) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  zarvik::ScopedZipFile archive(unzOpen2_64(path.c_str(), &functions));
  if (!archive) {
    SetResult(ZR_NOFILE);
    return nullptr;
  }
  unz_global_info64 info;
  if (unzGetGlobalInfo64(archive.Get(), &info) != UNZ_OK) {
    SetResult(ZR_NOFILE);
    return nullptr;
  }
  // A zip64 count is 64 bits wide: anything beyond a sane bound (and so beyond int) is refused
  // rather than cut to a negative or huge loop count.
  if (info.number_entry > kMaxZipEntries) {
    SetResult(ZR_CORRUPT);
    return nullptr;
  }
  std::unique_ptr<ZipReader> reader(new ZipReader());
  reader->m_archive = std::move(archive);
  reader->m_count = static_cast<int>(info.number_entry);
  reader->m_root = root;
  if (reader->m_root.empty() || !IsSeparator(reader->m_root.back()))
    reader->m_root += L'\\';
  SetResult(ZR_OK);
  return reader;
}

ZipReader::~ZipReader() {
  Close();
}

void ZipReader::Close() {
  m_archive.Reset();
}

int ZipReader::GoTo(int index) {
  unzFile archive = m_archive.Get();
  if (m_current < 0 || index < m_current) {
    int error = unzGoToFirstFile(archive);
    if (error != UNZ_OK) {
      m_current = -1;
      return MapUnzError(error);
    }
    m_current = 0;
  }
  while (m_current < index) {
    int error = unzGoToNextFile(archive);
    if (error != UNZ_OK) {
      m_current = -1;
      return error == UNZ_END_OF_LIST_OF_FILE ? ZR_CORRUPT : MapUnzError(error);
    }
    ++m_current;
  }
  return ZR_OK;
}

int ZipReader::ReadRawEntry(int index, ZipEntry* entry, unsigned* flags) {
  if (!m_archive || !entry)
    return ZR_ARGS;
  if (index == -1) {
    entry->index = m_count;
    return ZR_OK;
  }
  if (index < 0 || index >= m_count)
    return ZR_ARGS;
  int code = GoTo(index);
  if (code != ZR_OK)
    return code;

  unz_file_info64 info;
  char name[4096];
  unsigned char extra[1024];
  int error = unzGetCurrentFileInfo64(m_archive.Get(), &info, name, sizeof(name), extra,
                                      sizeof(extra), nullptr, 0);
  if (error != UNZ_OK)
    return MapUnzError(error);
  size_t nameLength = info.size_filename < sizeof(name) ? info.size_filename : sizeof(name);
  size_t extraLength = info.size_file_extra < sizeof(extra) ? info.size_file_extra : sizeof(extra);

  entry->index = index;
  entry->name = zarvik::Utf8ToWide(std::string(name, nameLength));
  entry->attributes = zarvik::DeriveZipAttributes((info.version >> 8) & 0xFF,
                                                  static_cast<uint32_t>(info.external_fa));

  // The stored DOS date and time are local time.
  FILETIME local = {}, utc = {};
  DosDateTimeToFileTime(static_cast<WORD>(info.dosDate >> 16), static_cast<WORD>(info.dosDate),
                        &local);
  LocalFileTimeToFileTime(&local, &utc);
  entry->accessTime = entry->creationTime = entry->modificationTime = utc;
  zarvik::ZipUnixTimes times;
  if (zarvik::ParseZipUnixTimes(extra, extraLength, &times)) {
    if (times.hasModification)
      entry->modificationTime = ToFileTime(zarvik::UnixSecondsToFileTime(times.modification));
    if (times.hasAccess)
      entry->accessTime = ToFileTime(zarvik::UnixSecondsToFileTime(times.access));
    if (times.hasCreation)
      entry->creationTime = ToFileTime(zarvik::UnixSecondsToFileTime(times.creation));
  }
  entry->compressedSize = static_cast<long>(info.compressed_size);
  entry->uncompressedSize = static_cast<long>(info.uncompressed_size);
  entry->declaredSize = info.uncompressed_size;
  if (flags)
    *flags = static_cast<unsigned>(info.flag);
  return ZR_OK;
}

int ZipReader::ReadEntry(int index, ZipEntry* entry) {
  int code = ReadRawEntry(index, entry, nullptr);
  if (code == ZR_OK && index >= 0)
    entry->name = zarvik::CleanZipMemberName(entry->name);
  return SetResult(code);
}

int ZipReader::ExtractEntry(int index, const std::wstring& name, zarvik::FlushPool* flushes) {
  if (index < 0 || index >= m_count)
    return SetResult(ZR_ARGS);
  // A name that still climbs after cleaning would land outside the root: never written.
  if (name.empty() || zarvik::ZipNameLeavesRoot(name))
    return SetResult(ZR_ARGS);
  ZipEntry entry;
  unsigned flags = 0;
  int code = ReadRawEntry(index, &entry, &flags);
  if (code != ZR_OK)
    return SetResult(code);

  const bool absolute = IsAbsoluteName(name);
  if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (absolute)
      CreateDirectories(name, 0);
    else
      CreateDirectories(m_root + name, m_root.size());
    return SetResult(ZR_OK);
  }

  const size_t slash = name.find_last_of(L"\\/");
  const std::wstring directory =
      slash == std::wstring::npos ? std::wstring() : name.substr(0, slash + 1);
  const std::wstring file = slash == std::wstring::npos ? name : name.substr(slash + 1);
  const std::wstring path = absolute ? directory + file : m_root + directory + file;
  if (absolute)
    CreateDirectories(directory, 0);
  else
    CreateDirectories(m_root + directory, m_root.size());
  if (file.empty())
    return SetResult(ZR_ARGS);
  if (flags & kEncryptedFlag)  // no password is ever given
    return SetResult(ZR_PASSWORD);
  return SetResult(WriteCurrentMember(m_archive.Get(), entry, path, name, flushes));
}
