// Installs the update package once into the folder given on the command line (which holds the
// manifest "update.ini" naming the package URL, its size and SHA-256) and prints how long the
// whole procedure took: download, hash check, extraction into "Temp", setting the replaced files
// aside, moving the new ones in, clean-up.
//   bench_update_install.exe <installation folder with trailing backslash>
// With --floor, the same work done with bare library calls in one loop instead: libcurl to a file,
// SHA-256 of it, minizip into "Temp", MoveFileEx of each replaced file aside and of each new one
// into place, removal of "Temp" and the package.
//   bench_update_install.exe --floor <installation folder> <package URL> <SHA-256 hex>
// bench/bench_update_install.sh runs both against the demo service.
#include <windows.h>

// iowin32.h needs the declarations of unzip.h first.
#include <minizip/unzip.h>

#include <minizip/iowin32.h>

#include <curl/curl.h>
#include <sodium.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bare_unzip.h"
#include "bench_clock.h"
#include "common/encoding.h"
#include "updater/downloader.h"
#include "updater/installer.h"
#include "updater/package_integrity.h"

namespace {

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(size * count);
  return WriteFile(static_cast<HANDLE>(file), data, bytes, &written, nullptr) ? written : 0;
}

bool Download(const std::string& url, const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
  const bool ok = curl_easy_perform(curl) == CURLE_OK;
  curl_easy_cleanup(curl);
  CloseHandle(file);
  return ok;
}

std::string Sha256(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return "";
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  std::vector<unsigned char> buffer(1 << 16);
  DWORD read = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read)
    crypto_hash_sha256_update(&state, buffer.data(), read);
  CloseHandle(file);
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof(hex), digest, sizeof(digest));
  return hex;
}

int Floor(const std::wstring& folder, const std::string& url, const std::string& sha256) {
  const std::wstring package = folder + L"zarvik.zip";
  const std::wstring scratch = folder + L"Temp\\";
  if (!Download(url, package))
    return 1;
  if (Sha256(package) != sha256)
    return 2;
  CreateDirectoryW(scratch.c_str(), nullptr);
  std::vector<std::wstring> files, folders;
  if (!zarvik_bench::BareUnzip(package, scratch, false, &files, &folders))
    return 3;
  for (const std::wstring& folderName : folders)
    CreateDirectoryW((folder + folderName).c_str(), nullptr);
  for (const std::wstring& name : files) {
    const std::wstring target = folder + name;
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !MoveFileExW(target.c_str(), (target + L".old").c_str(), 0))
      return 4;
    if (!MoveFileExW((scratch + name).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
      return 5;
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    RemoveDirectoryW((scratch + *it).c_str());
  RemoveDirectoryW(scratch.c_str());
  DeleteFileW(package.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--floor") {
    if (sodium_init() < 0 || curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
      return 1;
    const double start = zarvik_bench::Now();
    const int result = Floor(zarvik::AnsiToWide(argv[2]), argv[3], argv[4]);
    std::printf("\nbench-floor result %d seconds %.3f\n", result, zarvik_bench::Now() - start);
    return result == 0 ? 0 : 1;
  }
  if (argc < 2) {
    // Started without a folder: the figure needs the demo service, which the driver script brings.
    std::printf("bench_update_install: run bench/bench_update_install.sh for this benchmark\n");
    return 0;
  }
  // The driver writes its own unsigned manifest: this figure is about the installation's speed
  // (the manifest's signature costs one verification of a few hundred bytes).
  zarvik::SetUpdatePublicKey("");
  const std::wstring folder = zarvik::AnsiToWide(argv[1]);
  std::string bytes, problem;
  zarvik::UpdateManifest manifest;
  if (!zarvik::ReadSmallFile(folder + L"update.ini", kMaxTinyFileBytes, &bytes) ||
      !zarvik::ReadManifest(bytes, "", "", {}, &manifest, &problem)) {
    std::printf("bench_update_install: no usable update.ini in %s %s\n", argv[1], problem.c_str());
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int result = zarvik::RunUpdateIn(nullptr, folder, &manifest, 0);
  QueryPerformanceCounter(&end);
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  std::printf("\nbench-install result %d seconds %.3f\n", result, seconds);
  return result == 0 ? 0 : 1;
}
