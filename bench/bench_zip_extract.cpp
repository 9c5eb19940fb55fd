// Package extraction: every member of an update package written out through ZipReader (ReadEntry
// then ExtractEntry, as the installation does) against a bare minizip loop in the same process
// (go to each member, create its file, inflate it in blocks, write them, close). Packages of 5, 50
// and 200 MB, about 300 members in eight folders, every other member random bytes (stored deflated
// but incompressible) and the rest text. Ours and the floor take turns so both see the same load;
// the first round's two trees are compared byte for byte.
//
// The reader does more than the floor for every member, on purpose: it flushes each file to disk
// before the installation renames anything for it, sets the member's times and checks the written
// size. As in the installation, the flushes run on a flush pool while the next members are
// written, and the figure ends when the last flush is done. At 50 MB the program also times the
// floor with a flush per file (its own row), to show what that part costs on this disk, and the
// reader flushing each file before the next one (an "info" row: the way it was before the pool).
#include <windows.h>

// iowin32.h needs the declarations of unzip.h and zip.h first.
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <minizip/iowin32.h>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bare_unzip.h"
#include "bench_clock.h"
#include "updater/flush_pool.h"
#include "updater/zip_reader.h"

namespace {

using zarvik_bench::Now;
using zarvik_bench::Stats;
using zarvik_bench::Summarise;

constexpr int kMembers = 300;

// Deterministic member contents: random bytes for even members, numbered text lines for odd ones.
std::string MemberData(int index, size_t size) {
  std::string data;
  data.reserve(size);
  if (index % 2 == 0) {
    uint64_t state = 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(index + 1);
    while (data.size() < size) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      for (int i = 0; i < 8 && data.size() < size; ++i)
        data.push_back(static_cast<char>(state >> (8 * i)));
    }
  } else {
    for (int line = 0; data.size() < size; ++line) {
      char text[96];
      int n = std::snprintf(text, sizeof(text), "member %d line %d: the client's data, %08x\r\n",
                            index, line, static_cast<unsigned>(line * 2654435761u));
      data.append(text, static_cast<size_t>(n));
    }
    data.resize(size);
  }
  return data;
}

// Member sizes vary (weights 1..13) and add up to `total`.
std::vector<size_t> MemberSizes(size_t total) {
  std::vector<size_t> weights(kMembers);
  size_t sum = 0;
  for (int i = 0; i < kMembers; ++i)
    sum += weights[i] = 1 + (static_cast<size_t>(i) * 7919) % 13;
  std::vector<size_t> sizes(kMembers);
  size_t given = 0;
  for (int i = 0; i < kMembers; ++i)
    given += sizes[i] = total * weights[i] / sum;
  sizes[kMembers - 1] += total - given;
  return sizes;
}

std::string MemberName(int index) {
  return "data/part" + std::to_string(index % 8) + "/file" + std::to_string(index) +
         (index % 2 == 0 ? ".bin" : ".txt");
}

bool BuildPackage(const std::wstring& path, size_t total) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
  if (!zip)
    return false;
  bool ok = true;
  std::vector<size_t> sizes = MemberSizes(total);
  for (int i = 0; i < kMembers && ok; ++i) {
    std::string data = MemberData(i, sizes[i]);
    zip_fileinfo info = {};
    info.dosDate = 0x50A46000;
    info.external_fa = 0x20;
    ok = zipOpenNewFileInZip64(zip, MemberName(i).c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                               Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
         zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK;
    zipCloseFileInZip(zip);
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..")
        continue;
      std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

// Through the client's reader, as the installation calls it (with `pooled`: the flushes on a
// flush pool, done before this returns; without: each file flushed before the next). False on
// any failure.
bool ExtractOurs(const std::wstring& package, const std::wstring& root, bool pooled) {
  CreateDirectoryW(root.c_str(), nullptr);
  std::unique_ptr<ZipReader> reader = ZipReader::Open(package, root);
  if (!reader) {
    std::printf("the reader cannot open the package (result %#x)\n", ZipLastResult());
    return false;
  }
  zarvik::FlushPool flushes;
  ZipEntry entry;
  for (int i = 0; i < reader->EntryCount() && !flushes.Failed(); ++i) {
    int code = reader->ReadEntry(i, &entry);
    if (code == ZR_OK)
      code = reader->ExtractEntry(i, entry.name, pooled ? &flushes : nullptr);
    if (code != ZR_OK) {
      std::printf("the reader failed on member %d (result %#x)\n", i, code);
      flushes.Finish();
      return false;
    }
  }
  std::wstring failed;
  if (DWORD error = flushes.Finish(&failed)) {
    std::printf("a flush failed (error %lu)\n", error);
    return false;
  }
  return true;
}

// The floor: minizip's own loop, the same I/O layer, the same block size, nothing else.
bool ExtractBare(const std::wstring& package, const std::wstring& root, bool flush) {
  CreateDirectoryW(root.c_str(), nullptr);
  return zarvik_bench::BareUnzip(package, root + L"\\", flush, nullptr, nullptr);
}

bool ReadWhole(const std::wstring& path, std::string* data) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  data->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  bool ok = data->empty() ||
            (ReadFile(file, &(*data)[0], static_cast<DWORD>(data->size()), &read, nullptr) &&
             read == data->size());
  CloseHandle(file);
  return ok;
}

// Both trees hold every member with exactly its generated bytes.
bool SameTrees(const std::wstring& a, const std::wstring& b, size_t total) {
  std::vector<size_t> sizes = MemberSizes(total);
  std::string left, right;
  for (int i = 0; i < kMembers; ++i) {
    std::wstring name;
    for (char c : MemberName(i))
      name += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    if (!ReadWhole(a + L"\\" + name, &left) || !ReadWhole(b + L"\\" + name, &right) ||
        left != right || left != MemberData(i, sizes[i])) {
      std::printf("member %d differs between the trees or from what was packed\n", i);
      return false;
    }
  }
  return true;
}

}  // namespace

int main() {
  const std::wstring work = L"bench_zip_work";
  RemoveTree(work);
  CreateDirectoryW(work.c_str(), nullptr);
  struct Size {
    int megabytes;
    int rounds;
  };
  bool complete = true;
  for (Size size : {Size{5, 7}, Size{50, 5}, Size{200, 3}}) {
    const bool withFlushed = size.megabytes == 50;
    const double buildStart = Now();
    const size_t total = static_cast<size_t>(size.megabytes) * 1024 * 1024;
    const std::wstring package = work + L"\\package" + std::to_wstring(size.megabytes) + L".zip";
    if (!BuildPackage(package, total)) {
      std::printf("cannot build the %d MB package\n", size.megabytes);
      complete = false;
      continue;
    }
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    GetFileAttributesExW(package.c_str(), GetFileExInfoStandard, &attributes);
    std::printf("package %d MB: %d members, zip %.1f MB, built in %.1f s\n", size.megabytes,
                kMembers, attributes.nFileSizeLow / 1048576.0 + attributes.nFileSizeHigh * 4096.0,
                Now() - buildStart);

    std::vector<double> ours, bare, flushed, oneByOne;
    const std::wstring oursRoot = work + L"\\ours", bareRoot = work + L"\\bare";
    bool ok = true;
    for (int round = 0; round < size.rounds && ok; ++round) {
      RemoveTree(oursRoot);
      RemoveTree(bareRoot);
      double start = Now();
      ok = ExtractOurs(package, oursRoot, true);
      ours.push_back(Now() - start);
      start = Now();
      ok = ExtractBare(package, bareRoot, false) && ok;
      bare.push_back(Now() - start);
      if (round == 0 && ok)
        ok = SameTrees(oursRoot, bareRoot, total);
      if (withFlushed) {
        RemoveTree(bareRoot);
        start = Now();
        ok = ExtractBare(package, bareRoot, true) && ok;
        flushed.push_back(Now() - start);
        RemoveTree(oursRoot);
        start = Now();
        ok = ExtractOurs(package, oursRoot, false) && ok;
        oneByOne.push_back(Now() - start);
      }
    }
    RemoveTree(oursRoot);
    RemoveTree(bareRoot);
    DeleteFileW(package.c_str());
    if (!ok) {
      std::printf("extraction of the %d MB package failed; no figure\n", size.megabytes);
      complete = false;
      continue;
    }
    Stats o = Summarise(ours), b = Summarise(bare);
    std::printf("%d MB: reader %.3f s, bare minizip %.3f s (medians of %d)\n", size.megabytes,
                o.median, b.median, size.rounds);
    std::printf(
        "ROW\tpackage extraction %d MB, %d files: zip reader vs bare minizip loop\ts"
        "\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t<=1.3\n",
        size.megabytes, kMembers, o.median, o.min, o.max, b.median, b.min, b.max);
    if (withFlushed) {
      Stats f = Summarise(flushed);
      std::printf(
          "%d MB: bare minizip with a flush per file %.3f s: the flushes cost %.1f ms a "
          "file\n",
          size.megabytes, f.median, (f.median - b.median) * 1000 / kMembers);
      std::printf(
          "ROW\tpackage extraction %d MB, %d files: zip reader vs bare minizip loop with "
          "a flush per file\ts\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t<=1.1\n",
          size.megabytes, kMembers, o.median, o.min, o.max, f.median, f.min, f.max);
      Stats one = Summarise(oneByOne);
      std::printf("%d MB: the reader flushing each file before the next %.3f s\n", size.megabytes,
                  one.median);
      std::printf(
          "ROW\tpackage extraction %d MB, %d files: zip reader, flushes overlapped vs "
          "each flushed before the next\ts\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t-\n",
          size.megabytes, kMembers, o.median, o.min, o.max, one.median, one.min, one.max);
    }
  }
  RemoveTree(work);
  return complete ? 0 : 1;
}
